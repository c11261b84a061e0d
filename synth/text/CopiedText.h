#pragma once
// What copied text holds besides prose, read as a reader says it: a URL as its host ("link
// to example.com"), an e-mail address with its @ said, a long file path as its last part,
// and a run of one symbol (=====, ～～～) as a pause; emoji and pictographs are skipped. The
// words are a row per language. How a URL is read is the listener's choice.

#include <cstddef>
#include <string>
#include <string_view>

#include "synth/text/FrontEnd.h"

namespace synth {

// A URL said whole (its scheme and "www." left out, its separators as words: "example.com
// slash docs question mark id equals 42"), as its domain ("link to example.com"), or not at
// all (a sentence of links alone is then not read).
enum class LinkReading { All, Domain, None };

// "all", "domain", "none"; false for anything else.
bool parseLinkReading(std::string_view name, LinkReading* out);

// The sentence with its links, addresses, paths and symbol runs in the reading's words.
std::string readCopiedText(std::string_view sentence, TextReading reading, LinkReading links);

}  // namespace synth
