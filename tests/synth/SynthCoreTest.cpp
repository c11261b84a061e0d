// The text side of the core: user dictionaries, decoding and sentence splitting, the
// Japanese reading and the voice configuration.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/Utf8.h"
#include "synth/pipeline/SpeechPosition.h"
#include "synth/backend/VoiceConfig.h"
#include "synth/text/EspeakSafeText.h"
#include "synth/text/ja/JapaneseReader.h"
#include "synth/text/SentenceSplit.h"
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

TEST(EspeakSafeText, HandsOnScriptsAndPunctuationAndBlanksTheRestCharForChar) {
    // Each row: text, what espeak-ng is handed.
    const std::pair<const char*, const char*> rows[] = {
        {"안녕하세요 \U0001FA18\U0001F43D 감사합니다.", "안녕하세요    감사합니다."},
        {"你好，世界。こんにちは、カナ！", "你好，世界。こんにちは、カナ！"},
        {"Café – “naïve” 3½ €5 ΑΩ Жж", "Café – “naïve” 3½ €5 ΑΩ Жж"},
        // A math letter, private use, a variation selector, a star, box drawing; an emoji with
        // its skin tone, a joiner, a tag; malformed bytes.
        {"a\U0001D400b\uE000c\uFE0Fd\u2605e\u2500f", "a b c d e f"},
        {"👍🏽x\u200D\U000E0041", "  x  "},
        {"\xFF\xC3", "  "},
    };
    for (auto [in, out] : rows) {
        SCOPED_TRACE(in);
        const std::string safe = synth::espeakSafeText(in);
        EXPECT_EQ(safe, out);
        EXPECT_EQ(utf8::ToUtf32(safe).size(), utf8::ToUtf32(in).size());
    }
    for (auto [text, pause] : {std::pair{"你好，", true},
                               {"끝났어요?」 ", true},
                               {"Hi, there", false},
                               {"end.\")", true},
                               {"", false},
                               {"我们用", false}})
        EXPECT_EQ(synth::endsAtPause(text), pause) << text;
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
    // Each row: text, the sentences it splits into.
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"Hello there. Pi is 3.14 today!Yes? This\nnext line",
         {"Hello there.", "Pi is 3.14 today!", "Yes?", "This next line"}},
        {"今日は。明日は！　あさって", {"今日は。", "明日は！", "　あさって"}},
        {"本当？！」と彼は言った。", {"本当？！」", "と彼は言った。"}},
        {"Wait... what?! \"Yes.\" Done", {"Wait...", "what?!", "\"Yes.\"", "Done"}},
        {"a;b: c", {"a;b: c"}},  // no end mark: one sentence
        {"句", {"句"}},
        {"   \n\n \t ", {}},
        {"", {}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(sentences(synthtest::encode(text, "CP932"), "CP932"), expected) << text;
}

TEST(TextStream, JoinsWrappedLinesAndLeavesOutListAndQuotationMarks) {
    // Each row: text as copied, the sentences read.
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"The committee will meet on Tuesday to discuss\nthe budget for the coming year and "
         "the plans\nfor the new building.",
         {"The committee will meet on Tuesday to discuss the budget for the coming year and the "
          "plans for the new building."}},
        {"今日は会議があり、\n午後から大阪に移動する予定です。",
         {"今日は会議があり、午後から大阪に移動する予定です。"}},
        {"안녕하세요\n반갑습니다", {"안녕하세요 반갑습니다"}},
        {"The commit-\ntee will meet a well-\nKnown man",
         {"The committee will meet a well-Known man"}},
        {"> Are you\n> coming?\n>> No\nYes I am", {"Are you coming?", "No", "Yes I am"}},
        {"Buy:\n- milk\n* eggs and\n  bread\n1. first\n12) second\n・りんご\n• みかん",
         {"Buy:", "milk", "eggs and bread", "first", "second", "りんご", "みかん"}},
        {"# Title\nBody text\n\nNew paragraph", {"Title", "Body text", "New paragraph"}},
        {"-5 degrees\ntoday", {"-5 degrees today"}},
        {"line one\r\nline two.\r\nThree\rfour", {"line one line two.", "Three four"}},
        {"Done. - not a bullet", {"Done.", "- not a bullet"}},
        // Decided across the decoding chunk's end.
        {std::string(2046, ' ') + "a\n- b", {"a", "b"}},
        {std::string(2046, ' ') + "a\nb", {"a b"}},
        {std::string(100000, '-') + "\n\n\n", {std::string(100000, '-')}},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text.substr(0, 80));
        std::string joined;
        auto got = sentences(text, "UTF-8");
        if (expected.size() == 1 && expected[0].size() > 1000) {  // cut into 200-character pieces
            for (const std::string& s : got) joined += s;
            EXPECT_EQ(joined, expected[0]);
            continue;
        }
        EXPECT_EQ(got, expected);
    }
    // The list's marks stay within the range reported for the sentence.
    const std::string list = "- one\n- two";
    TextStream stream(std::make_shared<const std::string>(list), "UTF-8");
    std::string s;
    ASSERT_TRUE(stream.next(s) && stream.next(s));
    EXPECT_EQ(s, "two");
    EXPECT_EQ(list.substr(stream.rawStart(), stream.rawEnd() - stream.rawStart()), "- two");
}

