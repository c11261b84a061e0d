#pragma once
// Where a sentence ends in UTF-8 text. The engines speak, report and move through text by
// these sentences, so the caption shows and the sentence moves skip the same units.
//
// A sentence ends after 。！？!? (and the half-width 。 and full-width ．), after '.' that a
// space follows (so 3.14 stays whole), and at a line break that ends it
// (synth/text/LineBreaks.h): wrapped lines are one sentence. Closing brackets
// and quotes, and further end marks, right after the end stay with it ("本当？！」").
// A sentence that would run past kMaxSentenceChars characters is cut after the last 、 or
// comma within them, else after the last space, else after the limit itself.

#include <cstddef>
#include <string_view>

namespace synth {

inline constexpr std::size_t kMaxSentenceChars = 200;

// The end (one past the last byte) of the sentence that starts at text[from]. When no end
// shows before the text runs out: text.size() if `complete` (nothing follows), else npos
// (more text may still come).
// `lineStart`: text[from] starts a line (its quotation and list marks count).
std::size_t sentenceEnd(std::string_view text, std::size_t from, bool complete,
                        bool lineStart = true);

}  // namespace synth
