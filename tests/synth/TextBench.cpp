// How long the cleaning of copied text takes, printed, never asserted: 1 MB of wrapped
// paragraphs, quotations, lists, URLs, symbol rules and emoji in four languages, split into
// sentences with their lines joined, then read for each language's front end. Run it as
// build/tests/synth/text_bench.

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "synth/text/CopiedText.h"
#include "synth/text/TextStream.h"

int main() {
    const std::string pieces[] = {
        "The committee will meet on Tuesday to discuss\nthe budget for the coming year and "
        "the commit-\ntee plans.\n\n",
        "> Can you come? See https://www.example.com/docs/install?id=42 today.\n> Mail "
        "taro@example.com\n",
        "- milk\n- eggs\n1. bread\n=====\n",
        "今日は会議があり、\n午後から大阪に移動する予定です。～～～😀\n",
        "你好，我很好。你也好吗？\n我们走吧，老李买了五把雨伞。\n",
        "안녕하세요, 저는 학생입니다.\n오늘은 날씨가 좋네요. /usr/share/doc/readme.txt\n",
    };
    auto text = std::make_shared<std::string>();
    for (std::size_t i = 0; text->size() < (1u << 20); ++i) *text += pieces[i % std::size(pieces)];
    const synth::TextReading readings[] = {
        synth::TextReading::English, synth::TextReading::Japanese, synth::TextReading::Mandarin,
        synth::TextReading::Korean};
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        synth::TextStream stream(text, "UTF-8");
        std::string sentence;
        std::size_t sentences = 0, bytes = 0;
        while (stream.next(sentence)) {
            bytes += synth::readCopiedText(sentence, readings[sentences % 4],
                                                synth::LinkReading::Domain).size();
            ++sentences;
        }
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        std::printf(
            "cleaning %.2f MB: %zu sentences, %zu bytes read out, %.1f ms (%.1f ms of CPU)\n",
            static_cast<double>(text->size()) / (1 << 20), sentences, bytes, ms, cpuMs);
    }
    return 0;
}
