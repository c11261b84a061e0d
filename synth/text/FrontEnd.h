#pragma once
// Chooses the text front end of a voice: what each of its voices is handed for a sentence.

#include <string>
#include <vector>

#include "synth/text/SpeechSegment.h"

namespace synth {

class JapaneseReader;

// What a voice configuration's front end does with a sentence before its voices get it.
enum class TextReading { None, Japanese, Mandarin, Korean, English };
enum class LinkReading;  // synth/text/CopiedText.h

// `reader` is used for TextReading::Japanese; without it the sentence goes through as it is.
std::vector<SpeechSegment> readForVoice(TextReading reading, JapaneseReader* reader,
                                        std::string sentence, LinkReading links);

// For a voice that reads Japanese as it is written (kanji, kana, numbers): the runs of Latin
// letters go to the Latin voice, and the rest is cut into clauses of at most kMaxClause
// characters, after punctuation where there is some, so that the first audio of any text
// waits for one short clause only.
inline constexpr std::size_t kMaxClause = 40;
std::vector<SpeechSegment> splitJapaneseClauses(const std::string& sentence, LinkReading links);

}  // namespace synth
