#pragma once
// Japanese with pitch accent: Open JTalk's program analyses each clause (with its own
// dictionary of readings and accent types) and an HTS voice speaks it.
//
// One program run per clause, the clause on a pipe and the WAV back on another, so a stop
// kills the run and leaves nothing behind; a clause of at most a few dozen characters is
// synthesised in well under 200 ms, which makes the first clause the first audio.
//
// The program writes its audio only once the whole clause is synthesised, so a jump to
// another sentence would wait for that. Hence, while a sentence plays, the next one's first
// clause is synthesised (prepare), the latest clauses said are kept for a move back, and the
// program for the next clause is started ahead, its dictionary and voice loaded.

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "synth/backend/ChildProcess.h"
#include "synth/backend/VoiceBackend.h"

namespace synth {

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
    void prepare(const std::string& utf8, const Prosody& prosody) override;
    void rest() override;
    bool readsWrittenText() const override { return true; }
    std::optional<std::string> handedText(const std::string& utf8,
                                          const Cancelled& cancelled) override {
        return pronounce(utf8, cancelled);
    }

    // The katakana pronunciation the voice speaks for the clause, accent phrases separated by
    // '/', a ' after each phrase's accented mora; nothing when the program fails.
    std::optional<std::string> pronounce(const std::string& utf8, const Cancelled& cancelled);

  private:
    using Args = std::vector<std::string>;
    struct Said {
        Args args;
        std::string text;
        std::vector<int16_t> pcm;  // without the silence trimmed around it
        struct Mark {
            std::size_t start, end, sample;
        };
        std::vector<Mark> marks;
    };
    Args argsFor(const Prosody& prosody) const;
    // Runs the clause through `child` (sent already when `sent`); nothing when it fails.
    std::optional<Said> synthesise(ChildProgram& child, bool sent, const Args& args,
                                   const std::string& utf8, const ChildLimits& limits,
                                   const Cancelled& cancelled, ChildResult::Outcome* outcome);
    std::unique_ptr<ChildProgram> startFor(const Args& args);
    void remember(Said said);

    OpenJTalkSetup m_setup;
    WordOut m_words;
    std::unique_ptr<ChildProgram> m_spare;  // started for the next clause, waiting for it
    Args m_spareArgs;
    std::unique_ptr<ChildProgram> m_prepared;  // synthesising what prepare was given
    Args m_preparedArgs;
    std::string m_preparedText;
    std::deque<Said> m_said;  // the latest clauses, newest last
    std::size_t m_nSaidSamples = 0;
};

// What the program may spend on a clause of `characters` code points said at `speed`
// percent. A clause of a few dozen characters takes under 0.2 s, mostly the program's start,
// and its audio and trace grow with the time it is said in; 2 s a character covers numbers and
// letters spelt out (1,234,567 is 22 morae). A program past these bounds is hung or broken:
// the clause fails rather than silencing the reading or filling memory.
ChildLimits clauseLimits(std::size_t characters, int speed);

// True when the clause holds anything the voice can say (kana, kanji, letters or digits);
// the program fails on text of symbols only.
bool hasSpeakableText(const std::string& utf8);

}  // namespace synth
