#pragma once
// The toolbar's settings command (103): the voice settings dialog of the current language.

#include <functional>
#include <string>

#include "dialogs/VoiceSettingsDialog.h"

namespace dialogs {

// Shows a voice settings dialog modally and returns how it ended (kIdOk or kIdCancel).
class VoiceDialogRunner {
  public:
    virtual ~VoiceDialogRunner() = default;
    virtual int Run(VoiceSettingsDialog& dialog) = 0;
};

struct SettingsCommandContext {
    int language;
    int& paused;
    // The toolbar's dictionary path of each language, Japanese first.
    std::string* userDicPaths[engine::kLanguageCount];
    std::function<void(bool)> setTopmost;
    // Writes pending settings before the dialog opens.
    std::function<void()> flushSettings;
    VoiceDialogRunner& runner;
    VoiceDialogServices services;
};

// Clears the pause, stops the language's speech and runs its dialog with the toolbar out of
// the topmost band. At OK the dialog's path becomes the toolbar's and the result goes on to
// services.keep, which writes the rest (the voice, the stored path, the Chinese code). The
// toolbar is put back on top whatever happened. True when the dialog ended with OK.
bool OnSettings(const SettingsCommandContext& ctx);

}  // namespace dialogs
