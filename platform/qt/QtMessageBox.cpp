#include "platform/qt/QtMessageBox.h"

#include <QMessageBox>
#include <QString>

#include <cstdlib>
#include <fstream>

namespace platform {

QtMessageBox::QtMessageBox() {
    const char* mode = std::getenv("SELVARINE_MESSAGES");
    if (mode && std::string_view(mode).starts_with("log:")) m_strLogPath = mode + 4;
}

void QtMessageBox::Show(const std::string& text, const std::string& caption, MessageKind kind) {
    if (!m_strLogPath.empty()) {
        std::ofstream log(m_strLogPath, std::ios::app);
        std::string oneLine = text;
        for (char& c : oneLine)
            if (c == '\n') c = ' ';
        log << caption << '\t' << oneLine << '\n';
        return;
    }
    // Qt draws warnings and exclamations with the same icon.
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok);
    if (kind == MessageKind::ToolbarWarning) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

}  // namespace platform
