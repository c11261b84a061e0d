// Throughput of the conversions a reading runs on the clipboard text: QZ to GB and the code
// page conversion through iconv. Prints figures; nothing here passes or fails.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "reading/CChineseConv.h"
#include "reading/CodePage.h"

namespace {

// Mixed QZ text: two-byte characters, pinyin single bytes and ASCII.
std::string QzText(std::size_t bytes) {
    static const char kSample[] = "\x88\x9F\x82\xA0\xA6\xBF\xD8 ok\x81\x40\xFA\x40\xED\x40";
    std::string s;
    while (s.size() + sizeof kSample <= bytes) s += kSample;
    return s;
}

void BM_ConvertQzToGb(benchmark::State& state) {
    const std::string src = QzText(static_cast<std::size_t>(state.range(0)));
    std::vector<unsigned char> dst(2 * src.size() + 2);
    const CChineseConv conv;
    for (auto _ : state) {
        benchmark::DoNotOptimize(conv.ConvertQzToGb(
            dst.data(), reinterpret_cast<const unsigned char*>(src.c_str()), src.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * src.size()));
}
BENCHMARK(BM_ConvertQzToGb)->Arg(1 << 10)->Arg(1 << 20)->Arg(10 << 20);

void BM_WideToCodePage932(benchmark::State& state) {
    std::u16string text;
    while (text.size() < static_cast<std::size_t>(state.range(0)))
        text += u"日本語のテキストを読み上げる。Plain words. ";
    std::vector<char> out(2 * text.size() + 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(reading::WideToCodePage(932, text, out.data(), out.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * 2));
}
BENCHMARK(BM_WideToCodePage932)->Arg(1 << 10)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
