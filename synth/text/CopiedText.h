#pragma once
// What copied text holds besides prose, read as a reader says it: a URL as its host ("link
// to example.com"), an e-mail address with its @ said, a long file path as its last part,
// and a run of one symbol (=====, ～～～) as a pause; emoji and pictographs are skipped. The
// words are a row per language.

#include <cstddef>
#include <string>
#include <string_view>

#include "synth/text/FrontEnd.h"

namespace synth {

// The sentence with its links, addresses, paths and symbol runs in the reading's words.
std::string readCopiedText(std::string_view sentence, TextReading reading);

}  // namespace synth