TEST(TextStream, CutsLongSentencesAtACommaElseASpaceElseAnywhere) {
    std::string commas;  // 、 every 30 characters, no end mark
    for (int i = 0; i < 40; ++i)
        commas += "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへ、";
    std::vector<std::string> parts = sentences(synthtest::encode(commas, "CP932"), "CP932");
    ASSERT_GT(parts.size(), 1u);
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        EXPECT_LE(utf8::ToUtf32(parts[i]).size(), synth::kMaxSentenceChars);
        EXPECT_EQ(utf8::ToUtf32(parts[i]).back(), U'、') << "not cut after the last comma";
        EXPECT_GT(utf8::ToUtf32(parts[i]).size(), synth::kMaxSentenceChars - 31)
            << "cut at an earlier comma than the nearest";
    }
    std::string words;
    while (words.size() < 2000) words += "word ";
    for (const std::string& s : sentences(words, "CP1252")) {
        EXPECT_LE(s.size(), synth::kMaxSentenceChars);
        EXPECT_EQ(s.back(), ' ') << "cut inside a word";
    }
    for (const char* run : {"!", "."})  // marks that stay with an end must not run on
        for (const std::string& s : sentences(std::string(3000, *run) + " x", "CP1252"))
            EXPECT_LE(s.size(), synth::kMaxSentenceChars);
    std::string hiragana;
    for (int i = 0; i < 1000; ++i) hiragana += "あ";
    std::size_t total = 0;
    for (const std::string& s : sentences(synthtest::encode(hiragana, "CP932"), "CP932")) {
        EXPECT_EQ(utf8::ToUtf32(s).size(), synth::kMaxSentenceChars);
        total += s.size();
    }
    EXPECT_EQ(total, 3000u);
}

TEST(TextStream, KnowsWhereEachSentenceLiesInTheOriginalBytesAndGoesOnFromThere) {
    const std::string text = synthtest::encode("一文目。 二文目！\n三文目", "CP932");
    TextStream stream(std::make_shared<const std::string>(text), "CP932");
    std::vector<std::pair<std::size_t, std::size_t>> places;
    std::string s;
    while (stream.next(s)) places.emplace_back(stream.rawStart(), stream.rawEnd());
    // Sjis: 2 bytes a character; the space before the second is not its start.
    EXPECT_EQ(places,
              (std::vector<std::pair<std::size_t, std::size_t>>{{0, 8}, {9, 17}, {18, 24}}));
    stream.seek(9);
    ASSERT_TRUE(stream.next(s));
    EXPECT_EQ(s, "二文目！");
    EXPECT_EQ(stream.rawStart(), 9u);
    stream.seek(text.size() + 5);
    EXPECT_FALSE(stream.next(s));
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
    // A back-end name in other case is that back-end; a mistyped one leaves espeak-ng speaking.
    std::ofstream(dir / "voice.conf") << "voice=ja\nencoding=CP932\nbackend = OpenJTalk\n"
                                         "latin-backend = Flite\n";
    config = synth::readVoiceConfig(dir.string(), &why);
    ASSERT_TRUE(config) << why;
    EXPECT_EQ(config->backend, synth::Backend::OpenJTalk);
    EXPECT_EQ(config->latinBackend, synth::Backend::Flite);
    std::ofstream(dir / "voice.conf") << "voice=ja\nencoding=CP932\nbackend = OpenJTlak\n";
    config = synth::readVoiceConfig(dir.string(), &why);
    ASSERT_TRUE(config) << why;
    EXPECT_EQ(config->backend, synth::Backend::Espeak);
    fs::remove_all(dir);
}

}  // namespace

TEST(SpeechPosition, NamesTheSentenceAndWordAtThePlaybackPosition) {
    synth::SpeechPosition p;
    p.newText(5);
    p.sentence(5, 0, 12, "一文目。", 0);
    p.word(5, 0, 3, 0);
    p.word(5, 3, 9, 800);
    p.sentence(5, 12, 20, "二文目。", 2000);
    p.sentence(4, 99, 120, "stale", 2500);  // of a stopped utterance: dropped

    EXPECT_EQ(p.at(5, 799).wordStart, 0);
    const synth::Heard second = p.at(5, 900);
    EXPECT_EQ(second.sentence, "一文目。");
    EXPECT_EQ(std::make_pair(second.wordStart, second.wordEnd), std::make_pair(3, 9));
    const synth::Heard later = p.at(5, 2600);
    EXPECT_EQ(later.sentence, "二文目。");
    EXPECT_EQ(later.sentenceStart, 12u);
    EXPECT_EQ(later.previousStart, 0);
    EXPECT_EQ(later.heardSamples, 600);
    EXPECT_EQ(later.wordStart, -1) << "no words reported for it";
    EXPECT_FALSE(p.at(4, 2600).speaking);

    // A jump back to the first sentence: the second stays known as read.
    p.restart(6);
    EXPECT_FALSE(p.at(6, 0).speaking) << "nothing of the new utterance yet";
    p.sentence(6, 0, 12, "一文目。", 0);
    p.sentence(6, 12, 20, "二文目。", 2000);
    EXPECT_EQ(p.at(6, 100).previousStart, -1);
    EXPECT_EQ(p.at(6, 2100).previousStart, 0);
    p.newText(7);
    p.sentence(7, 12, 20, "x", 0);
    EXPECT_EQ(p.at(7, 0).previousStart, -1) << "a new text forgets the old one's sentences";
}
