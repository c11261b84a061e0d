#pragma once
// The text of copied HTML with its ruby kept: browsers copy furigana into the plain text
// inline (門もん前ぜん), where the voice would read base and reading one after the other. From
// the HTML, each <ruby> base with its <rt> reading becomes one annotation (synth/text/
// RubyNotation.h): the voice says the reading, the caption shows the base. Script, style and
// the <rp> fallback are never read. One pass over the input, whatever its nesting or balance.

#include <optional>
#include <string>
#include <string_view>

namespace reading {

// The HTML's text (UTF-8) with its ruby annotated, paragraphs and line breaks as line breaks;
// nullopt when it holds no <ruby>, so that the plain text the owner offers is read instead.
// `html` is UTF-8, or UTF-16 with a byte order mark (as some browsers offer it).
std::optional<std::string> TextWithRuby(std::string_view html);

}  // namespace reading
