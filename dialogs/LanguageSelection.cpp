#include "dialogs/LanguageSelection.h"

namespace dialogs {

std::array<LanguageButton, engine::kLanguageCount> LanguageButtons(int current,
                                                                   const int (&engineLoaded)[11]) {
    std::array<LanguageButton, engine::kLanguageCount> buttons{};
    for (std::size_t i = 0; i < engine::kLanguageCount; ++i) {
        const engine::LanguageInfo& lang = engine::kLanguages[i];
        const bool loaded = engineLoaded[lang.number] == 1;
        using Check = LanguageButton::Check;
        buttons[i] = {&lang, loaded,
                      !loaded                  ? Check::Untouched
                      : lang.number == current ? Check::Checked
                                               : Check::Unchecked};
    }
    return buttons;
}

}  // namespace dialogs
