// The engine libraries through dlopen, as the program uses them, with audio going to the WAV
// sink (or the null sink where only behaviour, not sound, matters).

#include <gtest/gtest.h>
#include <sched.h>
#include <sndfile.h>
#include <sys/mount.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "tests/synth/EngineLibrary.h"

namespace fs = std::filesystem;
using namespace synthtest;
using namespace std::chrono_literals;

namespace {

const std::string kModuleDir = SYNTH_MODULE_DIR;
const std::string kProgramDir = SYNTH_PROGRAM_DIR;
const std::string kCorePath = SYNTH_CORE_PATH;

struct Sample {
    const LanguageInfo* lang;
    const char* encoding;
    std::string utf8;
    int rate;  // of the voice: Open JTalk's Mei, flite's slt, espeak-ng
};

const Sample kSamples[] = {
    {&kJapanese, "CP932", "今日は東京で2024年4月1日にABCを見ました。", 24000},
    {&kEnglish, "CP1252", "The quick brown fox jumps over the lazy dog. Café au lait.", 16000},
    {&kChinese, "CP936", "今天天气很好，我们去公园散步吧。", 22050},
    {&kKorean, "CP949", "안녕하세요. 오늘은 날씨가 좋습니다.", 22050},
};

std::string longEnglish(int sentences) {
    std::string text;
    for (int i = 0; i < sentences; ++i)
        text += "Sentence number " + std::to_string(i) + " goes on for a little while. ";
    return text;
}

class EngineTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        // While the process has one thread: a mount namespace of its own lets the save tests
        // mount small file systems that nothing else sees and that end with the process.
        s_privateMounts = ::unshare(CLONE_NEWNS) == 0 &&
                          ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        s_dir = fs::temp_directory_path() / ("synth-engine-test-" + std::to_string(getpid()));
        fs::create_directories(s_dir);
        s_wav = (s_dir / "out.wav").string();
        for (std::size_t i = 0; i < 4; ++i)
            s_libs[i] = std::make_unique<EngineLibrary>(kModuleDir, *kLanguages[i]);
        s_core = std::make_unique<CoreProbe>(kCorePath);
    }
    static void TearDownTestSuite() {
        for (auto& lib : s_libs) lib->unload(0);
        fs::remove_all(s_dir);
    }

  protected:
    static EngineLibrary& lib(const LanguageInfo& lang) { return *s_libs[slotOf(lang)]; }

    // Loads the engine with audio going to `audio` (a SELVARINE_AUDIO value).
    static void loadWith(const LanguageInfo& lang, const std::string& audio) {
        setenv("SELVARINE_AUDIO", audio.c_str(), 1);
        ASSERT_EQ(lib(lang).loadFrom(lib(lang).engineDir(kProgramDir)), 0) << lang.suffix;
    }
    static void loadToWav(const LanguageInfo& lang) { loadWith(lang, "wav:" + s_wav); }

    static void waitIdle() { ASSERT_EQ(s_core->waitIdle(60000), 1) << "speech never finished"; }

    // Plays the text to the end and returns what the WAV file holds.
    static Pcm speak(EngineLibrary& engine, const std::string& text, int pitch = 100,
                     int speed = 100, int volume = 100) {
        engine.stop();
        engine.play(text, pitch, speed, volume);
        EXPECT_EQ(s_core->waitIdle(60000), 1);
        return readWav(s_wav);
    }

    static inline fs::path s_dir;
    static inline std::string s_wav;
    static inline std::array<std::unique_ptr<EngineLibrary>, 4> s_libs;
    static inline std::unique_ptr<CoreProbe> s_core;
    static inline bool s_privateMounts = false;
};

// Waits for the engine's latest save to end; its status.
short finishSave(EngineLibrary& engine) {
    for (int i = 0; i < 6000; ++i) {
        const short status = engine.saveStatus(nullptr);
        if (status != VT_SAVE_RUNNING) return status;
        std::this_thread::sleep_for(20ms);
    }
    return VT_SAVE_RUNNING;
}

// Seconds of audio in a sound file, by libsndfile's count of its frames; -1 when unreadable.
double soundFileSeconds(const std::string& path, int* rate = nullptr) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return -1;
    sf_close(file);
    if (rate) *rate = info.samplerate;
    return static_cast<double>(info.frames) / info.samplerate;
}

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs first (declaration order): nothing has been loaded in this process yet.
TEST_F(EngineTest, ControlsAreHarmlessBeforeLoadAndAfterUnload) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "never loaded" : "unloaded");
        for (auto& engine : s_libs) {
            engine->stop();
            engine->pause();
            engine->restart();
            engine->play("text");
            engine->unloadDict(0);
            engine->unload(engine->language().speaker);
        }
        EXPECT_EQ(s_core->waitIdle(5000), 1);
        for (auto& engine : s_libs) loadWith(engine->language(), "null");
        for (auto& engine : s_libs) engine->unload(engine->language().speaker);
    }
}

