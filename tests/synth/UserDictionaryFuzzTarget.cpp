// Fuzz target for the user dictionary: any bytes parse without harm, and a dictionary that is
// accepted turns valid UTF-8 into valid UTF-8.

#include <cstdlib>
#include <string>

#include "platform/Utf8.h"
#include "synth/text/UserDictionary.h"
#include "tests/fuzz/FuzzDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first half is the dictionary, the second the text it is applied to.
    auto dict = synth::UserDictionary::parse(input.substr(0, size / 2), nullptr);
    if (!dict) return 0;
    const std::string_view text = input.substr(size / 2);
    const std::string out = dict->apply(text);
    if (utf8::IsValid(text) && !utf8::IsValid(out)) std::abort();
    return 0;
}

const std::string_view kFuzzFragments[] = {"a",        "ab",       "abc",       "b",
                                           ",",        "\n",       "\r\n",      "\r",
                                           "\"",       "\"\"",     "#",         " ",
                                           "東京",     "東",       "京都",      "\xEF\xBB\xBF",
                                           "\xE6\x97", "\xC3\xA9", "e\xCC\x81", "\xF0\x9F\x98\x80"};
const std::size_t kFuzzFragmentCount = std::size(kFuzzFragments);
