// Fuzz target for the settings file: any bytes parse without harm, and what the writer makes
// of the result reads back clean and the same.

#include <cstdlib>
#include <string>

#include "platform/RegFileFormat.h"
#include "tests/fuzz/FuzzDriver.h"

using namespace platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RegDocument doc;
    ParseRegText(std::string_view(reinterpret_cast<const char*>(data), size), &doc);
    RegDocument back;
    if (!ParseRegText(FormatRegText(doc), &back).Clean()) std::abort();
    if (back.keys.size() != doc.keys.size()) std::abort();
    for (std::size_t k = 0; k < doc.keys.size(); ++k) {
        const auto& a = doc.keys[k];
        const auto& b = back.keys[k];
        if (a.path != b.path || a.values.size() != b.values.size()) std::abort();
        for (std::size_t v = 0; v < a.values.size(); ++v)
            if (a.values[v].name != b.values[v].name || a.values[v].type != b.values[v].type ||
                a.values[v].data != b.values[v].data)
                std::abort();
    }
    return 0;
}

const std::string_view kFuzzFragments[] = {
    "REGEDIT4\n", "\n", "\r\n", "[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine]\n",
    "[HKEY_CURRENT_USER\\", "]", "[", "\"", "\\\"", "\\\\", "\"X\"=", "\"x\"=", "=", "dword:",
    "0000000a", "ffffffff", "hex:", "hex(7):", "hex(0):", "00,", "ff", ",", "\"text\"", ";",
    "日本語", "\xEF\xBB\xBF", "\xC0\xAF", "\xED\xA0\x80", "\xE6\x97", " ", "\t"};
const std::size_t kFuzzFragmentCount = std::size(kFuzzFragments);
