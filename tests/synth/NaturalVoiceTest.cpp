// The natural voices through the engine libraries: pitch accent that a pitch track hears,
// stop that ends the synthesis program at once, and espeak-ng taking over from a voice
// that cannot speak.

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "tests/synth/EngineLibrary.h"

namespace fs = std::filesystem;
using namespace synthtest;
using namespace std::chrono_literals;

namespace {

const std::string kProgramDir = SYNTH_PROGRAM_DIR;

// Pitch of each voiced 30 ms frame (10 ms apart) between lo and hi Hz: the lag of the
// strongest normalised autocorrelation, the frame unvoiced when that is weak or at the edge
// of the range (an octave error or creak).
std::vector<double> pitchTrack(const Pcm& pcm, double lo, double hi) {
    const std::size_t frame = pcm.rate * 3 / 100, hop = pcm.rate / 100;
    const std::size_t minLag = static_cast<std::size_t>(pcm.rate / hi),
                      maxLag = static_cast<std::size_t>(pcm.rate / lo);
    std::vector<double> track;
    for (std::size_t at = 0; at + frame + maxLag <= pcm.samples.size(); at += hop) {
        const int16_t* x = pcm.samples.data() + at;
        double energy = 0;
        for (std::size_t k = 0; k < frame; ++k) energy += double(x[k]) * x[k];
        if (std::sqrt(energy / frame) < 500) continue;
        double best = 0;
        std::size_t bestLag = 0;
        for (std::size_t lag = minLag; lag <= maxLag; ++lag) {
            double sum = 0, shifted = 0;
            for (std::size_t k = 0; k < frame; ++k) {
                sum += double(x[k]) * x[k + lag];
                shifted += double(x[k + lag]) * x[k + lag];
            }
            const double r = sum / std::sqrt(energy * shifted + 1);
            if (r > best) best = r, bestLag = lag;
        }
        if (best > 0.6 && bestLag > minLag && bestLag < maxLag)
            track.push_back(double(pcm.rate) / bestLag);
    }
    return track;
}

// How far the pitch moves across the word: the mean of the last 40% of voiced frames over
// the mean of the first 40%, minus one. The range is fitted to the voice first.
double pitchRise(const Pcm& pcm) {
    std::vector<double> wide = pitchTrack(pcm, 60, 600);
    if (wide.size() < 5) return 0;
    std::nth_element(wide.begin(), wide.begin() + wide.size() / 2, wide.end());
    const double median = wide[wide.size() / 2];
    const std::vector<double> track = pitchTrack(pcm, 0.6 * median, 1.6 * median);
    if (track.size() < 10) return 0;
    const std::size_t part = track.size() * 2 / 5;
    double head = 0, tail = 0;
    for (std::size_t i = 0; i < part; ++i) head += track[i], tail += track[track.size() - 1 - i];
    return tail / head - 1;
}

std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> children;
    std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), &closedir);
    while (dirent* entry = readdir(proc.get())) {
        const pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto paren = line.rfind(')');
        if (paren == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(line.c_str() + paren + 1, " %c %d", &state, &ppid) == 2 && ppid == parent)
            children.push_back(pid);
    }
    return children;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class NaturalVoiceTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/synth-natural-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        s_dir = pattern;
        s_wav = (s_dir / "out.wav").string();
        setenv("SELVARINE_AUDIO", ("wav:" + s_wav).c_str(), 1);
        s_jpn = std::make_unique<EngineLibrary>(SYNTH_MODULE_DIR, kJapanese);
        s_core = std::make_unique<CoreProbe>(SYNTH_CORE_PATH);
        void* core = dlopen(SYNTH_CORE_PATH, RTLD_NOW | RTLD_NOLOAD);
        s_reading = reinterpret_cast<int (*)(int, const char*, char*, int)>(
            dlsym(core, "selvarine_synth_reading"));
        dlclose(core);
    }
    static void TearDownTestSuite() {
        s_jpn->unload(0);
        fs::remove_all(s_dir);
    }

  protected:
    // A private copy of the Japanese engine directory, its voice.conf edited by `edit`.
    static std::string engineCopy(const std::string& name,
                                  const std::function<void(std::string&)>& edit = {}) {
        const fs::path source = s_jpn->engineDir(kProgramDir), dir = s_dir / name;
        fs::create_directories(dir);
        std::string conf = readFile((source / "voice.conf").string());
        if (edit) edit(conf);
        std::ofstream(dir / "voice.conf") << conf;
        fs::copy_file(source / "mei_normal.htsvoice", dir / "mei_normal.htsvoice",
                      fs::copy_options::overwrite_existing);
        return dir.string();
    }
    static Pcm speak(const std::string& utf8) {
        s_jpn->stop();
        s_jpn->play(encode(utf8, "CP932"));
        EXPECT_EQ(s_core->waitIdle(60000), 1);
        return readWav(s_wav);
    }
    static std::string reading(int language, const std::string& utf8) {
        static char out[1 << 20];
        const int n = s_reading(language, utf8.c_str(), out, sizeof out);
        return n < 0 ? "(failed)" : std::string(out, n);
    }
    // Loads from `dir` with SELVARINE_VERBOSE on; what the engine said on stderr.
    static std::string loadVerbose(const std::string& dir, short* status,
                                   const std::function<void()>& then = {}) {
        const std::string errPath = (s_dir / "stderr.txt").string();
        setenv("SELVARINE_VERBOSE", "1", 1);
        std::fflush(stderr);
        const int saved = dup(2);
        EXPECT_NE(std::freopen(errPath.c_str(), "w", stderr), nullptr);
        *status = s_jpn->loadFrom(dir);
        if (then) then();
        std::fflush(stderr);
        dup2(saved, 2);
        close(saved);
        unsetenv("SELVARINE_VERBOSE");
        return readFile(errPath);
    }

    static inline fs::path s_dir;
    static inline std::string s_wav;
    static inline std::unique_ptr<EngineLibrary> s_jpn;
    static inline std::unique_ptr<CoreProbe> s_core;
    static inline int (*s_reading)(int, const char*, char*, int) = nullptr;
};

