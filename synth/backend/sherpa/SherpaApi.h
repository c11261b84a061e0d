#pragma once
// The part of the neural voice runtime's C interface that the helper program calls, declared
// here because the runtime ships no header. The layouts are those of release 1.13.4 (the
// version scripts/setup pins); the helper refuses any other version at load, and the offsets
// below are checked at compile time against the values derived from that release's header
// for x86-64 (pointers 8 bytes, int32 and float 4).

#include <cstddef>
#include <cstdint>

namespace sherpa {

inline constexpr const char* kRuntimeVersion = "1.13.4";

struct VitsModelConfig {
    const char* model;
    const char* lexicon;
    const char* tokens;
    const char* data_dir;
    float noise_scale;
    float noise_scale_w;
    float length_scale;
    const char* dict_dir;  // unused by the runtime, kept for its layout
};

// The other model families (Matcha, Kokoro, Kitten, ZipVoice, Pocket, Supertonic) follow
// `provider`; we configure none of them, so they stay zeroed bytes of their total size.
inline constexpr std::size_t kOtherFamiliesSize = 56 + 64 + 40 + 64 + 64 + 56;

struct ModelConfig {
    VitsModelConfig vits;
    int32_t num_threads;
    int32_t debug;
    const char* provider;
    alignas(8) unsigned char otherFamilies[kOtherFamiliesSize];
};

struct TtsConfig {
    ModelConfig model;
    const char* rule_fsts;
    int32_t max_num_sentences;
    const char* rule_fars;
    float silence_scale;
};

struct GeneratedAudio {
    const float* samples;
    int32_t n;
    int32_t sample_rate;
};

// What one generation asks for; zero fields take the runtime's defaults (among them a
// silence_scale of 0.2, which shortens every pause longer than 0.2 s to a fifth).
struct GenerationConfig {
    float silence_scale;
    float speed;
    int32_t sid;
    const float* reference_audio;
    int32_t reference_audio_len;
    int32_t reference_sample_rate;
    const char* reference_text;
    int32_t num_steps;
    const char* extra;
};

struct Tts;  // opaque

// Return 1 to go on, 0 to stop before the next batch of sentences.
using ProgressCallback = int32_t (*)(const float* samples, int32_t n, float progress, void* arg);

using GetVersionStrFn = const char* (*)();
using CreateOfflineTtsFn = const Tts* (*)(const TtsConfig* config);
using DestroyOfflineTtsFn = void (*)(const Tts* tts);
using OfflineTtsSampleRateFn = int32_t (*)(const Tts* tts);
using OfflineTtsNumSpeakersFn = int32_t (*)(const Tts* tts);
using GenerateWithConfigFn = const GeneratedAudio* (*)(const Tts* tts, const char* text,
                                                       const GenerationConfig* config,
                                                       ProgressCallback callback, void* arg);
using DestroyGeneratedAudioFn = void (*)(const GeneratedAudio* audio);

static_assert(sizeof(void*) == 8, "the layouts below are those of a 64-bit build");
static_assert(sizeof(VitsModelConfig) == 56 && offsetof(VitsModelConfig, noise_scale) == 32 &&
              offsetof(VitsModelConfig, length_scale) == 40 &&
              offsetof(VitsModelConfig, dict_dir) == 48);
static_assert(offsetof(ModelConfig, num_threads) == 56 && offsetof(ModelConfig, provider) == 64 &&
              offsetof(ModelConfig, otherFamilies) == 72 && sizeof(ModelConfig) == 416);
static_assert(offsetof(TtsConfig, rule_fsts) == 416 &&
              offsetof(TtsConfig, max_num_sentences) == 424 &&
              offsetof(TtsConfig, rule_fars) == 432 && offsetof(TtsConfig, silence_scale) == 440 &&
              sizeof(TtsConfig) == 448);
static_assert(sizeof(GeneratedAudio) == 16 && offsetof(GeneratedAudio, sample_rate) == 12);
static_assert(offsetof(GenerationConfig, speed) == 4 && offsetof(GenerationConfig, sid) == 8 &&
              offsetof(GenerationConfig, reference_audio) == 16 &&
              offsetof(GenerationConfig, reference_text) == 32 &&
              offsetof(GenerationConfig, extra) == 48 && sizeof(GenerationConfig) == 56);

}  // namespace sherpa
