// A sound server that hangs (stopped with SIGSTOP) must not hold up loading or the controls:
// they are called on the toolbar's thread. Speech reaches the server once it answers again.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/synth/EngineLibrary.h"

using namespace synthtest;
namespace fs = std::filesystem;

namespace {

bool WaitFor(const std::function<bool()>& done, int ms) {
    for (int i = 0; i < ms / 20; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

}  // namespace

TEST(StoppedSoundServer, LoadingAndControlsDoNotWaitForItAndSpeechFollowsItsReturn) {
    const fs::path dir = fs::temp_directory_path() / ("synth-stopped-" + std::to_string(getpid()));
    fs::create_directories(dir / "home");
    fs::permissions(dir, fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("HOME", (dir / "home").c_str(), 1);
    unsetenv("PULSE_SERVER");
    unsetenv("SELVARINE_AUDIO");
    const pid_t server = fork();
    if (server == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        freopen("/dev/null", "w", stderr);
        execlp("pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
               "--disallow-exit", "-L", "module-native-protocol-unix", "-L",
               "module-null-sink sink_name=rec", nullptr);
        _exit(127);
    }
    if (!WaitFor([] { return Shell("pactl info") == 0; }, 10000)) {
        kill(server, SIGKILL);
        waitpid(server, nullptr, 0);
        GTEST_SKIP() << "no PulseAudio server could be started";
    }
    kill(server, SIGSTOP);

    EngineLibrary english(SYNTH_MODULE_DIR, kEnglish);
    EngineLibrary korean(SYNTH_MODULE_DIR, kKorean);
    std::atomic<bool> done{false};
    short englishStatus = -1, koreanStatus = -1;
    std::thread toolbar([&] {
        englishStatus = english.loadFrom(english.engineDir(SYNTH_PROGRAM_DIR));
        koreanStatus = korean.loadFrom(korean.engineDir(SYNTH_PROGRAM_DIR));
        for (int i = 0; i < 20; ++i) {
            english.play("Waiting for the server.");
            english.pause();
            english.restart();
            korean.stop();
            english.stop();
        }
        english.play("Spoken once the server answers.");
        done = true;
    });
    // Before, each load waited seconds for the server (tens of seconds in all).
    EXPECT_TRUE(WaitFor([&] { return done.load(); }, 1500));
    kill(server, SIGCONT);
    toolbar.join();
    EXPECT_EQ(englishStatus, 0);
    EXPECT_EQ(koreanStatus, 0);
    EXPECT_TRUE(WaitFor([] { return Shell("pactl list short sink-inputs | grep -q .") == 0; }, 10000))
        << "no stream reached the server after it answered again";

    english.unload(0);
    korean.unload(10);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    fs::remove_all(dir);
}