TEST_F(EngineTest, LoadNeedsTheEngineDirectoryAndAUsableVoice) {
    for (const LanguageInfo* lang : kLanguages) {
        SCOPED_TRACE(lang->suffix);
        EngineLibrary& engine = lib(*lang);
        const fs::path broken = s_dir / "broken";
        fs::remove_all(broken);
        fs::create_directories(broken);
        auto writeConfig = [&](const std::string& text) {
            std::ofstream(broken / "voice.conf") << text;
        };
        EXPECT_NE(engine.loadFrom((s_dir / "missing").string()), 0) << "no directory";
        EXPECT_NE(engine.load(0, lang->speaker, nullptr, 0, -1, 0), 0) << "no path";
        EXPECT_NE(engine.loadFrom(broken.string()), 0) << "no configuration";
        fs::create_directory(broken / "voice.conf");
        EXPECT_NE(engine.loadFrom(broken.string()), 0) << "configuration is a directory";
        fs::remove(broken / "voice.conf");
        writeConfig("voice = en-us\n");
        EXPECT_NE(engine.loadFrom(broken.string()), 0) << "no encoding";
        writeConfig("voice en-us\nencoding = CP1252\n");
        EXPECT_NE(engine.loadFrom(broken.string()), 0) << "malformed line";
        writeConfig("voice = en-us\nencoding = NO-SUCH-CODEPAGE\n");
        EXPECT_NE(engine.loadFrom(broken.string()), 0) << "unknown encoding";
        writeConfig("voice = no-such-voice\nencoding = CP1252\n");
        EXPECT_NE(engine.loadFrom(broken.string()), 0) << "voice cannot start";
        writeConfig("voice = en-us\nencoding = CP1252\nlatin-voice = no-such-voice\n");
        EXPECT_NE(engine.loadFrom(broken.string()), 0) << "second voice cannot start";
        // A failed load leaves the engine unloaded: play is ignored.
        setenv("SELVARINE_AUDIO", ("wav:" + s_wav).c_str(), 1);
        fs::remove(s_wav);
        engine.play("Hello");
        waitIdle();
        EXPECT_FALSE(fs::exists(s_wav));

        EXPECT_EQ(engine.loadFrom(engine.engineDir(kProgramDir) + "/"), 0) << "trailing slash";
        EXPECT_EQ(engine.loadFrom(engine.engineDir(kProgramDir)), 0);
    }
}

TEST_F(EngineTest, VerboseSaysWhyAVoiceConfigurationIsRefused) {
    EngineLibrary& engine = lib(kEnglish);
    const fs::path broken = s_dir / "verbose";
    fs::create_directories(broken);
    const std::string errPath = (s_dir / "stderr.txt").string();
    setenv("SELVARINE_VERBOSE", "1", 1);
    std::fflush(stderr);
    const int saved = dup(2);
    ASSERT_NE(std::freopen(errPath.c_str(), "w", stderr), nullptr);
    std::ofstream(broken / "voice.conf") << "voice = en-us\nencoding = NO-SUCH-CODEPAGE\n";
    engine.loadFrom(broken.string());
    std::ofstream(broken / "voice.conf") << "voice = no-such-voice\nencoding = CP1252\n";
    engine.loadFrom(broken.string());
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    unsetenv("SELVARINE_VERBOSE");
    std::ifstream in(errPath);
    const std::string err((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(err.find("unknown text encoding \"NO-SUCH-CODEPAGE\""), std::string::npos) << err;
    EXPECT_NE(err.find("unknown voice \"no-such-voice\""), std::string::npos) << err;
}

TEST_F(EngineTest, ReportsTheLimits) {
    const std::pair<int, int> expected[] = {{11, 200}, {12, 100}, {13, 50},  {14, 400}, {15, 100},
                                            {16, 50},  {17, 500}, {18, 100}, {19, 0}};
    for (auto& engine : s_libs) {
        SCOPED_TRACE(engine->language().suffix);
        for (auto [code, value] : expected) EXPECT_EQ(engine->infoValue(code), value) << code;
        EXPECT_EQ(engine->infoValue(99), 0);
        int untouched = 7;
        engine->info(11, 0, &untouched, 2);
        EXPECT_EQ(untouched, 7) << "a too small buffer is not written";
        engine->info(11, 0, nullptr, 4);
    }
}

TEST_F(EngineTest, SpeaksEachLanguage) {
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.lang->suffix);
        loadToWav(*sample.lang);
        const Pcm pcm = speak(lib(*sample.lang), encode(sample.utf8, sample.encoding));
        EXPECT_EQ(pcm.rate, sample.rate);
        EXPECT_GT(pcm.seconds(), 1.0);
        EXPECT_LT(pcm.seconds(), 12.0);
        EXPECT_GT(pcm.rms(), 500.0) << "audio is silent";
        EXPECT_GE(s_core->firstAudioNs(sample.lang->number), 0);
    }
}

TEST_F(EngineTest, JapaneseReadsKanjiNumbersAndLatinWords) {
    loadToWav(kJapanese);
    EngineLibrary& engine = lib(kJapanese);
    // Kanji become kana readings instead of "Chinese letter" for each character, so a kanji
    // text sounds about as long as its kana spelling.
    const double kanji = speak(engine, encode("東京都庁", "CP932")).seconds();
    const double kana = speak(engine, encode("とうきょうとちょう", "CP932")).seconds();
    EXPECT_NEAR(kanji, kana, 0.35 * kana);
    // A number is read as a number, not digit by digit and not skipped.
    const double number = speak(engine, encode("12345", "CP932")).seconds();
    const double spelled =
        speak(engine, encode("いちまんにせんさんびゃくよんじゅうご", "CP932")).seconds();
    EXPECT_NEAR(number, spelled, 0.35 * spelled);
    // Latin words are spoken by the English voice, not dropped.
    EXPECT_GT(speak(engine, encode("Hello world", "CP932")).seconds(), 0.5);
}

