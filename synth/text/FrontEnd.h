#pragma once
// Chooses the text front end of a voice: what each of its voices is handed for a sentence.

#include <string>
#include <vector>

#include "synth/VoiceConfig.h"
#include "synth/text/SpeechSegment.h"

namespace synth {

class JapaneseReader;

// `reader` is used for TextReading::Japanese; without it the sentence goes through as it is.
std::vector<SpeechSegment> readForVoice(TextReading reading, JapaneseReader* reader,
                                        std::string sentence);

}  // namespace synth
