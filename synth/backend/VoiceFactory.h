#pragma once
// Where an engine's voices come from. The speech core is handed one, so that tests can give
// it voices of their own. Every call is made on the speech worker.

#include <memory>
#include <string>

#include "synth/backend/VoiceConfig.h"
#include "synth/backend/VoiceSet.h"

namespace synth {

struct OpenedVoices {
    std::unique_ptr<VoiceSet> voices;  // null when the engine cannot start
    bool readingFailed = false;        // null because the Japanese reading cannot start
    std::string naturalWhy;            // why the configured natural voice does not speak
};

class VoiceFactory {
  public:
    virtual ~VoiceFactory() = default;
    // Once, before anything else: the synthesiser's sample rate, or <= 0 when it cannot start.
    virtual int start() = 0;
    // Once, after every voice is gone.
    virtual void stop() = 0;
    // The voices that `config` names, at the synthesiser's `rate`.
    virtual OpenedVoices open(const VoiceConfig& config, const std::string& engineDir,
                              int rate) = 0;
    // The voice a user added that a language's `Voice` value names (never empty), to speak
    // `language` ("Japanese", "English", "Chinese", "Korean"); nothing, with the reason in
    // *why, when it cannot.
    virtual std::unique_ptr<VoiceBackend> openAdded(const std::string& voiceValue,
                                                    const std::string& language,
                                                    std::string* why) {
        (void)voiceValue;
        (void)language;
        *why = "added voices are not available";
        return nullptr;
    }
};

}  // namespace synth