TEST_F(EngineTest, ChineseReadsTraditionalCharactersAndNumbers) {
    loadToWav(kChinese);
    EngineLibrary& engine = lib(kChinese);
    // Big5 and QZ traditional text arrive as the GB code points of traditional characters;
    // they are read like their simplified forms, not skipped.
    const double simplified = speak(engine, encode("台湾国语广播电视节目", "CP936")).seconds();
    const double traditional = speak(engine, encode("臺灣國語廣播電視節目", "CP936")).seconds();
    EXPECT_NEAR(traditional, simplified, 0.2 * simplified);
    // Numbers are said as Mandarin readers say them: neither as English words nor with the
    // decimal point dropped, as the voices do on their own.
    const double digits = speak(engine, encode("圆周率是3.14159，增长5%", "CP936")).seconds();
    const double words =
        speak(engine, encode("圆周率是三点一四一五九，增长百分之五", "CP936")).seconds();
    EXPECT_NEAR(digits, words, 0.05 * words);
}

// The position export as the caption reads it; jumps and speed are the pipeline's tests.
TEST_F(EngineTest, ReportsTheHeardSentenceThroughTheExport) {
    loadToWav(kEnglish);
    EngineLibrary& engine = lib(kEnglish);
    const std::string first =
        "The first sentence is here, and it goes on with many words so that it takes a while.";
    const std::string text = first + " Second one follows now. The third is the last one.";
    speak(engine, text);
    VtPosition pos{};
    char sentence[256] = "x";
    EXPECT_EQ(engine.getPosition(&pos, sentence, sizeof sentence), 0) << "the text has ended";
    EXPECT_EQ(std::string(sentence), "");
    EXPECT_EQ(pos.sentenceStart, -1);

    // Paused after the first sentence (the file sink takes audio as it comes, so what was
    // written is what is heard).
    fs::remove(s_wav);
    engine.play(text);
    for (int i = 0; i < 10000 && fileSize(s_wav) <= 44; ++i) std::this_thread::sleep_for(1ms);
    engine.pause();
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(engine.getPosition(&pos, sentence, sizeof sentence), 1);
    EXPECT_EQ(std::string(sentence), first);
    EXPECT_EQ(pos.sentenceStart, 0);
    EXPECT_EQ(pos.sentenceEnd, static_cast<int>(first.size()));
    EXPECT_EQ(pos.previousStart, -1);
    char tiny[4];
    engine.getPosition(nullptr, tiny, sizeof tiny);
    EXPECT_EQ(std::string(tiny), "The");
    engine.stop();
    waitIdle();
}

TEST_F(EngineTest, VolumeSpeedAndPitchChangeTheVoice) {
    loadToWav(kEnglish);
    EngineLibrary& engine = lib(kEnglish);
    const std::string text = "This sentence is spoken with different voice settings each time.";
    const Pcm normal = speak(engine, text);
    const Pcm fast = speak(engine, text, 100, 200);
    const Pcm slow = speak(engine, text, 100, 50);
    EXPECT_LT(fast.seconds(), normal.seconds() * 0.7);
    EXPECT_GT(slow.seconds(), normal.seconds() * 1.5);
    const Pcm fastest = speak(engine, text, 100, 400);
    const Pcm beyond = speak(engine, text, 100, 100000);
    EXPECT_NEAR(beyond.seconds(), fastest.seconds(), fastest.seconds() * 0.1)
        << "speed not clamped";
    EXPECT_LT(fastest.seconds(), fast.seconds() * 0.8);

    const Pcm mute = speak(engine, text, 100, 100, 0);
    const Pcm loud = speak(engine, text, 100, 100, 300);
    EXPECT_LT(mute.rms(), 1.0);
    EXPECT_NEAR(mute.seconds(), normal.seconds(), normal.seconds() * 0.05);
    EXPECT_GT(loud.rms(), normal.rms() * 2.0);
    EXPECT_LT(speak(engine, text, 100, 100, -50).rms(), 1.0) << "volume not clamped at 0";

    const Pcm low = speak(engine, text, 50);
    const Pcm high = speak(engine, text, 200);
    const Pcm usual = speak(engine, text, 100);
    EXPECT_GT(high.medianPitchHz(), usual.medianPitchHz() * 1.2);
    EXPECT_LT(low.medianPitchHz(), usual.medianPitchHz() * 0.9);
    EXPECT_GT(low.medianPitchHz(), 0.0);
}

TEST_F(EngineTest, UserDictionaryChangesWhatIsSpoken) {
    loadToWav(kEnglish);
    EngineLibrary& engine = lib(kEnglish);
    const std::string dict = (s_dir / "dict.csv").string();
    std::ofstream(dict) << "# surface,replacement\n"
                           "cat,\"a remarkably long, winding and unexpected replacement\"\n"
                           "cats,dogs\n";
    const std::string text = "The cat sat on the mat.";
    const double plain = speak(engine, text).seconds();
    ASSERT_EQ(engine.loadDict(0, dict.c_str()), 1);
    const double replaced = speak(engine, text).seconds();
    EXPECT_GT(replaced, plain + 1.0);

    // A refused file leaves the loaded dictionary in use.
    const std::string bad = (s_dir / "bad.csv").string();
    std::ofstream(bad) << "cat\n";
    EXPECT_NE(engine.loadDict(0, bad.c_str()), 1);
    EXPECT_NEAR(speak(engine, text).seconds(), replaced, 0.3);

    engine.unloadDict(0);
    EXPECT_NEAR(speak(engine, text).seconds(), plain, 0.3);

    // Japanese: the replacement goes through the reading, so a kana reading works.
    loadToWav(kJapanese);
    EngineLibrary& japanese = lib(kJapanese);
    const std::string jdict = (s_dir / "jdict.csv").string();
    std::ofstream(jdict) << "猫,ながいながいながいなまえのどうぶつ\n";
    const double jplain = speak(japanese, encode("猫です。", "CP932")).seconds();
    ASSERT_EQ(japanese.loadDict(0, jdict.c_str()), 1);
    EXPECT_GT(speak(japanese, encode("猫です。", "CP932")).seconds(), jplain + 0.8);
    japanese.unloadDict(0);
}

