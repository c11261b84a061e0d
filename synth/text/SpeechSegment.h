#pragma once
// What a text front end hands the synthesiser: runs of text, each for one of the engine's
// two voices.

#include <string>

namespace synth {

struct SpeechSegment {
    bool latin = false;  // spoken by the Latin voice
    std::string text;    // UTF-8
};

}  // namespace synth
