#pragma once
// The sentences of a text in the order they are read: run by run for mixed text, each run cut
// into sentences as it is reached, so a long text is never split or decoded as a whole. One
// sentence can be taken ahead of its turn (to synthesise its start while the one before
// plays); it keeps what it was voiced with. Worker only.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "synth/pipeline/MixedText.h"
#include "synth/pipeline/Voicing.h"
#include "synth/text/TextStream.h"

namespace synth {

struct Sentence {
    std::string text;               // UTF-8, as the caption shows it
    std::string said;               // what the voices say, when not `text` (ruby readings)
    std::size_t start = 0, end = 0;  // bytes of the text it came from
    double fraction = 0;            // of its run read once it is
    int language = 0;               // of its run's script
    std::optional<Voicing> voicing;  // when it was voiced ahead of its turn
};

class SentenceSource {
  public:
    // One run in the text's byte encoding, read by `language`.
    SentenceSource(std::shared_ptr<const std::string> text, std::string encoding, int language,
                   std::size_t startOffset);
    // UTF-8 text split into runs by script; `mixed` outlives the source.
    SentenceSource(std::shared_ptr<const std::string> text, MixedText& mixed,
                   std::size_t startOffset);

    // The next sentence, the one taken ahead first; false at the end of the text.
    bool next(Sentence& out);
    // Takes the next sentence ahead of its turn and keeps it for next(); null at the end.
    Sentence* ahead();

  private:
    bool take(Sentence& out);
    bool nextRun();

    std::shared_ptr<const std::string> m_text;
    std::string m_strEncoding;
    MixedText* m_mixed = nullptr;
    std::size_t m_nStart;
    bool m_bOpened = false;
    std::unique_ptr<TextStream> m_stream;
    int m_nRunLanguage = 0;
    std::size_t m_nRunBase = 0;  // where the current run starts in the text
    std::optional<Sentence> m_ahead;
};

}  // namespace synth
