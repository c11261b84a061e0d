// Fuzz target for the HTML ruby extractor: any bytes (tags cut anywhere, unbalanced ruby,
// UTF-16 with a byte order mark). It must end, stay within twice the input, and hand on only
// annotations that read back as the base they show.

#include <cstdlib>

#include "reading/HtmlRuby.h"
#include "synth/text/RubyNotation.h"
#include "tests/fuzz/FuzzDriver.h"

using namespace std::literals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view html(reinterpret_cast<const char*>(data), size);
    const auto text = reading::TextWithRuby(html);
    if (!text) return 0;
    if (text->size() > 2 * size + 16) std::abort();
    const std::string shown = synth::rubyShown(*text);
    if (synth::rubyShown(shown) != shown || shown.size() > text->size()) std::abort();
    synth::rubySaid(*text);
    return 0;
}

const std::string_view kFuzzFragments[] = {
    "<ruby>"sv, "</ruby>"sv, "<rt>"sv, "</rt>"sv, "<rp>("sv, "</rp>"sv, "<rb>"sv, "字"sv, "じ"sv,
    "ひらがな"sv, "<p>"sv, "<br>"sv, "<script>"sv, "</script>"sv, "<!--"sv, "-->"sv, "&amp;"sv,
    "&#x5B57;"sv, "&#"sv, "<b x='>'>"sv, "｜"sv, "《"sv, "》"sv, "\xFF\xFE"sv, "<"sv, ">"sv,
    "\xE5"sv};
const std::size_t kFuzzFragmentCount = std::size(kFuzzFragments);
