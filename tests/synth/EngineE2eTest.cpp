// End to end: the English engine speaks through a PulseAudio daemon of the test's own with
// a null sink whose monitor parec records; play, pause, resume and stop are checked on the
// recording's timeline. Every process started here is ended by its PID.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/synth/EngineLibrary.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace synthtest;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 22050;

pid_t spawn(const std::vector<std::string>& argv, const std::string& stdoutPath = "/dev/null") {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int run(const std::vector<std::string>& argv) {
    const pid_t pid = spawn(argv);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void end(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

// Active stretches of a recording: loud 20 ms windows joined across gaps shorter than
// `joinGap` seconds.
std::vector<std::pair<double, double>> activeStretches(const Pcm& pcm, double joinGap) {
    std::vector<std::pair<double, double>> out;
    const std::size_t w = kRate / 50;
    for (std::size_t i = 0; i + w <= pcm.samples.size(); i += w) {
        double sum = 0;
        for (std::size_t k = i; k < i + w; ++k) sum += double(pcm.samples[k]) * pcm.samples[k];
        if (std::sqrt(sum / w) < 300) continue;
        const double t = double(i) / kRate;
        if (!out.empty() && t - out.back().second <= joinGap)
            out.back().second = t + 0.02;
        else
            out.push_back({t, t + 0.02});
    }
    return out;
}

class EngineE2eTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("synth-e2e-" + std::to_string(getpid()));
        fs::create_directories(m_dir / "run");
        fs::create_directories(m_dir / "home");
        fs::permissions(m_dir / "run", fs::perms::owner_all, fs::perm_options::replace);
        setenv("XDG_RUNTIME_DIR", (m_dir / "run").c_str(), 1);
        setenv("HOME", (m_dir / "home").c_str(), 1);
        unsetenv("PULSE_SERVER");
        unsetenv("SELVARINE_AUDIO");
        m_recording = (m_dir / "rec.raw").string();
        startServerAndRecording(m_recording);
    }

    void startServerAndRecording(const std::string& recording) {
        m_pulse =
            spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                   "-L", "module-native-protocol-unix", "-L", "module-null-sink sink_name=rec"});
        ASSERT_GT(m_pulse, 0) << "cannot start pulseaudio";
        bool up = false;
        for (int i = 0; i < 200 && !up; ++i) {
            up = run({"pactl", "info"}) == 0;
            if (!up) std::this_thread::sleep_for(50ms);
        }
        ASSERT_TRUE(up) << "pulseaudio did not come up";
        ASSERT_EQ(run({"pactl", "set-default-sink", "rec"}), 0);
        m_parec = spawn({"parec", "-d", "rec.monitor", "--latency-msec=10", "--format=s16le",
                         "--rate=22050", "--channels=1"},
                        recording);
        ASSERT_GT(m_parec, 0);
        // Until a low-latency client listens, the null sink renders about 2 s ahead: a new
        // stream starts up to 1.7 s late and a fresh recording misses its first 2 s.
        std::this_thread::sleep_for(3s);
    }

    void TearDown() override {
        end(m_parec);
        end(m_pulse);
        fs::remove_all(m_dir);
    }

    // Seconds of speech for the text by the espeak-ng command line at the normal rate.
    double referenceSeconds(const std::string& text) {
        const std::string wav = (m_dir / "ref.wav").string();
        EXPECT_EQ(run({"espeak-ng", "-v", "en-us", "-w", wav, text}), 0);
        return readWav(wav).seconds();
    }

    fs::path m_dir;
    std::string m_recording;
    pid_t m_pulse = -1;
    pid_t m_parec = -1;
};