// 秋 (アキ, accent on the first mora) falls or stays level; 空き (アキ, flat) rises. Words with
// a devoiced last vowel (橋/箸) would hide the second mora from a pitch track.
TEST_F(NaturalVoiceTest, PitchAccentIsHeard) {
    auto heard = [&](const std::string& dir) {
        EXPECT_EQ(s_jpn->loadFrom(dir), 0);
        const double headHigh = pitchRise(speak("秋")), lowHigh = pitchRise(speak("空き"));
        std::printf("%s: 秋 %+.2f, 空き %+.2f\n", dir.c_str(), headHigh, lowHigh);
        return headHigh < 0.05 && lowHigh > 0.10 && lowHigh - headHigh > 0.2;
    };
    EXPECT_TRUE(heard(s_jpn->engineDir(kProgramDir))) << "Open JTalk with Mei";
    EXPECT_FALSE(heard(engineCopy("espeak", [](std::string& conf) {
        conf.replace(conf.find("backend = openjtalk"), 19, "backend = espeak");
    }))) << "espeak-ng has no pitch accent";

    ASSERT_EQ(s_jpn->loadFrom(s_jpn->engineDir(kProgramDir)), 0);
    EXPECT_EQ(reading(kJapanese.number, "橋"), "ja\tハシ'\n");
    EXPECT_EQ(reading(kJapanese.number, "箸"), "ja\tハ'シ\n");
    EXPECT_EQ(reading(kJapanese.number, "iPhoneを買った。"), "en\tiPhone\nja\tオ/カッタ'。\n")
        << "Latin runs go to the English voice";
    EXPECT_EQ(reading(kJapanese.number, std::string(5000, 'x')).find("(failed)"),
              std::string::npos);
    char tiny[4];
    EXPECT_EQ(s_reading(kJapanese.number, "今日は晴れです。", tiny, sizeof tiny), -1);
    EXPECT_EQ(s_reading(3, "x", tiny, sizeof tiny), -1);
}

