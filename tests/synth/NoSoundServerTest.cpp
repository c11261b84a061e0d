// Without a sound server the engine still loads, says so once on stderr and plays nothing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/synth/EngineLibrary.h"

using namespace synthtest;

TEST(NoSoundServer, EngineLoadsWarnsOnceAndStaysUsable) {
    const std::string dir =
        std::filesystem::temp_directory_path() / ("synth-noserver-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + dir + "/no-such-socket").c_str(), 1);
    unsetenv("SELVARINE_AUDIO");

    const std::string errPath = dir + "/stderr.txt";
    fflush(stderr);
    const int savedErr = dup(2);
    FILE* capture = freopen(errPath.c_str(), "w", stderr);
    ASSERT_NE(capture, nullptr);

    EngineLibrary english(SYNTH_MODULE_DIR, kEnglish);
    EngineLibrary korean(SYNTH_MODULE_DIR, kKorean);
    CoreProbe core(SYNTH_CORE_PATH);
    const short englishStatus = english.loadFrom(english.engineDir(SYNTH_PROGRAM_DIR));
    const short koreanStatus = korean.loadFrom(korean.engineDir(SYNTH_PROGRAM_DIR));
    for (int i = 0; i < 3; ++i) {
        english.play("Nobody hears this.");
        korean.play(encode("안녕하세요.", "CP949"));
        english.pause();
        english.restart();
        EXPECT_EQ(core.waitIdle(30000), 1);
    }
    english.unload(0);
    korean.unload(10);

    fflush(stderr);
    dup2(savedErr, 2);
    close(savedErr);
    EXPECT_EQ(englishStatus, 0);
    EXPECT_EQ(koreanStatus, 0);
    std::ifstream in(errPath);
    std::stringstream text;
    text << in.rdbuf();
    const std::string err = text.str();
    std::size_t count = 0;
    for (std::size_t at = err.find("no sound server"); at != std::string::npos;
         at = err.find("no sound server", at + 1))
        ++count;
    EXPECT_EQ(count, 1u) << err;
    std::filesystem::remove_all(dir);
}
