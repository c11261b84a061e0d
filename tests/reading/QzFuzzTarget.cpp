// libFuzzer target for the QZ conversion: any bytes, any count, the output must stay within
// 2 * count + 1 bytes and be terminated. Built with clang -fsanitize=fuzzer by
// scripts/fuzz-qz; the g++ build links it with tests/fuzz/FuzzDriver.cpp for a short
// regression pass, its inputs made of lead bytes and the remapped ranges' edges.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

#include "reading/CChineseConv.h"
#include "tests/fuzz/FuzzDriver.h"

using namespace std::string_view_literals;

const std::string_view kFuzzFragments[] = {"\x00"sv, "\x40"sv, "\x7F"sv, "\x80"sv, "\x81"sv,
                                           "\x9F"sv, "\xA0"sv, "\xA1"sv, "\xDF"sv, "\xE0"sv,
                                           "\xED"sv, "\xEE"sv, "\xF0"sv, "\xF2"sv, "\xFA"sv,
                                           "\xFB"sv, "\xFC"sv, "\xFD"sv, "\xFF"sv};
const std::size_t kFuzzFragmentCount = std::size(kFuzzFragments);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // First byte picks the count relative to the string: shorter, equal or longer.
    const std::size_t textSize = size - 1;
    const std::size_t count = data[0] % 3 == 0   ? textSize / 2
                              : data[0] % 3 == 1 ? textSize
                                                 : textSize + data[0];
    // The source is exactly as long as its bytes plus terminator, so any read past it is caught.
    std::vector<unsigned char> src(data + 1, data + size);
    src.push_back(0);
    std::vector<unsigned char> dst(2 * count + 1);
    static const CChineseConv conv;
    const std::size_t n = conv.ConvertQzToGb(dst.data(), src.data(), count);
    if (n > 2 * count || dst[n] != 0) std::abort();
    return 0;
}
