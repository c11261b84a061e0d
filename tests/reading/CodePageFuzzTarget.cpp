// Fuzz target for the code-page conversions: UTF-16 of any units (lone surrogates included)
// into every engine code page and any room, and UTF-8 of any bytes into UTF-16. Output must
// stay inside its room, be terminated and agree with CodePageLength.

#include <cstdlib>
#include <vector>

#include "platform/Utf8.h"
#include "reading/CodePage.h"
#include "tests/fuzz/FuzzDriver.h"

using namespace std::literals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    utf8::ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
    std::u16string text;
    for (std::size_t i = 1; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    static const int kCodePages[] = {932, 1252, 936, 949, 0};
    for (const int codePage : kCodePages) {
        const std::size_t full = reading::CodePageLength(codePage, text);
        // Exactly as large as asked, so a write past it is caught by the sanitizer.
        const std::size_t room = data[0] % 4 == 0 ? full + 1 : data[0] % (full + 2);
        std::vector<char> out(room);
        const std::size_t n = reading::WideToCodePage(codePage, text, out.data(), room);
        if (room == 0 ? n != 0 : (n >= room || out[n] != '\0' || n > full)) std::abort();
        if (room == full + 1 && n != full) std::abort();
    }
    return 0;
}

const std::string_view kFuzzFragments[] = {
    "A\0"sv, "\0\0"sv, "\x42\x30"sv, "\xE5\x65"sv, "\xAC\x20"sv, "\x00\xD8"sv, "\x00\xDC"sv, "\x3D\xD8\x00\xDE"sv,
    "\xFF\xFE"sv, "\xA5\x00"sv, "\x1C\x20"sv, "\x3A\x30"sv, "\x5F\x75"sv, "\x00\xAC"sv, "\xE0\x65"sv, "\xC3\xA9"sv,
    "\xE6\x97\xA5"sv, "\xF0\x9F"sv, "\x80"sv};
const std::size_t kFuzzFragmentCount = std::size(kFuzzFragments);
