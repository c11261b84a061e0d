#pragma once
// The one place that shows modal messages. Tests answer it through a fake; the end-to-end
// rig sets SELVARINE_MESSAGES=log:PATH so that messages are appended to PATH instead of
// blocking on a modal box.

#include <string>

namespace platform {

enum class MessageKind {
    ToolbarWarning,   // no owner, warning icon, kept on top
    AppExclamation,   // OK button, exclamation icon, the program's title as caption
    RangeExclamation  // owned by a dialog, exclamation icon
};

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Shows text (UTF-8) and returns once the user has closed the box.
    virtual void Show(const std::string& text, const std::string& caption, MessageKind kind) = 0;
};

}  // namespace platform
