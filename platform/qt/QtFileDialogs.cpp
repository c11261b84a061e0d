#include "platform/qt/QtFileDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStringList>

#include <cstdlib>
#include <fstream>
#include <string_view>

namespace platform {
namespace {

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

class QtProgressWindow final : public ProgressWindow {
  public:
    QtProgressWindow(const std::string& title, const std::string& text)
        : m_dialog(Q(text), QStringLiteral("キャンセル"), 0, 1000) {
        m_dialog.setWindowTitle(Q(title));
        m_dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        m_dialog.setWindowModality(Qt::ApplicationModal);
        // Shown at once and kept at 100% until the task says it is over.
        m_dialog.setMinimumDuration(0);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
        m_dialog.show();
    }
    void SetPermille(int permille) override {
        if (permille != m_dialog.value()) m_dialog.setValue(permille);
    }
    bool Cancelled() const override { return m_dialog.wasCanceled(); }

  private:
    QProgressDialog m_dialog;
};

}  // namespace

QtFileDialogs::QtFileDialogs() {
    const char* mode = std::getenv("SELVARINE_MESSAGES");
    if (mode && std::string_view(mode).starts_with("log:")) m_strLogPath = mode + 4;
}

std::optional<std::string> QtFileDialogs::AskSavePath(const std::string& title,
                                                      const std::vector<std::string>& filters,
                                                      const std::string& folder) {
    QFileDialog dialog(nullptr, Q(title), Q(folder));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The caller adds the extension and asks about an existing file itself, for the name as
    // it will really be written.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    QStringList list;
    for (const std::string& f : filters) list << Q(f);
    dialog.setNameFilters(list);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

bool QtFileDialogs::AskYesNo(const std::string& text, const std::string& caption) {
    if (!m_strLogPath.empty()) {
        std::string oneLine = text;
        for (char& c : oneLine)
            if (c == '\n') c = ' ';
        std::ofstream(m_strLogPath, std::ios::app) << caption << '\t' << oneLine << "\t(No)\n";
        return false;
    }
    QMessageBox box(QMessageBox::Question, Q(caption), Q(text), QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return box.exec() == QMessageBox::Yes;
}

std::unique_ptr<ProgressWindow> QtFileDialogs::ShowProgress(const std::string& title,
                                                            const std::string& text) {
    return std::make_unique<QtProgressWindow>(title, text);
}

}  // namespace platform
