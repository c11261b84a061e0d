#pragma once
// What the voices are handed for a text, without speaking it: the dictionary editor's reading
// line and the tests read it. Worker only.

#include <functional>
#include <memory>
#include <string>

#include "synth/pipeline/Voicing.h"

namespace synth {

// The reader of a run of the given script's language.
using ReaderFor = std::function<RunReader(int runLanguage)>;

// `utf8` (the chosen language's dictionary already applied) read as mixed text by `chosen`:
// one segment a line, the language of the voice that speaks it (ja, en, zh, ko), a tab, and
// the text as that voice gets it. False when a voice fails.
bool describeReading(std::shared_ptr<const std::string> utf8, int chosen, LinkReading links,
                     const ReaderFor& readerFor, std::string& out);

}  // namespace synth
