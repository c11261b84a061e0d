// The text side of the core: user dictionaries, decoding and sentence splitting, the
// Japanese reading and the voice configuration.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/Utf8.h"
#include "synth/VoiceConfig.h"
#include "synth/text/JapaneseReader.h"
#include "synth/text/TextScan.h"
#include "synth/text/TextStream.h"
#include "synth/text/UserDictionary.h"
#include "tests/synth/EngineLibrary.h"

namespace fs = std::filesystem;
using synth::JapaneseReader;
using synth::TextStream;
using synth::UserDictionary;

namespace {

std::vector<std::string> sentences(const std::string& text, const char* encoding) {
    TextStream stream(std::make_shared<const std::string>(text), encoding);
    EXPECT_TRUE(stream.ok());
    std::vector<std::string> out;
    std::string s;
    while (stream.next(s)) out.push_back(s);
    return out;
}

TEST(UserDictionary, ParsesWellFormedFiles) {
    std::string why;
    auto dict = UserDictionary::parse(
        "\xEF\xBB\xBF# comment, with a comma\n"
        "\n"
        "plain,text\r\n"
        "\"a,b\",\"say \"\"hi\"\"\"\n"
        "\"multi\nline\",joined\n"
        "#tag,not a comment when quoted? no: this line is a comment\n"
        "\"#tag\",hashtag\n"
        "plain,again\n"
        "last,no newline",
        &why);
    ASSERT_TRUE(dict) << why;
    EXPECT_EQ(dict->size(), 5u);
    EXPECT_EQ(dict->apply("plain a,b multi\nline #tag last"),
              "again say \"hi\" joined hashtag no newline");
    EXPECT_EQ(UserDictionary::parse("", &why)->size(), 0u);
}

TEST(UserDictionary, RefusesMalformedFiles) {
    const std::pair<const char*, std::string> cases[] = {
        {"unbalanced quote", "\"cat,dog\n"},
        {"quote closes mid field", "\"cat\"s,dog\n"},
        {"quote inside unquoted field", "ca\"t,dog\n"},
        {"no comma", "cat,dog\nbird\n"},
        {"three fields", "a,b,c\n"},
        {"empty surface", ",dog\n"},
        {"invalid UTF-8", "cat,\xFF\n"},
        {"overlong UTF-8", "\xC0\xAF,x\n"},
        {"surrogate in UTF-8", "\xED\xA0\x80,x\n"},
        {"truncated UTF-8", "cat,\xE3\x81"},
    };
    for (const auto& [name, text] : cases) {
        std::string why;
        EXPECT_FALSE(UserDictionary::parse(text, &why)) << name;
        EXPECT_FALSE(why.empty()) << name;
    }
    const std::string big(UserDictionary::kMaxFileSize + 1, 'a');
    EXPECT_FALSE(UserDictionary::parse(big, nullptr));
}

TEST(UserDictionary, ReplacesLongestMatchFirstWithoutRescanning) {
    auto dict = UserDictionary::parse(
        "New,Old\nNew York,Gotham\nYork,Jorvik\nGotham,NOPE\n東京,とうきょう\n京都,きょうと\n",
        nullptr);
    ASSERT_TRUE(dict);
    EXPECT_EQ(dict->apply("New York and New Yorkers and York"), "Gotham and Gothamers and Jorvik");
    EXPECT_EQ(dict->apply("東京都と京都"), "とうきょう都ときょうと");
    EXPECT_EQ(dict->apply("Ne"), "Ne");
    EXPECT_EQ(dict->apply(""), "");
    // Later entries for a surface win.
    EXPECT_EQ(UserDictionary::parse("a,1\na,2\n", nullptr)->apply("a"), "2");
}

// A dictionary at the size limit whose long surfaces share little: a trie of one node per
// byte took about 60 times the text. The entries must still be found, the longest first.
TEST(UserDictionary, AFullSizeDictionaryTakesAFewTimesItsSize) {
    std::string text;
    std::uint32_t seed = 1;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    while (text.size() < UserDictionary::kMaxFileSize - 256) {
        std::string surface;
        for (std::size_t n = 40 + next() % 160; n > 0; --n) surface += char('a' + next() % 26);
        text += surface + ",x\n";
    }
    text += "zz,short\nzzz,longest\n";
    const long before = synthtest::residentKiB();
    std::string why;
    auto dict = UserDictionary::parse(text, &why);
    const long grownKb = synthtest::residentKiB() - before;
    ASSERT_TRUE(dict) << why;
    EXPECT_LT(grownKb * 1024, 4 * static_cast<long>(text.size())) << grownKb << " kB";
    EXPECT_EQ(dict->apply("zzzz " + text.substr(0, text.find(','))), "longestz x");
}

TEST(UserDictionary, LoadRefusesMissingAndOversizedFiles) {
    const fs::path dir = fs::temp_directory_path() / ("synth-dict-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string why;
    EXPECT_FALSE(UserDictionary::load((dir / "none.csv").string(), &why));
    const fs::path ok = dir / "ok.csv";
    std::ofstream(ok) << "a,b\n";
    EXPECT_TRUE(UserDictionary::load(ok.string(), &why));
    fs::resize_file(ok, 100u << 20);
    EXPECT_FALSE(UserDictionary::load(ok.string(), &why));
    fs::remove_all(dir);
}

TEST(TextStream, SplitsIntoSentences) {
    EXPECT_EQ(sentences("Hello there. Pi is 3.14 today!Yes? This\nnext line", "CP1252"),
              (std::vector<std::string>{"Hello there.", " Pi is 3.14 today!Yes?", " This ",
                                        "next line"}));
    EXPECT_EQ(sentences(synthtest::encode("今日は。明日は！　あさって", "CP932"), "CP932"),
              (std::vector<std::string>{"今日は。", "明日は！", "　あさって"}));
    EXPECT_TRUE(sentences("   \n\n \t ", "CP1252").empty());
    EXPECT_TRUE(sentences("", "CP1252").empty());
}

TEST(TextStream, CutsLongSentencesAtASpaceOrAnywhere) {
    std::string words;
    while (words.size() < 2000) words += "word ";
    for (const std::string& s : sentences(words, "CP1252")) {
        EXPECT_LE(s.size(), TextStream::kMaxSentenceBytes);
        EXPECT_EQ(s.back(), ' ') << "cut inside a word";
    }
    std::string hiragana;
    for (int i = 0; i < 1000; ++i) hiragana += "あ";
    const std::string kana = synthtest::encode(hiragana, "CP932");
    std::size_t total = 0;
    for (const std::string& s : sentences(kana, "CP932")) {
        EXPECT_LE(s.size(), TextStream::kMaxSentenceBytes);
        EXPECT_TRUE(utf8::IsValid(s)) << "cut inside a character";
        total += s.size();
    }
    EXPECT_EQ(total, 3000u);
}

TEST(TextStream, DecodesEachEncodingAcrossChunkBoundaries) {
    // A double-byte character straddles the 16 KiB decoding chunk.
    const std::string text = std::string(16383, 'a') + synthtest::encode("漢字", "CP932");
    std::string joined;
    for (const std::string& s : sentences(text, "CP932")) joined += s;
    EXPECT_EQ(joined, std::string(16383, 'a') + "漢字");

    const std::pair<const char*, const char*> samples[] = {
        {"CP1252", "café € naïve"},
        {"CP936", "镕基 啰嗦"},  // GBK beyond GB2312
        {"CP949", "똠방각하"},   // CP949 beyond EUC-KR
        {"CP932", "①ｱｲｳ髙"},
    };
    for (auto [encoding, utf8] : samples)
        EXPECT_EQ(sentences(synthtest::encode(utf8, encoding), encoding),
                  std::vector<std::string>{utf8})
            << encoding;
}

TEST(TextStream, SkipsUndefinedBytesAndControls) {
    // 0x81 0x20 is a broken lead byte in CP932, 0xA0 is undefined in CP932; 0xF040 is the
    // user-defined area (private use).
    const std::string text = "\x82\xA0\x81\x20\xA0\x1b[1m\xF0\x40\x82\xA2";
    const auto out = sentences(text, "CP932");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(utf8::IsValid(out[0]));
    EXPECT_EQ(out[0].find('\x1b'), std::string::npos);
    EXPECT_NE(out[0].find("あ"), std::string::npos);
    EXPECT_NE(out[0].find("い"), std::string::npos);
    EXPECT_EQ(out[0].find("\xEE\x80\x80"), std::string::npos) << "private use kept";
    EXPECT_FALSE(TextStream(std::make_shared<const std::string>("x"), "NO-SUCH").ok());
}

TEST(JapaneseReader, ReadsNumbers) {
    const std::pair<const char32_t*, const char32_t*> cases[] = {
        {U"0", U"ゼロ"},
        {U"10", U"ジュー"},
        {U"300", U"サンビャク"},
        {U"8000", U"ハッセン"},
        {U"1234567", U"ヒャクニジューサンマンヨンセンゴヒャクロクジューナナ"},
        {U"10000", U"イチマン"},
        {U"11000", U"イチマンセン"},
        {U"10000000", U"イッセンマン"},
        {U"100000000", U"イチオク"},
        {U"12345678901234567", U"イチニサンヨンゴロクナナハチキューゼロイチニサンヨンゴロクナナ"},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(utf8::FromUtf32(synth::readNumber(in)), utf8::FromUtf32(out))
            << utf8::FromUtf32(in);
    EXPECT_EQ(utf8::FromUtf32(synth::foldWidth(U"ＡＢＣ　ｶﾞｷﾞﾂﾞﾊﾟｳﾞ")), "ABC ガギヅパヴ");
}

TEST(JapaneseReader, GivesKatakanaPronunciationAndLatinSegments) {
    JapaneseReader reader;
    ASSERT_TRUE(reader.ok());
    auto segments = reader.read("今日は東京でABC Newsを見た。");
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_FALSE(segments[0].latin);
    EXPECT_EQ(segments[0].text, "キョーワトーキョーデ");  // pronunciation: ー and ワ
    EXPECT_TRUE(segments[1].latin);
    EXPECT_EQ(segments[1].text, "ABC News");
    EXPECT_EQ(segments[2].text, "オミタ。");

    // Only kana and punctuation reach the voice.
    for (const auto& s : reader.read("彁は未知の字、ひらがな★カタカナ")) {
        ASSERT_FALSE(s.latin);
        for (char32_t c : utf8::ToUtf32(s.text))
            EXPECT_TRUE((c >= 0x30A1 && c <= 0x30FC) || c == U'、' || c == U'。')
                << utf8::FromUtf32(std::u32string(1, c));
    }
    EXPECT_TRUE(reader.read("").empty());
}

TEST(VoiceConfig, ReadsKeysAndRefusesIncompleteFiles) {
    const fs::path dir = fs::temp_directory_path() / ("synth-conf-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string why;
    EXPECT_FALSE(synth::readVoiceConfig(dir.string(), &why));
    std::ofstream(dir / "voice.conf") << "# c\n name = Miyu \nvoice=ja\nencoding = CP932\n"
                                         "reading = mecab\nlatin-voice = en-us\nfuture = 1\n";
    auto config = synth::readVoiceConfig(dir.string(), &why);
    ASSERT_TRUE(config) << why;
    EXPECT_EQ(config->name, "Miyu");
    EXPECT_EQ(config->voice, "ja");
    EXPECT_EQ(config->encoding, "CP932");
    EXPECT_EQ(config->latinVoice, "en-us");
    EXPECT_EQ(config->reading, synth::TextReading::Japanese);
    std::ofstream(dir / "voice.conf") << "voice=ja\nencoding=CP932\nreading=magic\n";
    EXPECT_FALSE(synth::readVoiceConfig(dir.string(), &why));
    fs::remove_all(dir);
}

}  // namespace
