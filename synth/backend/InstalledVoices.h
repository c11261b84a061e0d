#pragma once
// The voices installed with the program: espeak-ng for every language, Open JTalk and flite
// where voice.conf names them; and the neural voices a user added.

#include "synth/backend/VoiceFactory.h"

namespace synth {

class InstalledVoices final : public VoiceFactory {
  public:
    int start() override;
    void stop() override;
    OpenedVoices open(const VoiceConfig& config, const std::string& engineDir, int rate) override;
    std::unique_ptr<VoiceBackend> openAdded(const std::string& voiceValue,
                                            const std::string& language,
                                            std::string* why) override;
};

}  // namespace synth
