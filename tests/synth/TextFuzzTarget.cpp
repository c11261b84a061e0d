// Fuzz target for the text side of the core: any bytes, read as UTF-8, split into sentences
// with their lines joined, then through the Chinese and Korean front ends, without harm; every
// sentence lies in the text, in order, and what espeak-ng is handed holds only what it can say.

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/Utf8.h"
#include "synth/text/ChineseFrontEnd.h"
#include "synth/text/CopiedText.h"
#include "synth/text/EspeakSafeText.h"
#include "synth/text/KoreanFrontEnd.h"
#include "synth/text/TextStream.h"
#include "tests/fuzz/FuzzDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto text = std::make_shared<const std::string>(reinterpret_cast<const char*>(data), size);
    synth::TextStream stream(text, "UTF-8");
    std::string sentence;
    std::size_t last = 0;
    while (stream.next(sentence)) {
        if (!utf8::IsValid(sentence) || stream.rawStart() < last ||
            stream.rawEnd() <= stream.rawStart() || stream.rawEnd() > size)
            std::abort();
        last = stream.rawEnd();
        const std::string korean =
            synth::readCopiedText(sentence, synth::TextReading::Korean, synth::LinkReading::All);
        const std::string chinese =
            synth::readCopiedText(sentence, synth::TextReading::Mandarin, synth::LinkReading::None);
        if (!utf8::IsValid(korean) || !utf8::IsValid(chinese)) std::abort();
        for (const auto& segments : {synth::readKorean(korean), synth::readChinese(chinese)})
            for (const synth::SpeechSegment& segment : segments) {
                const std::u32string safe = utf8::ToUtf32(synth::espeakSafeText(segment.text));
                if (safe.size() != utf8::ToUtf32(segment.text).size()) std::abort();
                for (char32_t c : safe)
                    if (!synth::espeakMaySay(c)) std::abort();
            }
    }
    return 0;
}

const std::string_view kFuzzFragments[] = {
    "안녕하세요 \xF0\x9F\xA8\x98\xF0\x9F\x90\xBD 감사합니다.",  // made espeak-ng read freed memory
    "\xF0\x9F\x90\xBD",
    "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",
    "\xE2\x80\x8D",
    "\xEF\xB8\x8F",
    "\xEE\x80\x80",
    "\xF3\xA0\x81\x81",
    "\xFF",
    "\xE3\x81",
    "a",
    "Word",
    "commit-",
    "tee",
    "\n",
    "\r\n",
    "\r",
    " ",
    "\t",
    "> ",
    ">",
    "- ",
    "-",
    "* ",
    "1. ",
    "12) ",
    "・",
    "• ",
    "# ",
    "#",
    ".",
    "。",
    "、",
    "，",
    "?",
    "！",
    "」",
    "3.14",
    "2024年3月5日",
    "5%",
    "你好",
    "漢字",
    "ひらがな",
    "=====",
    "～～～",
    "https://",
    "www.",
    "example.com",
    "/path",
    "?id=42",
    "@",
    "a@b.c",
    "~/",
    "C:\\"};
const std::size_t kFuzzFragmentCount = std::size(kFuzzFragments);
