// The neural voices users add, spoken through the real runtime and our helper program with a
// tiny generated model, and the folders that must be refused before the runtime sees them.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "TinyVitsModel.h"
#include "synth/backend/sherpa/NeuralModel.h"
#include "synth/backend/sherpa/NeuralVoice.h"

namespace fs = std::filesystem;
using namespace synth;

namespace {

class NeuralVoiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/neural-voice-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        m_setup = defaultNeuralSetup();
        m_setup.helper = SYNTH_PROGRAM_DIR "/selvarine-neural-voice";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string voiceFolder(
        const std::map<std::string, std::string>& meta = tiny_vits::defaultMetadata(),
        const std::string& name = "tiny") {
        const std::string folder = m_dir + "/" + name;
        fs::create_directories(folder);
        tiny_vits::write(folder, meta);
        return folder;
    }
    bool haveRuntime() const { return ::access(m_setup.runtime.c_str(), R_OK) == 0; }

    std::string m_dir;
    NeuralSetup m_setup;
};

struct Heard {
    std::vector<std::size_t> chunks;
    std::vector<int16_t> pcm;
    PcmOut out() {
        return [this](const int16_t* s, std::size_t n) {
            chunks.push_back(n);
            pcm.insert(pcm.end(), s, s + n);
        };
    }
};

const Cancelled never = [] { return false; };

TEST_F(NeuralVoiceTest, SpeaksSentenceBySentenceAtTheModelsRateAndSpeed) {
    if (!haveRuntime()) GTEST_SKIP() << "the runtime is not installed (scripts/setup)";
    std::string why;
    auto voice = openNeuralVoice(voiceFolder(), m_setup, &why);
    ASSERT_TRUE(voice) << why;
    ASSERT_TRUE(voice->waitReady(never, &why)) << why;
    EXPECT_EQ(voice->sampleRate(), 16000);
    const pid_t helper = voice->helperPid();

    // Tokens: hello (4), a blank, world (5). Each word of a sentence ending in a full stop
    // is followed by a blank, and the stop by one more.
    struct Row {
        const char* text;
        int speed, pitch;
        std::vector<std::size_t> chunks;
    } rows[] = {
        {"Hello world", 100, 100, {10 * 256}},
        {"Hello world", 200, 100, {5 * 256}},
        {"Hello world", 50, 100, {20 * 256}},
        {"Hello world", 100, 200, {10 * 256}},  // pitch leaves the length alone
        {"Hello world", 200, 50, {5 * 256}},
        {"Hello. World.", 100, 100, {6 * 256, 7 * 256}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.text) + " at speed " + std::to_string(row.speed) + ", pitch " +
                     std::to_string(row.pitch));
        Heard heard;
        EXPECT_EQ(voice->speak(row.text, {row.speed, row.pitch}, heard.out(), never),
                  SpeakResult::Done);
        EXPECT_EQ(heard.chunks, row.chunks);
        for (int16_t s : heard.pcm) ASSERT_EQ(s, 8192);  // 0.25 of full scale
    }
    // Made ahead: what was prepared is what is said; what was prepared in vain never is.
    for (const char* prepared : {"Hello. World.", "Hello world"}) {
        SCOPED_TRACE(std::string("prepared ") + prepared);
        voice->prepare(prepared, {});
        Heard heard;
        EXPECT_EQ(voice->speak("Hello. World.", {}, heard.out(), never), SpeakResult::Done);
        EXPECT_EQ(heard.chunks, (std::vector<std::size_t>{6 * 256, 7 * 256}));
    }
    Heard nothing;
    EXPECT_EQ(voice->speak("Unknown words", {}, nothing.out(), never), SpeakResult::Done);
    EXPECT_TRUE(nothing.pcm.empty());
    EXPECT_EQ(voice->helperPid(), helper) << "the model is loaded once and kept";

    // The runtime shortens every pause over 0.2 s to a fifth unless told otherwise: a silent
    // voice's 0.32 s must keep its length.
    const std::string silentFolder = m_dir + "/silent";
    fs::create_directories(silentFolder);
    tiny_vits::write(silentFolder, tiny_vits::defaultMetadata(), 0.0f);
    auto silent = openNeuralVoice(silentFolder, m_setup, &why);
    ASSERT_TRUE(silent) << why;
    Heard pause;
    EXPECT_EQ(silent->speak("Hello world", {50, 100}, pause.out(), never), SpeakResult::Done);
    EXPECT_EQ(pause.pcm.size(), 20u * 256);
}

TEST_F(NeuralVoiceTest, CancelReturnsAtOnceAndLeavesNothingForTheNextSentence) {
    if (!haveRuntime()) GTEST_SKIP() << "the runtime is not installed (scripts/setup)";
    std::string why;
    auto voice = openNeuralVoice(voiceFolder(), m_setup, &why);
    ASSERT_TRUE(voice) << why;
    ASSERT_TRUE(voice->waitReady(never, &why)) << why;

    std::string many;
    for (int i = 0; i < 200; ++i) many += "Hello world. ";
    // Stopped after the first sentence's audio: nothing more arrives, and the call returns
    // without waiting for the other 199 (how fast is neural_voice_bench's figure).
    int chunks = 0;
    const PcmOut firstOut = [&](const int16_t*, std::size_t) { ++chunks; };
    const Cancelled cancel = [&] { return chunks > 0; };
    EXPECT_EQ(voice->speak(many, {}, firstOut, cancel), SpeakResult::Cancelled);
    EXPECT_EQ(chunks, 1);

    Heard next;
    EXPECT_EQ(voice->speak("Hello world", {}, next.out(), never), SpeakResult::Done);
    EXPECT_EQ(next.pcm.size(), 10u * 256) << "the cancelled text's audio must not leak in";
}

