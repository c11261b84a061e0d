#pragma once
// English is left to the voice's own rules, which read abbreviations, ordinals, times and
// plain numbers well, except amounts of money: the voice says "$5.50" as "dollar five point
// five zero". Those are rewritten to the words people say ("5 dollars 50").

#include <string>
#include <vector>

#include "synth/text/SpeechSegment.h"

namespace synth {

std::vector<SpeechSegment> readEnglish(const std::string& utf8Sentence);

}  // namespace synth