TEST_F(EngineTest, RefusesMalformedDictionariesAndStaysUsable) {
    loadToWav(kEnglish);
    EngineLibrary& engine = lib(kEnglish);
    struct Case {
        const char* name;
        std::string content;
        bool accepted;
    };
    const Case cases[] = {
        {"empty", "", true},
        {"comments only", "# nothing\n\n# here\n", true},
        {"quoted comma and quotes", "\"a,b\",\"say \"\"ab\"\"\"\r\nx,y", true},
        {"unbalanced quote", "\"cat,dog\n", false},
        {"line without comma", "cat,dog\nbird\n", false},
        {"three fields", "cat,dog,bird\n", false},
        {"empty surface", ",dog\n", false},
        {"invalid UTF-8", "cat,d\xC3\x28og\n", false},
        {"text after quote", "\"cat\"x,dog\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (s_dir / "case.csv").string();
        std::ofstream(path, std::ios::binary) << c.content;
        EXPECT_EQ(engine.loadDict(0, path.c_str()) == 1, c.accepted);
    }
    EXPECT_NE(engine.loadDict(0, (s_dir / "no-such.csv").c_str()), 1);
    EXPECT_NE(engine.loadDict(0, s_dir.c_str()), 1) << "a directory";
    EXPECT_NE(engine.loadDict(0, nullptr), 1);
    {
        const std::string huge = (s_dir / "huge.csv").string();
        std::ofstream(huge) << "a,b\n";
        fs::resize_file(huge, 100u << 20);  // sparse: no 100 MB written
        EXPECT_NE(engine.loadDict(0, huge.c_str()), 1) << "100 MB file";
        fs::remove(huge);
    }
    EXPECT_GT(speak(engine, "Still speaking.").seconds(), 0.5);
}

TEST_F(EngineTest, UnspeakableTextNeverHangs) {
    std::mt19937 random(1234);
    std::string noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(random() % 255 + 1);
    const std::string texts[] = {
        "",
        "\x01\x02\x03\x1b[31m\x7f",
        "\xF0\x40\xF0\x41 \x81\x20 \xFF\xFE \x82",  // user-defined area, broken pairs
        std::string(3000, '.') + std::string(3000, ' ') + std::string(2000, '!'),
        std::string(5000, 'x'),
        noise,
    };
    for (auto& engine : s_libs) {
        loadToWav(engine->language());
        for (const std::string& text : texts) {
            engine->stop();
            engine->play(text);
            ASSERT_EQ(s_core->waitIdle(60000), 1) << engine->language().suffix;
        }
    }
    EXPECT_EQ(speak(lib(kEnglish), "").samples.size(), 0u) << "empty text leaves an empty file";
}

// An unassigned code point before an emoji (U+1FA18 U+1F43D) made libespeak-ng read freed
// memory, seen under the sanitizer build; every script reaches espeak-ng in some voice.
TEST_F(EngineTest, EmojiEspeakCannotSayNeverReachItInAnyLanguage) {
    for (auto& engine : s_libs) loadWith(engine->language(), "null");
    const std::string emoji = "\xF0\x9F\xA8\x98\xF0\x9F\x90\xBD";
    for (auto& engine : s_libs) {
        engine->playMixed("안녕하세요 " + emoji + " 감사합니다. 你好" + emoji + "。Hi " + emoji +
                              " there. こんにちは" + emoji + "。",
                          {{{100, 100, 100}, {100, 100, 100}, {100, 100, 100}, {100, 100, 100}}});
        ASSERT_EQ(s_core->waitIdle(60000), 1) << engine->language().suffix;
    }
}

TEST_F(EngineTest, WavFileHoldsTheLatestPlay) {
    loadToWav(kEnglish);
    loadToWav(kKorean);
    const std::string korean = encode("안녕하세요.", "CP949");
    const double alone = speak(lib(kKorean), korean).seconds();
    lib(kEnglish).play(longEnglish(40));
    lib(kKorean).play(korean);
    waitIdle();
    EXPECT_NEAR(readWav(s_wav).seconds(), alone, 0.1 * alone);
    lib(kEnglish).stop();
}

TEST_F(EngineTest, TenMegabyteTextPlaysInBoundedMemory) {
    loadWith(kEnglish, "null");
    EngineLibrary& engine = lib(kEnglish);
    std::string text;
    text.reserve(10u << 20);
    while (text.size() < (10u << 20)) text += longEnglish(100);
    engine.play(text);
    text.clear();
    text.shrink_to_fit();
    std::this_thread::sleep_for(500ms);
    const long early = residentKiB();
    std::this_thread::sleep_for(2000ms);
    const long later = residentKiB();
    EXPECT_EQ(s_core->waitIdle(10), 0) << "10 MB should still be speaking";
    EXPECT_LT(later - early, 8 * 1024) << "memory grows while a long text plays";
    engine.stop();
    waitIdle();
}

TEST_F(EngineTest, ThousandPlayStopPauseCycles) {
    for (auto& engine : s_libs) loadWith(engine->language(), "null");
    std::mt19937 random(42);
    const std::string texts[] = {encode(kSamples[0].utf8, "CP932"), kSamples[1].utf8,
                                 encode(kSamples[2].utf8, "CP936"),
                                 encode(kSamples[3].utf8, "CP949")};
    for (int cycle = 0; cycle < 1000; ++cycle) {
        const int which = static_cast<int>(random() % 4);
        EngineLibrary& engine = *s_libs[which];
        switch (random() % 6) {
            case 0:
            case 1:
                engine.stop();
                engine.play(texts[which], 50 + random() % 150, 50 + random() % 350, random() % 500);
                break;
            case 2:
                engine.stop();
                break;
            case 3:
                engine.pause();
                break;
            case 4:
                engine.restart();
                break;
            case 5:
                if (random() % 8 == 0) engine.unloadDict(0);
                break;
        }
        if (random() % 4 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 400));
    }
    for (auto& engine : s_libs) {
        engine->restart();
        engine->stop();
    }
    EXPECT_EQ(s_core->waitIdle(30000), 1) << "deadlocked";
    loadToWav(kEnglish);
    EXPECT_GT(speak(lib(kEnglish), "Still alive.").seconds(), 0.3);
}

