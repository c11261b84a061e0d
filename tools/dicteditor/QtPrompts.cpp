#include "tools/dicteditor/QtPrompts.h"

#include <QMessageBox>
#include <QPushButton>

#include <cstdlib>
#include <string_view>

namespace dicteditor {

QtPrompts::QtPrompts(QWidget* parent, std::string caption)
    : m_parent(parent), m_strCaption(std::move(caption)) {}

bool QtPrompts::Logging() const {
    const char* mode = std::getenv("SELVARINE_MESSAGES");
    return mode && std::string_view(mode).starts_with("log:");
}

void QtPrompts::Warn(const std::string& text) {
    m_box.Show(text, m_strCaption, platform::MessageKind::AppExclamation);
}

bool QtPrompts::Confirm(const std::string& text) {
    if (Logging()) {
        m_box.Show(text, m_strCaption, platform::MessageKind::AppExclamation);
        return false;
    }
    return QMessageBox::warning(m_parent, QString::fromStdString(m_strCaption),
                                QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

Prompts::SaveChoice QtPrompts::AskSaveChanges(const std::string& text) {
    if (Logging()) {
        m_box.Show(text, m_strCaption, platform::MessageKind::AppExclamation);
        return SaveChoice::Cancel;
    }
    QMessageBox box(QMessageBox::Question, QString::fromStdString(m_strCaption),
                    QString::fromStdString(text), QMessageBox::NoButton, m_parent);
    QPushButton* save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
    QPushButton* discard =
        box.addButton(QStringLiteral("保存しない"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save) return SaveChoice::Save;
    if (box.clickedButton() == discard) return SaveChoice::Discard;
    return SaveChoice::Cancel;
}

}  // namespace dicteditor
