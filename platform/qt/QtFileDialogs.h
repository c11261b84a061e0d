#pragma once
// FileDialogs on Qt's own (non-native) widgets, so assistive tools and the end-to-end tests
// reach every control through AT-SPI. Each window stays above the always-on-top toolbar.
// With SELVARINE_MESSAGES=log:PATH (QtMessageBox.h) a Yes/No question is logged and answered
// No, so an unattended run never overwrites anything.

#include "platform/FileDialogs.h"

namespace platform {

class QtFileDialogs final : public FileDialogs {
  public:
    QtFileDialogs();
    std::optional<std::string> AskSavePath(const std::string& title,
                                           const std::vector<std::string>& filters,
                                           const std::string& folder) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    std::unique_ptr<ProgressWindow> ShowProgress(const std::string& title,
                                                 const std::string& text) override;

  private:
    std::string m_strLogPath;
};

}  // namespace platform