// The segments of selvarine_synth_reading, one a line, joined by " | "; Japanese segments
// (Open JTalk's pronunciation) as "ja" alone, consecutive ones as one.
std::string routing(const std::string& reading) {
    std::istringstream lines(reading);
    std::string line, out;
    while (std::getline(lines, line)) {
        const std::string item = line.starts_with("ja\t") ? "ja" : line;
        if (item == "ja" && out.ends_with("ja")) continue;
        out += (out.empty() ? "" : " | ") + item;
    }
    return reading == "(failed)" ? reading : out;
}

// Characters of a kind in the text, or in the segments' texts of a reading.
std::size_t countOf(const std::string& utf8, bool (*is)(char32_t), bool reading = false) {
    if (reading) {
        std::istringstream lines(utf8);
        std::string line;
        std::size_t n = 0;
        while (std::getline(lines, line)) n += countOf(line.substr(line.find('\t') + 1), is);
        return n;
    }
    std::size_t n = 0;
    for (std::size_t i = 0, len = 0; i < utf8.size(); i += len) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = len == 1 ? b : b & (0x3F >> (len - 1));
        for (std::size_t k = 1; k < len; ++k) {
            const unsigned char next = i + k < utf8.size() ? utf8[i + k] : 0;
            if ((next & 0xC0) != 0x80) {  // malformed: the lead byte alone, no character
                len = 1;
                c = 0;
                break;
            }
            c = (c << 6) | (next & 0x3F);
        }
        n += is(c);
    }
    return n;
}
bool isHangulSyllable(char32_t c) {
    return c >= 0xAC00 && c <= 0xD7A3;
}
bool isAsciiLetter(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

TEST_F(EngineTest, MixedTextIsRoutedToEachScriptsLanguage) {
    for (auto& engine : s_libs) loadWith(engine->language(), "null");
    struct Row {
        int chosen;
        const char* text;
        const char* routed;
    };
    const int ja = kJapanese.number, en = kEnglish.number, zh = kChinese.number,
              ko = kKorean.number;
    const Row rows[] = {
        {ja, "ソウルの明洞で안녕하세요と言われた。", "ja | ko\t안녕하세요 | ja"},
        // Numbers and opening brackets go with the run they lead into.
        {ja, "店で3개를 샀다と言った。「안녕」と。",
         "ja | ko\t세 개를 샀다 | ja | ko\t「안녕」 | ja"},
        // Korean with hanja and English.
        {ko, "韓國語는 어렵다. I like it.", "zh\t韓國語 | ko\t는 어렵다. | en\tI like it."},
        {ko, "저는 iPhone을 샀어요.", "ko\t저는 iPhone을 샀어요."},
        {ja, "韓國語는 어렵다.", "ja | ko\t는 어렵다."},
        // Chinese with English and Japanese kana.
        {zh, "我买了iPhone 15。ひらがなは難しい。", "zh\t我买了 | en\tiPhone | zh\t十五。 | ja"},
        {en, "Tokyo is 東京. 東京タワーは高い。", "en\tTokyo is | zh\t東京. | ja"},
        {ja, "中文很好。", "ja"},
        // Scripts mixed inside one word; emoji, private-use and unassigned characters.
        {ko, "한漢국", "ko\t한 | zh\t漢 | ko\t국"},
        {ja, "アイXフォン", "ja | en\tX | ja"},
        {ko, "좋아요😀\xEE\x80\x80\xCD\xB8 네", "ko\t좋아요 활짝 웃는 얼굴  \xCD\xB8 네"},
        // The chosen language's text alone reads as it always has.
        {ko, "안녕하세요. 반갑습니다.", "ko\t안녕하세요. | ko\t반갑습니다."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(routing(s_core->reading(row.chosen, row.text)), row.routed);
    }

    // The chosen language's user dictionary applies first, to the whole text; each run's
    // own language's dictionary then applies to that run.
    const std::string jaDict = (s_dir / "ja.csv").string(), koDict = (s_dir / "ko.csv").string();
    std::ofstream(jaDict) << "안녕하세요,アンニョンハセヨ\n";
    std::ofstream(koDict) << "여러분,친구들\n";
    ASSERT_EQ(lib(kJapanese).loadDict(0, jaDict.c_str()), 1);
    ASSERT_EQ(lib(kKorean).loadDict(0, koDict.c_str()), 1);
    EXPECT_EQ(routing(s_core->reading(ja, "明洞で안녕하세요、여러분と言われた。")),
              "ja | ko\t친구들 | ja");
    lib(kJapanese).unloadDict(0);
    lib(kKorean).unloadDict(0);

    // A language whose engine did not start: its runs go to the chosen language's voice
    // (its espeak-ng form, which says Hangul in Korean where Open JTalk would skip it).
    lib(kKorean).unload(0);
    const std::string fallback = s_core->reading(ja, "明洞で안녕하세요と言われた。");
    EXPECT_NE(fallback.find("\nja\t안녕하세요\nja\t"), std::string::npos) << fallback;
    EXPECT_EQ(routing(s_core->reading(zh, "你好안녕")), "zh\t你好 | zh\t안녕");
    loadWith(kKorean, "null");
    (void)en;
}

TEST_F(EngineTest, MixedTextOfEveryScriptLosesNothingAndStopEndsIt) {
    for (auto& engine : s_libs) loadWith(engine->language(), "null");
    // Pieces of four scripts, private-use, unassigned (a nameless emoji, which adds no
    // letters as a named one would) and malformed bytes, joined at random: every Hangul
    // syllable and Latin letter reaches a voice, whatever the language.
    const std::string pieces[] = {"안녕",     "한",   "ひら",     "カナ",       "漢字",
                                  "中",       "ab",   "Q",        "\U0001FA18", "\xEE\x80\x80",
                                  "\xCD\xB8", "\xFF", "\xE3\x81", "、",         "。",
                                  " ",        ".",    "「",       "」"};
    std::mt19937 random(20);
    for (int round = 0; round < 12; ++round) {
        std::string text;
        while (text.size() < 120) text += pieces[random() % std::size(pieces)];
        for (const LanguageInfo* lang : kLanguages) {
            SCOPED_TRACE(lang->suffix + (": " + text));
            const std::string read = s_core->reading(lang->number, text);
            ASSERT_NE(read, "(failed)");
            EXPECT_EQ(countOf(read, isHangulSyllable, true), countOf(text, isHangulSyllable))
                << read;
            EXPECT_EQ(countOf(read, isAsciiLetter, true), countOf(text, isAsciiLetter)) << read;
        }
    }

    // 100 KB that changes script every few characters: stop ends it at once.
    std::string big;
    while (big.size() < 100 * 1024) big += pieces[random() % 9];
    for (auto& engine : s_libs) {
        engine->playMixed(big,
                          {{{100, 100, 100}, {100, 100, 100}, {100, 100, 100}, {100, 100, 100}}});
        std::this_thread::sleep_for(200ms);
        engine->stop();
        EXPECT_EQ(s_core->waitIdle(2000), 1) << engine->language().suffix;
    }
}

TEST_F(EngineTest, CopiedTextReachesTheVoicesAsAReaderSaysIt) {
    for (auto& engine : s_libs) loadWith(engine->language(), "null");
    std::ifstream corpus(std::string(SYNTH_CORPUS_DIR) + "/copied.tsv");
    ASSERT_TRUE(corpus);
    auto unescape = [](std::string text) {
        for (std::size_t at; (at = text.find("\\n")) != std::string::npos;)
            text.replace(at, 2, "\n");
        return text;
    };
    std::string line;
    int rows = 0;
    while (std::getline(corpus, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t tab = line.find('\t'), tab2 = line.find('\t', tab + 1);
        ASSERT_NE(tab2, std::string::npos) << line;
        const engine::LanguageInfo* lang = nullptr;
        for (const engine::LanguageInfo* l : kLanguages)
            if (line.compare(0, tab, l->code) == 0) lang = l;
        ASSERT_TRUE(lang) << line;
        std::string read =
            s_core->reading(lang->number, unescape(line.substr(tab + 1, tab2 - tab - 1)));
        if (!read.empty() && read.back() == '\n') read.pop_back();
        for (std::size_t at; (at = read.find('\n')) != std::string::npos;)
            read.replace(at, 1, " | ");
        EXPECT_EQ(read, line.substr(tab2 + 1)) << line;
        ++rows;
    }
    EXPECT_GE(rows, 10);
}

// The links option, as the toolbar's URL menu sets it: each row a language's voices with the
// URL said whole, as its domain, or left out (a sentence of a link alone then says nothing).
TEST_F(EngineTest, TheLinksOptionChoosesHowAUrlReachesTheVoices) {
    for (auto& engine : s_libs) loadWith(engine->language(), "null");
    struct Row {
        const engine::LanguageInfo* lang;
        const char* links;
        const char* text;
        const char* read;
    };
    const Row rows[] = {
        {&kEnglish, "all", "See https://www.example.com/docs/setup?id=42 now.",
         "en\tSee example.com slash docs slash setup question mark id equals 42 now."},
        {&kJapanese, "all", "詳細は https://example.com/docs を見て。",
         "ja\tショーサイワ　 | en\texample.com | ja\t　スラ'ッシュ　 | en\tdocs | ja\t　オ/ミ'テ。"},
        {&kChinese, "all", "详情见 https://example.cn/a?b=1 。",
         "zh\t详情见  | en\texample.cn | zh\t斜杠  | en\ta | zh\t问号  | en\tb | zh\t等于 一 。"},
        {&kKorean, "all", "내용은 https://example.kr/a 참고.", "ko\t내용은 example.kr 슬래시 a 참고."},
        {&kEnglish, "domain", "See https://example.com/a now.", "en\tSee link to example.com now."},
        {&kKorean, "none", "내용은 https://example.kr/a 참고.", "ko\t내용은  참고."},
        {&kJapanese, "none", "https://example.com/a", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.links) + " " + row.text);
        ASSERT_EQ(lib(*row.lang).setOption("links", row.links), 1);
        std::string read = s_core->reading(row.lang->number, row.text);
        if (!read.empty() && read.back() == '\n') read.pop_back();
        for (std::size_t at; (at = read.find('\n')) != std::string::npos;)
            read.replace(at, 1, " | ");
        EXPECT_EQ(read, row.read);
    }
    EXPECT_EQ(lib(kEnglish).setOption("links", "some"), 0);
    for (auto& engine : s_libs) engine->setOption("links", "domain");
}

TEST_F(EngineTest, AWrappedParagraphSoundsAsItsUnwrappedSelf) {
    loadToWav(kEnglish);
    loadToWav(kJapanese);
    const std::pair<EngineLibrary*, std::string> texts[] = {
        {&lib(kEnglish),
         "The committee will meet on Tuesday to discuss\nthe budget for the coming year and the "
         "plans\nfor the new building."},
        {&lib(kJapanese), "今日は会議があり、\n午後から大阪に移動する予定です。"},
    };
    for (const auto& [engine, wrapped] : texts) {
        SCOPED_TRACE(wrapped);
        std::string unwrapped = wrapped;
        for (std::size_t at; (at = unwrapped.find('\n')) != std::string::npos;)
            unwrapped.replace(at, 1, engine == &lib(kEnglish) ? " " : "");
        const std::string encoding = "CP" + std::to_string(engine->language().codePage);
        const double joined = speak(*engine, encode(unwrapped, encoding.c_str())).seconds();
        ASSERT_GT(joined, 1.0);
        EXPECT_NEAR(speak(*engine, encode(wrapped, encoding.c_str())).seconds(), joined,
                    0.03 * joined);
    }
}

TEST_F(EngineTest, MixedTextPlaysAsOneReadingWithEachLanguagesSettings) {
    for (auto& engine : s_libs) loadToWav(engine->language());
    EngineLibrary& japanese = lib(kJapanese);
    const std::string korean = "안녕하세요, 여러분. 오늘은 날씨가 좋습니다.";
    auto mixed = [&](const std::string& text, int jaVolume, int koVolume, int koSpeed = 100) {
        japanese.stop();
        japanese.playMixed(
            text,
            {{{100, 100, jaVolume}, {100, 100, 100}, {100, 100, 100}, {100, koSpeed, koVolume}}});
        EXPECT_EQ(s_core->waitIdle(60000), 1);
        return readWav(s_wav);
    };
    // The Korean run is read by the Korean voice with Korean settings, resampled into the
    // Japanese engine's audio.
    const double alone = speak(lib(kKorean), encode(korean, "CP949")).seconds();
    const Pcm heard = mixed(korean, 0, 100);
    EXPECT_EQ(heard.rate, 24000);
    EXPECT_NEAR(heard.seconds(), alone, 0.1 * alone);
    EXPECT_GT(heard.rms(), 300.0) << "Japanese volume 0 silenced a Korean run";
    EXPECT_LT(mixed(korean, 100, 0).rms(), 1.0) << "Korean volume 0 not applied";
    EXPECT_LT(mixed(korean, 100, 100, 200).seconds(), 0.7 * alone) << "Korean speed";

    // Pause, resume and stop act on the whole reading, whichever voice speaks.
    std::string text;
    // Each sentence its own, or the voice would say the repeats from memory at once.
    for (int i = 0; i < 20; ++i)
        text += "ソウルの明洞で" + korean + "と" + std::to_string(i + 1) + "回言われた。";
    const double full = mixed(text, 100, 100).seconds();
    fs::remove(s_wav);
    japanese.playMixed(text,
                       {{{100, 100, 100}, {100, 100, 100}, {100, 100, 100}, {100, 100, 100}}});
    for (int i = 0; i < 10000 && fileSize(s_wav) <= 44; ++i) std::this_thread::sleep_for(1ms);
    japanese.pause();
    std::this_thread::sleep_for(300ms);
    const long held = fileSize(s_wav);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(fileSize(s_wav), held) << "speech went on while paused";
    lib(kKorean).restart();  // another engine's resume leaves this reading paused
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(fileSize(s_wav), held);
    japanese.restart();
    waitIdle();
    EXPECT_NEAR(readWav(s_wav).seconds(), full, 0.03 * full) << "resume did not continue";
    EXPECT_NE(s_core->runLateNs(kJapanese.number), INT64_MIN) << "no handover seen";

    japanese.playMixed(text,
                       {{{100, 100, 100}, {100, 100, 100}, {100, 100, 100}, {100, 100, 100}}});
    std::this_thread::sleep_for(200ms);
    japanese.stop();
    waitIdle();
    EXPECT_LT(readWav(s_wav).seconds(), full / 2) << "stop did not end the reading";

    // Sentence moves and the heard position follow the runs: offsets are into the whole text.
    // The Korean run is long enough for the pause to catch it before the file sink, which
    // writes as fast as it can, has it all.
    const std::string twoRuns = "ソウルの明洞で言われた。" + korean + korean + korean;
    const std::size_t second = twoRuns.find(korean);
    mixed(twoRuns, 100, 100);
    fs::remove(s_wav);
    ASSERT_EQ(japanese.playFrom(static_cast<int>(second)), 1);
    for (int i = 0; i < 10000 && fileSize(s_wav) <= 44; ++i) std::this_thread::sleep_for(1ms);
    japanese.pause();
    std::this_thread::sleep_for(300ms);
    VtPosition pos{};
    char sentence[256] = "";
    ASSERT_EQ(japanese.getPosition(&pos, sentence, sizeof sentence), 1);
    // Whichever Korean sentence the pause caught (the file sink writes as fast as it can).
    EXPECT_GE(pos.sentenceStart, static_cast<int>(second));
    EXPECT_EQ(twoRuns.substr(pos.sentenceStart, pos.sentenceEnd - pos.sentenceStart), sentence);
    japanese.restart();
    waitIdle();
    EXPECT_NEAR(readWav(s_wav).seconds(), 3 * alone, 0.3 * alone) << "the jump read the Korean run";
}

// A save writes what a play would have played, for every voice and format, and nothing else.
TEST_F(EngineTest, SavedFilesLastAsLongAsThePlay) {
    const fs::path dir = s_dir / "saved";
    fs::create_directories(dir);
    const struct {
        int format;
        const char* extension;
    } formats[] = {{VT_SAVE_FLAC, ".flac"},
                   {VT_SAVE_WAV, ".wav"},
                   {VT_SAVE_OGG_VORBIS, ".ogg"},
                   {VT_SAVE_MP3, ".mp3"}};
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.lang->suffix);
        EngineLibrary& engine = lib(*sample.lang);
        loadToWav(*sample.lang);
        const std::string text = encode(sample.utf8 + sample.utf8, sample.encoding);
        const Pcm played = speak(engine, text, 100, 130, 100);
        ASSERT_GT(played.seconds(), 1.0);
        // Every format for one voice; FLAC, as lossless as WAV, for the others.
        for (const auto& f : formats) {
            if (f.format != VT_SAVE_FLAC && sample.lang != &kEnglish) continue;
            SCOPED_TRACE(f.extension);
            const std::string path = (dir / (sample.lang->suffix + std::string(f.extension)));
            ASSERT_EQ(engine.save(text.c_str(), 100, 130, 100, path.c_str(), f.format),
                      VT_SAVE_RUNNING);
            int permille = -1;
            EXPECT_EQ(finishSave(engine), VT_SAVE_DONE);
            EXPECT_EQ(engine.saveStatus(&permille), VT_SAVE_DONE);
            EXPECT_EQ(permille, 1000);
            int rate = 0;
            EXPECT_NEAR(soundFileSeconds(path, &rate), played.seconds(), 0.02 * played.seconds());
            EXPECT_EQ(rate, played.rate);
        }
    }
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"CHI.flac", "ENG.flac", "ENG.mp3", "ENG.ogg",
                                                      "ENG.wav", "JPN.flac", "KOR.flac"}))
        << "only the saved files, no temporary ones";
    fs::remove_all(dir);
}

