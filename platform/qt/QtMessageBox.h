#pragma once
// MessageBox as a modal QMessageBox. With SELVARINE_MESSAGES=log:PATH in the environment
// each message is appended to PATH as one line ("caption<TAB>text") instead, so unattended
// runs never block on a box.

#include <string>

#include "platform/MessageBox.h"

namespace platform {

class QtMessageBox final : public MessageBox {
public:
    QtMessageBox();
    void Show(const std::string& text, const std::string& caption, MessageKind kind) override;

private:
    std::string m_strLogPath;
};

}  // namespace platform
