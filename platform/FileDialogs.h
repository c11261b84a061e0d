#pragma once
// Asking the user where to save, and showing a long task's progress. Tests answer through a
// fake; the Qt implementation is platform/qt/QtFileDialogs.

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A window that shows how far a task is, with a button to cancel it; closed when destroyed.
class ProgressWindow {
  public:
    virtual ~ProgressWindow() = default;
    virtual void SetPermille(int permille) = 0;  // 0 to 1000
    // True once the user asked to cancel (the button, Escape, closing the window).
    virtual bool Cancelled() const = 0;
};

class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // A modal save dialog titled `title`, opened on `folder`, with the filters (UTF-8, as
    // "FLAC (*.flac)"; the first one chosen to begin with). The path the user chose as they
    // typed it (no extension added, no question about an existing file), or nothing when
    // they cancelled.
    virtual std::optional<std::string> AskSavePath(const std::string& title,
                                                   const std::vector<std::string>& filters,
                                                   const std::string& folder) = 0;
    // A modal Yes/No question, No chosen to begin with; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // Shows a progress window at once. It is modal: the caller pumps events while it shows.
    virtual std::unique_ptr<ProgressWindow> ShowProgress(const std::string& title,
                                                         const std::string& text) = 0;
};

}  // namespace platform