// Cancelled, refused or failed, a save leaves no file of its own, and the file it was to
// replace stays as it was. A megabyte of text streams to the file in bounded memory.
TEST_F(EngineTest, AStoppedOrFailedSaveLeavesNoFile) {
    const fs::path dir = s_dir / "cancelled";
    fs::create_directories(dir);
    const std::string keep = (dir / "keep.flac").string();
    std::ofstream(keep) << "old";
    loadWith(kEnglish, "null");
    EngineLibrary& engine = lib(kEnglish);
    std::string text;
    while (text.size() < (1u << 20)) text += longEnglish(100);

    ASSERT_EQ(engine.save(text.c_str(), 100, 100, 100, keep.c_str(), VT_SAVE_FLAC),
              VT_SAVE_RUNNING);
    std::this_thread::sleep_for(500ms);
    [[maybe_unused]] const long early = residentKiB();
    std::this_thread::sleep_for(2000ms);
#ifndef __SANITIZE_ADDRESS__  // its quarantine keeps the encoders' freed blocks resident
    EXPECT_LT(residentKiB() - early, 8 * 1024) << "memory grows while a long text is saved";
#endif
    int permille = -1;
    EXPECT_EQ(engine.saveStatus(&permille), VT_SAVE_RUNNING);
    EXPECT_GE(permille, 0);
    EXPECT_LT(permille, 100);
    engine.stop();
    EXPECT_EQ(engine.saveStatus(nullptr), VT_SAVE_CANCELLED);

    // A play in its place ends it as a stop does.
    ASSERT_EQ(engine.save(text.c_str(), 100, 100, 100, keep.c_str(), VT_SAVE_WAV), VT_SAVE_RUNNING);
    engine.play("Something else.");
    EXPECT_EQ(engine.saveStatus(nullptr), VT_SAVE_CANCELLED);
    waitIdle();

    EXPECT_EQ(engine.save("Hi.", 100, 100, 100, (dir / "none/x.wav").c_str(), VT_SAVE_WAV),
              VT_SAVE_CANNOT_CREATE);
    EXPECT_EQ(engine.save("Hi.", 100, 100, 100, (dir / "x.aiff").c_str(), 99), VT_SAVE_BAD_FORMAT);
    engine.unload(kEnglish.speaker);
    EXPECT_EQ(engine.save("Hi.", 100, 100, 100, (dir / "x.wav").c_str(), VT_SAVE_WAV),
              VT_SAVE_NOT_LOADED);
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"keep.flac"});
    std::ifstream in(keep);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");

    // A full disk, whatever the encoder does with its failed writes; and a read-only one.
    if (!s_privateMounts) GTEST_SKIP() << "no mount namespace of our own (not root?)";
    const fs::path small = s_dir / "small";
    fs::create_directories(small);
    ASSERT_EQ(::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=48k"), 0);
    loadWith(kEnglish, "null");
    const std::string some = longEnglish(60);
    for (int format : {VT_SAVE_WAV, VT_SAVE_FLAC, VT_SAVE_OGG_VORBIS, VT_SAVE_MP3}) {
        SCOPED_TRACE(format);
        ASSERT_EQ(engine.save(some.c_str(), 100, 100, 100, (small / "full").c_str(), format),
                  VT_SAVE_RUNNING);
        EXPECT_EQ(finishSave(engine), VT_SAVE_DISK_FULL);
        EXPECT_TRUE(namesIn(small).empty());
    }
    ASSERT_EQ(::mount(nullptr, small.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_EQ(engine.save("Hi.", 100, 100, 100, (small / "x.wav").c_str(), VT_SAVE_WAV),
              VT_SAVE_CANNOT_CREATE);
    ::umount2(small.c_str(), MNT_DETACH);
    fs::remove_all(dir);
}

}  // namespace
