// selvarine-neural-voice: speaks with one neural voice model through the runtime's C
// interface, for the toolbar on the other end of its standard input and output.
//
// A program of its own because the runtime ends its process (exit) on some malformed models
// and carries its own copy of espeak-ng, neither of which may reach the toolbar.

#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "synth/backend/sherpa/NeuralVoiceProtocol.h"
#include "synth/backend/sherpa/SherpaApi.h"

using namespace synth::neural;

namespace {

bool writeAll(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool readAll(void* data, std::size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(STDIN_FILENO, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool frame(uint32_t id, FrameKind kind, const void* payload, std::size_t bytes) {
    const FrameHeader header{id, kind, static_cast<uint32_t>(bytes)};
    return writeAll(&header, sizeof header) && (bytes == 0 || writeAll(payload, bytes));
}

[[noreturn]] void fail(const std::string& why) {
    frame(0, FrameKind::Failed, why.data(), why.size());
    std::_Exit(1);
}

struct Runtime {
    sherpa::GetVersionStrFn version;
    sherpa::CreateOfflineTtsFn create;
    sherpa::OfflineTtsSampleRateFn sampleRate;
    sherpa::OfflineTtsNumSpeakersFn numSpeakers;
    sherpa::GenerateWithCallbackWithArgFn generate;
    sherpa::DestroyGeneratedAudioFn destroyAudio;
};

// Every entry point at once, so a runtime that lacks one fails here and not mid-sentence.
Runtime loadRuntime(const char* path) {
    void* lib = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!lib) fail(std::string("cannot load the runtime: ") + ::dlerror());
    Runtime r{};
    auto need = [&](auto& fn, const char* name) {
        void* sym = ::dlsym(lib, name);
        if (!sym) fail(std::string("the runtime lacks ") + name);
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(sym);
    };
    need(r.version, "SherpaOnnxGetVersionStr");
    need(r.create, "SherpaOnnxCreateOfflineTts");
    need(r.sampleRate, "SherpaOnnxOfflineTtsSampleRate");
    need(r.numSpeakers, "SherpaOnnxOfflineTtsNumSpeakers");
    need(r.generate, "SherpaOnnxOfflineTtsGenerateWithCallbackWithArg");
    need(r.destroyAudio, "SherpaOnnxDestroyOfflineTtsGeneratedAudio");
    // Our declarations hold for one release only.
    const char* version = r.version();
    if (!version || std::strcmp(version, sherpa::kRuntimeVersion) != 0)
        fail(std::string("runtime version ") + (version ? version : "?") + ", expected " +
             sherpa::kRuntimeVersion);
    return r;
}

struct Generation {
    uint32_t id;
    bool lost = false;  // the toolbar went away
    std::vector<int16_t> pcm;
};

int32_t onAudio(const float* samples, int32_t n, void* arg) {
    auto* g = static_cast<Generation*>(arg);
    g->pcm.resize(static_cast<std::size_t>(std::max(0, n)));
    for (std::size_t i = 0; i < g->pcm.size(); ++i)
        g->pcm[i] = static_cast<int16_t>(std::lround(std::clamp(samples[i], -1.0f, 1.0f) * 32767));
    if (!g->pcm.empty() &&
        !frame(g->id, FrameKind::Pcm, g->pcm.data(), g->pcm.size() * sizeof(int16_t))) {
        g->lost = true;
        return 0;
    }
    // A new request waiting means the toolbar moved on: stop before the next sentence.
    pollfd in{STDIN_FILENO, POLLIN, 0};
    return ::poll(&in, 1, 0) > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != kArgCount)
        fail("usage: selvarine-neural-voice RUNTIME MODEL TOKENS LEXICON DATADIR THREADS");
    const Runtime rt = loadRuntime(argv[kArgRuntime]);

    sherpa::TtsConfig config{};
    config.model.vits.model = argv[kArgModel];
    config.model.vits.tokens = argv[kArgTokens];
    config.model.vits.lexicon = argv[kArgLexicon];
    config.model.vits.data_dir = argv[kArgDataDir];
    config.model.vits.noise_scale = 0.667f;
    config.model.vits.noise_scale_w = 0.8f;
    config.model.vits.length_scale = 1.0f;
    config.model.num_threads = std::clamp(std::atoi(argv[kArgThreads]), 1, 8);
    config.model.provider = "cpu";
    // One sentence per batch, so each is handed over as soon as it is made; the voice's own
    // pauses stay as they are (the runtime shortens them by default).
    config.max_num_sentences = 1;
    config.silence_scale = 1.0f;

    const sherpa::Tts* tts = nullptr;
    try {
        tts = rt.create(&config);
    } catch (const std::exception& e) {
        fail(std::string("the runtime cannot load the model: ") + e.what());
    } catch (...) {
        fail("the runtime cannot load the model");
    }
    if (!tts) fail("the runtime refused the model's files");
    const int32_t ready[2] = {rt.sampleRate(tts), rt.numSpeakers(tts)};
    if (!frame(0, FrameKind::Ready, ready, sizeof ready)) return 0;

    std::string text;
    for (;;) {
        RequestHeader request{};
        if (!readAll(&request, sizeof request)) return 0;  // the toolbar closed us
        if (request.bytes > kMaxRequestBytes) return 1;
        text.resize(request.bytes);
        if (request.bytes > 0 && !readAll(text.data(), text.size())) return 0;
        Generation g{request.id, false, {}};
        const sherpa::GeneratedAudio* audio = nullptr;
        const float speed =
            std::isfinite(request.speed) && request.speed > 0 ? request.speed : 1.0f;
        try {
            audio =
                rt.generate(tts, text.c_str(), std::max(0, request.speaker), speed, onAudio, &g);
        } catch (...) {
            const std::string why = "the runtime failed to speak the sentence";
            if (!frame(request.id, FrameKind::Failed, why.data(), why.size())) return 0;
            continue;
        }
        if (g.lost) return 0;
        // Text with no word the voice knows gives no audio: nothing to say, not a failure.
        if (audio) rt.destroyAudio(audio);
        if (!frame(request.id, FrameKind::Done, nullptr, 0)) return 0;
    }
}
