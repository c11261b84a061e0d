#pragma once
// Runs a voice settings dialog in its Qt window, laid out from the built-in layouts.

#include "dialogs/SettingsCommand.h"

namespace dialogs {

class QtVoiceDialogRunner final : public VoiceDialogRunner {
  public:
    int Run(VoiceSettingsDialog& dialog) override;
};

}  // namespace dialogs
