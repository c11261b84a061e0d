#pragma once
// What a text front end hands the synthesiser: runs of text, each for one of the engine's
// two voices.

#include <string>

namespace synth {

struct SpeechSegment {
    bool latin = false;  // spoken by the Latin voice
    std::string text;    // UTF-8
    // Bytes [start, end) of the sentence as shown that the segment says as written; -1 when
    // the front end rewrote it (a reading, a number), which leaves nothing there to mark.
    int start = -1, end = -1;
};

}  // namespace synth
