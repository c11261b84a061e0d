#pragma once
// Japanese with pitch accent: Open JTalk's program analyses each clause (with its own
// dictionary of readings and accent types) and an HTS voice speaks it.
//
// One program run per clause, the clause on a pipe and the WAV back on another, so a stop
// kills the run and leaves nothing behind; a clause of at most a few dozen characters is
// synthesised in well under 200 ms, which makes the first clause the first audio. While a
// clause is heard, the program for the next one is already started and has loaded its
// dictionary and voice (a third of a short clause's time), which is what makes a jump to
// another sentence quick.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "synth/backend/VoiceBackend.h"

namespace synth {

class ChildProgram;

struct OpenJTalkSetup {
    std::string program;     // the open_jtalk executable
    std::string dictionary;  // its dictionary folder (sys.dic)
    std::string voiceFile;   // the .htsvoice file
};

class OpenJTalkVoice final : public VoiceBackend {
  public:
    // The voice's frame period is scaled with the rate (Mei: 240 samples at 48 kHz), or the
    // voice would speak slower and lower.
    static constexpr int kRate = 24000, kFramePeriod = 120;

    explicit OpenJTalkVoice(OpenJTalkSetup setup);
    ~OpenJTalkVoice() override;

    int sampleRate() const override { return kRate; }
    std::string describe() const override;
    SpeakResult speak(const std::string& utf8, const Prosody& prosody, const PcmOut& out,
                      const Cancelled& cancelled) override;
    // Words are the accent phrases, timed by their first mora in the program's labels.
    void tellWords(WordOut words) override { m_words = std::move(words); }
    void rest() override;

    // The katakana pronunciation the voice speaks for the clause, accent phrases separated by
    // '/', a ' after each phrase's accented mora; nothing when the program fails.
    std::optional<std::string> pronounce(const std::string& utf8, const Cancelled& cancelled);

  private:
    OpenJTalkSetup m_setup;
    WordOut m_words;
    std::unique_ptr<ChildProgram> m_spare;  // started for the next clause
    std::vector<std::string> m_spareArgs;
};

// True when the clause holds anything the voice can say (kana, kanji, letters or digits);
// the program fails on text of symbols only.
bool hasSpeakableText(const std::string& utf8);

}  // namespace synth
