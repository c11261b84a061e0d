#pragma once
// The one rule for what the voices are handed for a sentence: whose front end and voices read
// it, its segments with their places in the sentence, and the prosody they are spoken with.
// Speech, the look-ahead and the reading preview all take it from here. Worker only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineApi.h"
#include "synth/backend/VoiceConfig.h"
#include "synth/backend/VoiceSet.h"
#include "synth/text/CopiedText.h"
#include "synth/text/SpeechSegment.h"
#include "synth/text/UserDictionary.h"

namespace synth {

// The loaded language whose front end and voices read a run.
struct RunReader {
    int language = 0;
    VoiceConfig config;
    // Applied to each sentence; null when there is none or it was applied to the whole text.
    std::shared_ptr<const UserDictionary> dictionary;
    VoiceSet* voices = nullptr;
    uint64_t voicesEpoch = 0;  // which load of the voices `voices` points into
};

struct Voicing {
    int language = 0;  // of the voices that speak
    VoiceSet* voices = nullptr;
    uint64_t voicesEpoch = 0;
    TextReading reading = TextReading::None;  // the reader's front end
    LinkReading links = LinkReading::Domain;
    std::vector<SpeechSegment> segments;
    Prosody prosody;
    int volume = 100;
    // A run of another script left to this language because its own engine is not loaded:
    // the front end and natural voice would drop what they cannot read (Open JTalk skips
    // Hangul), while espeak-ng says every script, Hangul in Korean.
    bool fallbackOnly = false;
    // The chosen language's own text, whose speed may change while it is read.
    bool followsSpeed = false;
};

// `shown` is the sentence as the caption shows it, `said` what its voices say when that differs
// (empty otherwise); `runLanguage` the language of its script.
Voicing voiceSentence(const RunReader& reader, int runLanguage, const VtVoiceProsody& prosody,
                      bool followsSpeed, LinkReading links, const std::string& shown,
                      const std::string& said = {});

// True when a run of `runLanguage` read by `readerLanguage` is left to espeak-ng alone (see
// Voicing::fallbackOnly). Latin runs keep the reader's front end, which hands them to its
// Latin voice.
bool isStranger(int readerLanguage, int runLanguage);

}  // namespace synth
