#pragma once
// The language selection dialog (resource 134) without its widgets: what each language
// button shows, and the seam through which the toolbar runs the dialog.

#include <array>

#include "engine/Languages.h"

namespace dialogs {

inline constexpr int kLangselDialog = 134;
inline constexpr int kIdAbout = 1013;  // the "バージョン情報" button

// How one language button starts out.
struct LanguageButton {
    const engine::LanguageInfo* language;
    bool enabled;  // its engine started: the image shows; otherwise the caption, greyed
    // Only an enabled button's check state is set; a disabled one keeps whatever it had.
    enum class Check { Untouched, Unchecked, Checked } check;
};

// The four buttons, Japanese first, for the current language and the engines that started
// (engineLoaded is indexed by language number 0..10).
std::array<LanguageButton, engine::kLanguageCount> LanguageButtons(int current,
                                                                   const int (&engineLoaded)[11]);

// The modal dialog, as the toolbar runs it.
class LanguageSelectionDialog {
  public:
    virtual ~LanguageSelectionDialog() = default;
    // Shows the dialog with language as its choice and returns once it ends. True on OK, with
    // language holding the choice; false on Cancel, leaving language as it was.
    virtual bool Run(int& language) = 0;
};

}  // namespace dialogs
