// A neural voice the user added, chosen for a language through the engine library's option
// and spoken by the real runtime and helper with the tiny model the test writes: reading,
// saving, speed, and the built-in voice back when the choice is cleared or the voice is gone.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "TinyVitsModel.h"
#include "tests/synth/EngineLibrary.h"

namespace fs = std::filesystem;
using namespace synthtest;
using namespace std::chrono_literals;

namespace {

// Samples at the tiny voice's one level (a quarter of full scale); flite never holds a level.
std::size_t samplesAtLevel(const Pcm& pcm) {
    std::size_t n = 0;
    for (int16_t s : pcm.samples) n += s == 8192;
    return n;
}

TEST(AddedVoiceEngineTest, TheChosenVoiceReadsAndSavesItsLanguageUntilItIsGivenBack) {
    const char* runtime = std::getenv("SELVARINE_NEURAL_RUNTIME");
    if (::access(runtime && *runtime ? runtime
                                     : "/usr/local/lib/selvarine/sherpa-onnx/libsherpa-onnx-c-api.so",
                 R_OK) != 0)
        GTEST_SKIP() << "the runtime is not installed (scripts/setup)";
    char tmpl[] = "/tmp/added-voice-engine-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const fs::path dir = tmpl;
    const fs::path voice = dir / "selvarine" / "voices" / "tiny";
    fs::create_directories(voice);
    tiny_vits::write(voice.string());
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    const std::string wav = (dir / "out.wav").string();
    setenv("SELVARINE_AUDIO", ("wav:" + wav).c_str(), 1);

    EngineLibrary english(SYNTH_MODULE_DIR, kEnglish);
    ASSERT_EQ(english.loadFrom(english.engineDir(SYNTH_PROGRAM_DIR)), 0);
    CoreProbe core(SYNTH_CORE_PATH);
    ASSERT_NE(english.setOption, nullptr);
    EXPECT_EQ(english.setOption("no such option", "x"), 0);
    ASSERT_EQ(english.setOption("voice", "tiny"), 1);

    // "hello" and "world" are 4 and 5 tokens of 256 samples, with a blank after each word and
    // one more after the stop: 12.
    auto speak = [&](int speed) {
        english.play("Hello world.", 100, speed, 100);
        EXPECT_EQ(core.waitIdle(60000), 1);
        return readWav(wav);
    };
    const Pcm normal = speak(100);
    ASSERT_EQ(normal.rate, 16000);
    EXPECT_EQ(samplesAtLevel(normal), 12u * 256);
    EXPECT_EQ(samplesAtLevel(speak(200)), 12u * 128) << "speed is the model's length scale";

    const std::string saved = (dir / "saved.wav").string();
    ASSERT_EQ(english.save("Hello world.", 100, 100, 100, saved.c_str(), VT_SAVE_WAV),
              VT_SAVE_RUNNING);
    short status = VT_SAVE_RUNNING;
    for (int i = 0; i < 3000 && status == VT_SAVE_RUNNING; ++i, std::this_thread::sleep_for(20ms))
        status = english.saveStatus(nullptr);
    EXPECT_EQ(status, VT_SAVE_DONE);
    EXPECT_EQ(samplesAtLevel(readWav(saved)), 12u * 256);

    for (const char* value : {"", "gone"}) {
        SCOPED_TRACE(std::string("voice \"") + value + "\"");
        ASSERT_EQ(english.setOption("voice", value), 1);
        const Pcm builtIn = speak(100);
        EXPECT_GT(builtIn.seconds(), 0.3);
        EXPECT_LT(samplesAtLevel(builtIn), 100u);
    }
    english.unload(0);
    fs::remove_all(dir);
}

}  // namespace