TEST_F(EngineE2eTest, SpeaksPausesResumesAndStopsThroughTheSoundServer) {
    const std::string shortText = "The quick brown fox jumps over the lazy dog.";
    std::string longText;
    for (int i = 0; i < 20; ++i) longText += "This long text keeps on talking for quite a while. ";
    const double expected = referenceSeconds(shortText);

    EngineLibrary engine(SYNTH_MODULE_DIR, kEnglish);
    CoreProbe core(SYNTH_CORE_PATH);
    ASSERT_EQ(engine.loadFrom(engine.engineDir(SYNTH_PROGRAM_DIR)), 0);

    const auto t0 = std::chrono::steady_clock::now();
    engine.stop();
    engine.play(shortText);
    std::this_thread::sleep_until(t0 + 5s);
    engine.stop();
    engine.play(longText);  // B starts 5.0 s after A
    std::this_thread::sleep_until(t0 + 6500ms);
    engine.pause();  // B + 1.5 s
    std::this_thread::sleep_until(t0 + 9s);
    engine.restart();  // B + 4.0 s
    std::this_thread::sleep_until(t0 + 10500ms);
    engine.stop();                            // B + 5.5 s
    std::this_thread::sleep_until(t0 + 14s);  // parec loses its last ~2 s when stopped
    end(m_parec);

    const Pcm pcm = readRaw(m_recording, kRate);
    const auto stretches = activeStretches(pcm, 0.8);
    for (auto [from, to] : stretches) std::printf("speech %.2f .. %.2f s\n", from, to);
    ASSERT_GE(stretches.size(), 3u) << "expected A, B before the pause and B after it";
    const double a = stretches[0].first;
    SCOPED_TRACE("A starts at " + std::to_string(a) + " s of the recording");
    EXPECT_NEAR(stretches[0].second - a, expected, 0.25 * expected + 0.2) << "A's length";
    EXPECT_NEAR(stretches[1].first - a, 5.0, 0.5) << "B's start";
    EXPECT_NEAR(stretches[1].second - a, 6.5, 0.4) << "pause took effect";
    EXPECT_NEAR(stretches[2].first - a, 9.0, 0.4) << "resume took effect";
    EXPECT_NEAR(stretches.back().second - a, 10.5, 0.4) << "stop took effect";
    EXPECT_GT(pcm.rms(), 100.0);

    // The server goes away: the engine stays loaded, plays nothing and never hangs.
    end(m_pulse);
    engine.play("Nobody is listening now.");
    EXPECT_EQ(core.waitIdle(30000), 1);
    engine.pause();
    engine.restart();
    engine.stop();
    engine.unload(0);
}

// A reading paused when the server dies says the interrupted sentence again, and the rest,
// once the server is back: the resumed reading is as long as a fresh reading of the same.
TEST_F(EngineE2eTest, APausedReadingOutlivesTheSoundServerAndResumesItsSentence) {
    const std::string opening = "Yes. ";
    const std::string rest =
        "This second sentence is long enough to be paused in its middle without doubt. "
        "And here it ends.";
    EngineLibrary engine(SYNTH_MODULE_DIR, kEnglish);
    ASSERT_EQ(engine.loadFrom(engine.engineDir(SYNTH_PROGRAM_DIR)), 0);

    engine.play(opening + rest);
    std::this_thread::sleep_for(2500ms);  // inside the second sentence
    engine.pause();
    std::this_thread::sleep_for(500ms);
    end(m_parec);
    end(m_pulse);
    std::this_thread::sleep_for(1s);
    const std::string after = (m_dir / "after.raw").string();
    startServerAndRecording(after);
    engine.restart();
    std::this_thread::sleep_for(9s);
    engine.play(rest);
    std::this_thread::sleep_for(9s);
    end(m_parec);

    const auto stretches = activeStretches(readRaw(after, kRate), 0.8);
    for (auto [from, to] : stretches) std::printf("speech %.2f .. %.2f s\n", from, to);
    ASSERT_EQ(stretches.size(), 2u) << "expected the resumed reading, then the fresh one";
    const double resumed = stretches[0].second - stretches[0].first;
    const double fresh = stretches[1].second - stretches[1].first;
    EXPECT_NEAR(resumed, fresh, 0.12 * fresh) << "the resumed reading starts its sentence again";
    engine.unload(0);
}

}  // namespace
