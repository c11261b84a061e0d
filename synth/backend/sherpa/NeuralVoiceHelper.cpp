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
#include <deque>
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
    sherpa::GenerateWithConfigFn generate;
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
    need(r.generate, "SherpaOnnxOfflineTtsGenerateWithConfig");
    need(r.destroyAudio, "SherpaOnnxDestroyOfflineTtsGeneratedAudio");
    // Our declarations hold for one release only.
    const char* version = r.version();
    if (!version || std::strcmp(version, sherpa::kRuntimeVersion) != 0)
        fail(std::string("runtime version ") + (version ? version : "?") + ", expected " +
             sherpa::kRuntimeVersion);
    return r;
}

struct Request {
    RequestHeader header;
    std::string text;
};

// Requests read but not spoken yet, oldest first.
std::deque<Request> g_queue;
uint32_t g_speaking = 0;  // the id being spoken
float g_pitch = 1;        // its pitch
bool g_stopped = false;   // a Stop for it arrived
bool g_lost = false;      // the toolbar went away (or spoke nonsense)

// Reads one request; a Stop is applied at once and not queued.
bool readRequest() {
    Request r{};
    if (!readAll(&r.header, sizeof r.header) || r.header.bytes > kMaxRequestBytes) return false;
    r.text.resize(r.header.bytes);
    if (r.header.bytes > 0 && !readAll(r.text.data(), r.text.size())) return false;
    if (r.header.kind != RequestKind::Stop) {
        g_queue.push_back(std::move(r));
        return true;
    }
    if (r.header.id == g_speaking) g_stopped = true;
    for (Request& q : g_queue)
        if (q.header.id == r.header.id) q.text.clear();  // nothing left to say: Done at once
    return true;
}

int16_t sample(float v) {
    return static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767));
}

int32_t onAudio(const float* samples, int32_t n, float, void*) {
    static std::vector<int16_t> pcm;
    // A pitch other than 1 plays the samples that much faster (they were made that much
    // slower). Each call is a whole sentence, so nothing carries over between calls.
    const double step = g_pitch;
    const auto count = static_cast<std::size_t>(std::max(0, n) / step);
    pcm.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double at = static_cast<double>(i) * step;
        const auto k = static_cast<std::size_t>(at);
        const double f = at - static_cast<double>(k);
        const float next = k + 1 < static_cast<std::size_t>(n) ? samples[k + 1] : samples[k];
        pcm[i] = sample(static_cast<float>(samples[k] * (1 - f) + next * f));
    }
    if (!pcm.empty() &&
        !frame(g_speaking, FrameKind::Pcm, pcm.data(), pcm.size() * sizeof(int16_t))) {
        g_lost = true;
        return 0;
    }
    // Requests that came meanwhile: a Stop for this one ends it before its next sentence.
    pollfd in{STDIN_FILENO, POLLIN, 0};
    while (!g_lost && !g_stopped && ::poll(&in, 1, 0) > 0)
        if (!readRequest()) g_lost = true;
    return g_lost || g_stopped ? 0 : 1;
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
    // One sentence per batch, so each is handed over as soon as it is made.
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

    for (;;) {
        if (g_queue.empty() && !readRequest()) return 0;  // the toolbar closed us
        if (g_queue.empty()) continue;
        const Request request = std::move(g_queue.front());
        g_queue.pop_front();
        g_speaking = request.header.id;
        g_stopped = false;
        auto positive = [](float v) { return std::isfinite(v) && v > 0 ? v : 1.0f; };
        g_pitch = std::clamp(positive(request.header.pitch), 0.25f, 4.0f);
        const float speed = positive(request.header.speed) / g_pitch;
        const sherpa::GeneratedAudio* audio = nullptr;
        if (!request.text.empty()) {
            try {
                // The voice's own pauses stay as they are: the runtime would shorten them.
                sherpa::GenerationConfig generation{};
                generation.silence_scale = 1.0f;
                generation.speed = speed;
                generation.sid = std::max(0, request.header.speaker);
                audio = rt.generate(tts, request.text.c_str(), &generation, onAudio, nullptr);
            } catch (...) {
                const std::string why = "the runtime failed to speak the sentence";
                if (!frame(g_speaking, FrameKind::Failed, why.data(), why.size())) return 0;
                continue;
            }
        }
        if (g_lost) return 0;
        // Text with no word the voice knows gives no audio: nothing to say, not a failure.
        if (audio) rt.destroyAudio(audio);
        if (!frame(g_speaking, FrameKind::Done, nullptr, 0)) return 0;
    }
}
