#pragma once
// Chooses the text front end of a voice: what each of its voices is handed for a sentence.

#include <string>
#include <vector>

#include "synth/SpeechSegment.h"
#include "synth/VoiceConfig.h"

namespace synth {

class JapaneseReader;

// `reader` is used for TextReading::Japanese; without it the sentence goes through as it is.
std::vector<SpeechSegment> readForVoice(TextReading reading, JapaneseReader* reader,
                                        std::string sentence);

}  // namespace synth
