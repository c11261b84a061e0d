#include "synth/api/Engines.h"

#include <algorithm>

#include "synth/audio/AudioSink.h"
#include "synth/backend/InstalledVoices.h"

namespace synth {
namespace {

SpeechCore& core() {
    static SpeechCore instance(std::make_unique<InstalledVoices>(),
                               [](int rate, const std::string& description) {
                                   return std::shared_ptr<AudioSink>(
                                       makeAudioSink(rate, description));
                               });
    return instance;
}

// No exception crosses the engine contract.
template <typename F>
auto guarded(F&& f, decltype(f()) fallback) noexcept -> decltype(f()) {
    try {
        return f();
    } catch (...) {
        return fallback;
    }
}

template <typename F>
void guardedVoid(F&& f) noexcept {
    try {
        f();
    } catch (...) {
    }
}

std::shared_ptr<Job> newJob(const char* text, int pitch, int speed, int volume) {
    auto job = std::make_shared<Job>();
    job->playTime = Clock::now();
    job->text = std::make_shared<const std::string>(text ? text : "");
    job->pitch = std::clamp(pitch, Limits::kPitchMin, Limits::kPitchMax);
    job->speed = std::clamp(speed, Limits::kSpeedMin, Limits::kSpeedMax);
    job->volume = std::clamp(volume, Limits::kVolumeMin, Limits::kVolumeMax);
    return job;
}

// `text` into the caller's buffer, zero-terminated; its length, or -1 when it does not fit.
int copyOut(const std::string& text, char* out, int outSize) {
    if (!out || outSize <= 0 || text.size() + 1 > static_cast<std::size_t>(outSize)) return -1;
    std::copy(text.begin(), text.end(), out);
    out[text.size()] = '\0';
    return static_cast<int>(text.size());
}

}  // namespace

short loadEngine(Language lang, const char* engineDir) {
    return guarded([&] { return core().load(lang, engineDir); }, static_cast<short>(kInternalError));
}

void unloadEngine(Language lang) {
    guardedVoid([&] { core().unload(lang); });
}

int engineInfo(int code) {
    switch (code) {
        case VT_INFO_PITCH_MAX: return Limits::kPitchMax;
        case VT_INFO_PITCH_DEFAULT: return Limits::kPitchDefault;
        case VT_INFO_PITCH_MIN: return Limits::kPitchMin;
        case VT_INFO_SPEED_MAX: return Limits::kSpeedMax;
        case VT_INFO_SPEED_DEFAULT: return Limits::kSpeedDefault;
        case VT_INFO_SPEED_MIN: return Limits::kSpeedMin;
        case VT_INFO_VOLUME_MAX: return Limits::kVolumeMax;
        case VT_INFO_VOLUME_DEFAULT: return Limits::kVolumeDefault;
        case VT_INFO_VOLUME_MIN: return Limits::kVolumeMin;
        default: return 0;
    }
}

short loadUserDictionary(Language lang, const char* path) {
    return guarded([&] { return core().loadUserDictionary(lang, path); }, static_cast<short>(0));
}

void unloadUserDictionary(Language lang) {
    guardedVoid([&] { core().unloadUserDictionary(lang); });
}

void play(Language lang, const char* text, int pitch, int speed, int volume) {
    guardedVoid([&] { core().play(lang, newJob(text, pitch, speed, volume)); });
}

void playMixed(Language lang, const char* utf8, const VtVoiceProsody* prosody, int count) {
    guardedVoid([&] {
        auto job = newJob(utf8, Limits::kPitchDefault, Limits::kSpeedDefault, Limits::kVolumeDefault);
        job->mixed = std::make_unique<MixedText>(static_cast<int>(lang), prosody, count);
        const VtVoiceProsody& own = job->mixed->prosodyOf(static_cast<int>(lang));
        job->pitch = own.pitch;
        job->speed = own.speed;
        job->volume = own.volume;
        core().play(lang, std::move(job));
    });
}

bool playInto(Language lang, const char* text, int pitch, int speed, int volume,
              std::shared_ptr<AudioSink> sink, std::function<void(double)> progress) {
    return guarded(
        [&] {
            auto job = newJob(text, pitch, speed, volume);
            job->sink = std::move(sink);
            job->progress = std::move(progress);
            return core().play(lang, std::move(job));
        },
        false);
}

int audioRate(Language lang) {
    return guarded([&] { return core().audioRate(lang); }, 0);
}

void stop(Language lang) {
    guardedVoid([&] { core().stop(lang); });
}

void pause(Language lang) {
    guardedVoid([&] { core().pause(lang); });
}

void resume(Language lang) {
    guardedVoid([&] { core().resume(lang); });
}

bool playFrom(Language lang, int offset) {
    return guarded([&] { return core().playFrom(lang, offset); }, false);
}

void setSpeed(Language lang, int speed) {
    guardedVoid([&] { core().setSpeed(lang, speed); });
}

bool setOption(Language lang, const char* name, const char* value) {
    if (!name || !value) return false;
    return guarded([&] { return core().setOption(lang, name, value); }, false);
}

bool heardNow(Language lang, Heard* heard, int* sampleRate) {
    return guarded([&] { return core().heardNow(lang, heard, sampleRate); }, false);
}

bool waitIdle(int timeoutMs) {
    return guarded([&] { return core().waitIdle(timeoutMs); }, false);
}

int64_t firstAudioNanoseconds(Language lang) {
    return core().firstAudioNanoseconds(lang);
}

int64_t runLateNanoseconds(Language lang) {
    return core().runLateNanoseconds(lang);
}

int voiceOf(Language lang, char* out, int outSize) {
    return guarded(
        [&]() -> int {
            std::string description;
            bool configured = false;
            if (!core().voiceOf(lang, description, configured)) return -1;
            if (copyOut(description, out, outSize) < 0) return -1;
            return configured ? 1 : 0;
        },
        -1);
}

int readingOf(Language lang, const char* utf8, char* out, int outSize) {
    return guarded(
        [&]() -> int {
            if (!utf8 || !out || outSize <= 0) return -1;
            std::string reading;
            if (!core().readingOf(lang, utf8, reading)) return -1;
            return copyOut(reading, out, outSize);
        },
        -1);
}

}  // namespace synth