// flite registers a voice once per process: the English engine loaded after the Japanese
// one must not take the Japanese engine's Latin runs' audio away.
TEST_F(NaturalVoiceTest, LatinRunsAreHeardBesideTheEnglishEngine) {
    ASSERT_EQ(s_jpn->loadFrom(s_jpn->engineDir(kProgramDir)), 0);
    EngineLibrary english(SYNTH_MODULE_DIR, kEnglish);
    ASSERT_EQ(english.loadFrom(english.engineDir(kProgramDir)), 0);
    const Pcm pcm = speak("Hello, this is a short English sample.");
    EXPECT_GT(pcm.seconds(), 1.0);
    EXPECT_GT(pcm.rms(), 300.0) << "the Latin run was silent";
    english.unload(0);
}

TEST_F(NaturalVoiceTest, StopEndsTheSynthesisProgramAndItsAudioAtOnce) {
    ASSERT_EQ(s_jpn->loadFrom(s_jpn->engineDir(kProgramDir)), 0);
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "東京の天気は雨のち曇りで、明日の最高気温は二十五度の予想です。";
    s_jpn->play(encode(text, "CP932"));
    bool sawChild = false;
    for (auto until = std::chrono::steady_clock::now() + 5s;
         !sawChild && std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(1ms))
        sawChild = !childrenOf(getpid()).empty();
    ASSERT_TRUE(sawChild) << "speech runs the synthesis program";
    std::this_thread::sleep_for(300ms);
    const auto stopCall = std::chrono::steady_clock::now();
    s_jpn->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopCall, 5ms) << "stop returns at once";
    std::this_thread::sleep_for(30ms);
    EXPECT_TRUE(childrenOf(getpid()).empty()) << "no program left 30 ms after stop";
    const long size = fileSize(s_wav);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(fileSize(s_wav), size) << "no audio after stop";
    EXPECT_EQ(s_core->waitIdle(1000), 1);
    // Nor after a reading that ends, though each clause starts the next one's program.
    speak("今日は雨です。明日は晴れです。");
    std::this_thread::sleep_for(30ms);
    EXPECT_TRUE(childrenOf(getpid()).empty()) << "a program outlived the reading";
}

TEST_F(NaturalVoiceTest, EspeakSpeaksWhenTheNaturalVoiceCannot) {
    // A voice found wanting at load leaves the engine to espeak-ng at its own rate, with one
    // line; one that fails while speaking is resampled into the sink it opened, with a second.
    struct Case {
        const char* name;
        std::function<void(const std::string& dir)> damage;
        std::function<void(std::string&)> edit;
        const char* why;  // in the verbose lines
        int rate, lines;
    };
    const std::string voice = "/mei_normal.htsvoice";
    const Case cases[] = {
        {"missing",
         [&](const std::string& d) { fs::remove(d + voice); },
         {},
         "no voice file",
         22050,
         1},
        {"truncated",
         [&](const std::string& d) { fs::resize_file(d + voice, 400000); },
         {},
         "checksum",
         22050,
         1},
        {"one byte changed",
         [&](const std::string& d) {
             std::fstream f(d + voice, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(500000);
             f.put('\x5a');
         },
         {},
         "checksum",
         22050,
         1},
        {"no dictionary",
         {},
         [](std::string& c) { c += "openjtalk-dictionary = /nonexistent\n"; },
         "dictionary",
         22050,
         1},
        {"failing program",
         {},
         [](std::string& c) { c += "openjtalk-program = /bin/false\n"; },
         "failed; espeak-ng speaks",
         24000,
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = engineCopy(std::string("fallback-") + c.name, c.edit);
        if (c.damage) c.damage(dir);
        short status = -1;
        Pcm pcm;
        const std::string err = loadVerbose(dir, &status, [&] { pcm = speak("秋の空です。"); });
        EXPECT_EQ(status, 0);
        EXPECT_NE(err.find(c.why), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), c.lines) << err;
        EXPECT_EQ(pcm.rate, c.rate);
        EXPECT_GT(pcm.seconds(), 0.5) << "espeak-ng spoke";
        EXPECT_GT(pcm.rms(), 300.0);
        EXPECT_TRUE(childrenOf(getpid()).empty());
    }
}

}  // namespace