TEST_F(NeuralVoiceTest, AHelperThatDiesOrCannotLoadFailsTheVoiceWithoutHanging) {
    if (!haveRuntime()) GTEST_SKIP() << "the runtime is not installed (scripts/setup)";
    std::string why;
    {
        auto voice = openNeuralVoice(voiceFolder(), m_setup, &why);
        ASSERT_TRUE(voice) << why;
        ASSERT_TRUE(voice->waitReady(never, &why)) << why;
        // Removed while in use: the loaded model speaks on; the next open is refused.
        fs::remove_all(m_dir + "/tiny");
        Heard kept;
        EXPECT_EQ(voice->speak("Hello world", {}, kept.out(), never), SpeakResult::Done);
        EXPECT_EQ(kept.pcm.size(), 10u * 256);
        EXPECT_FALSE(openNeuralVoice(m_dir + "/tiny", m_setup, &why));
        ::kill(voice->helperPid(), SIGKILL);
        Heard heard;
        EXPECT_EQ(voice->speak("Hello world", {}, heard.out(), never), SpeakResult::Failed);
    }
    {
        // Passes our header checks; the runtime cannot make a graph of it.
        const std::string folder = voiceFolder(tiny_vits::defaultMetadata(), "badgraph");
        std::string onnx = tiny_vits::model(tiny_vits::defaultMetadata());
        std::ofstream(folder + "/model.onnx", std::ios::binary)
            << std::string("\x08\x07\x3a\x03\x0a\x01\x78", 7) << onnx.substr(2);
        auto voice = openNeuralVoice(folder, m_setup, &why);
        ASSERT_TRUE(voice) << why;
        Heard heard;
        EXPECT_EQ(voice->speak("Hello world", {}, heard.out(), never), SpeakResult::Failed);
        EXPECT_FALSE(voice->waitReady(never, &why));
        EXPECT_FALSE(why.empty());
    }
    {
        NeuralSetup noRuntime = m_setup;
        noRuntime.runtime = m_dir + "/missing.so";
        EXPECT_FALSE(openNeuralVoice(voiceFolder(), noRuntime, &why));
        EXPECT_NE(why.find("not installed"), std::string::npos) << why;
    }
}

TEST_F(NeuralVoiceTest, FoldersTheRuntimeWouldChokeOnAreRefusedWithAReason) {
    auto with = [](std::map<std::string, std::string> changes) {
        auto meta = tiny_vits::defaultMetadata();
        for (auto& [k, v] : changes) {
            if (v == "-")
                meta.erase(k);
            else
                meta[k] = v;
        }
        return meta;
    };
    struct Row {
        const char* name;
        std::map<std::string, std::string> meta;
        const char* removed;  // a file taken out of the folder, or ""
        const char* notOnnx;  // bytes written over model.onnx, or nullptr
        const char* reason;   // part of the reason; nullptr: accepted
    } rows[] = {
        {"good", with({}), "", nullptr, nullptr},
        {"8 kHz", with({{"sample_rate", "8000"}}), "", nullptr, nullptr},
        {"48 kHz", with({{"sample_rate", "48000"}}), "", nullptr, nullptr},
        {"900 speakers", with({{"n_speakers", "900"}}), "", nullptr, nullptr},
        {"96 kHz", with({{"sample_rate", "96000"}}), "", nullptr, "sample rate"},
        {"rate not a number", with({{"sample_rate", "16k"}}), "", nullptr, "sample rate"},
        {"no language", with({{"language", "-"}}), "", nullptr, "\"language\""},
        {"no comment", with({{"comment", "-"}}), "", nullptr, "\"comment\""},
        {"old MeloTTS", with({{"comment", "melo"}}), "", nullptr, "MeloTTS"},
        {"no tokens", with({}), "tokens.txt", nullptr, "tokens.txt"},
        {"no lexicon", with({}), "lexicon.txt", nullptr, "lexicon.txt"},
        {"no model", with({}), "model.onnx", nullptr, ".onnx"},
        {"text file", with({}), "", "this is not a model\n", "not an ONNX model"},
        {"truncated", with({}), "", "\x08\x07\x3a\xff\x7f", "not an ONNX model"},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string folder = voiceFolder(row.meta, "v" + std::to_string(n++));
        if (*row.removed) fs::remove(folder + "/" + row.removed);
        if (row.notOnnx) std::ofstream(folder + "/model.onnx", std::ios::binary) << row.notOnnx;
        std::string why;
        const auto model = inspectNeuralModel(folder, &why);
        if (!row.reason) {
            ASSERT_TRUE(model) << why;
            EXPECT_EQ(model->sampleRate, std::stoi(row.meta.at("sample_rate")));
            EXPECT_EQ(model->speakers, std::stoi(row.meta.at("n_speakers")));
            EXPECT_EQ(model->language, "English");
        } else {
            EXPECT_FALSE(model);
            EXPECT_NE(why.find(row.reason), std::string::npos) << why;
        }
    }
}

}  // namespace
