#pragma once
// Test helpers: the engine libraries opened with dlopen exactly as the program opens them,
// and WAV/PCM analysis for checking what was spoken.

#include <dlfcn.h>
#include <sys/stat.h>

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/EngineLibrary.h"
#include "engine/Languages.h"

namespace synthtest {

using engine::LanguageInfo;

inline const LanguageInfo& kJapanese = *engine::FindLanguage(engine::kJapanese);
inline const LanguageInfo& kEnglish = *engine::FindLanguage(engine::kEnglish);
inline const LanguageInfo& kChinese = *engine::FindLanguage(engine::kChinese);
inline const LanguageInfo& kKorean = *engine::FindLanguage(engine::kKorean);
inline const LanguageInfo* const kLanguages[] = {&kJapanese, &kEnglish, &kChinese, &kKorean};

inline int slotOf(const LanguageInfo& lang) { return engine::LanguageIndex(lang.number); }

// One engine library with all its operations resolved at once.
class EngineLibrary {
  public:
    EngineLibrary(const std::string& moduleDir, const LanguageInfo& lang)
        : m_lang(lang), m_moduleDir(moduleDir) {
        m_handle = dlopen((moduleDir + "/" + lang.library + ".so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!m_handle) throw std::runtime_error(dlerror());
        const std::string s = lang.suffix;
        engine::EngineFunctions f;
#define SELVARINE_TEST_RESOLVE(arg, name, type, member) f.member = sym<type*>(#name + s);
        SELVARINE_ENGINE_ENTRY_POINTS(SELVARINE_TEST_RESOLVE, )
        SELVARINE_FOLLOW_ENTRY_POINTS(SELVARINE_TEST_RESOLVE, )
        SELVARINE_ENGINE_SAVE_ENTRY_POINTS(SELVARINE_TEST_RESOLVE, )
        SELVARINE_ENGINE_OPTION_ENTRY_POINTS(SELVARINE_TEST_RESOLVE, )
#undef SELVARINE_TEST_RESOLVE
        load = f.load;
        unload = f.unload;
        info = f.getInfo;
        loadDict = f.loadUserDict;
        unloadDict = f.unloadUserDict;
        playFn = f.play;
        playUtf8Fn = f.playUtf8;
        stop = f.stop;
        pause = f.pause;
        restart = f.restart;
        getPosition = f.getPosition;
        playFrom = f.playFrom;
        setSpeed = f.setSpeed;
        save = f.save;
        saveStatus = f.saveStatus;
        setOption = f.setOption;
    }
    ~EngineLibrary() {
        if (m_handle) dlclose(m_handle);
    }
    EngineLibrary(const EngineLibrary&) = delete;
    EngineLibrary& operator=(const EngineLibrary&) = delete;

    std::string engineDir(const std::string& programDir) const {
        return programDir + "/" + m_lang.voiceDir;
    }
    short loadFrom(const std::string& dir) {
        return load(0x1234, m_lang.speaker, dir.c_str(), 0, -1, 0);
    }
    void play(const std::string& text, int pitch = 100, int speed = 100, int volume = 100) {
        playFn(0x1234, 0, text.c_str(), m_lang.speaker, pitch, speed, volume, 687, m_lang.readingTextForm,
               1);
    }
    // Mixed UTF-8 text; prosody of the four languages, Japanese first.
    void playMixed(const std::string& utf8, const std::array<VtVoiceProsody, 4>& prosody) {
        playUtf8Fn(0x1234, utf8.c_str(), m_lang.speaker, prosody.data(), 4, 0);
    }
    int infoValue(int code) {
        int v = -12345;
        info(code, 0, &v, 4);
        return v;
    }
    const LanguageInfo& language() const {
        return m_lang;
    }

    VtLoadFn load;
    VtUnloadFn unload;
    VtGetInfoFn info;
    VtLoadUserDictFn loadDict;
    VtUnloadUserDictFn unloadDict;
    VtPlayFn playFn;
    VtPlayUtf8Fn playUtf8Fn;
    VtControlFn stop, pause, restart;
    VtGetPositionFn getPosition;
    VtPlayFromFn playFrom;
    VtSetSpeedFn setSpeed;
    VtSaveFn save;
    VtSaveStatusOfFn saveStatus;
    VtSetOptionFn setOption;

  private:
    template <typename F>
    F sym(const std::string& name) {
        void* p = dlsym(m_handle, name.c_str());
        if (!p) throw std::runtime_error("missing " + name);
        return reinterpret_cast<F>(p);
    }
    LanguageInfo m_lang;
    std::string m_moduleDir;
    void* m_handle = nullptr;
};

// The core's test entry points, from the copy the engine libraries loaded.
struct CoreProbe {
    explicit CoreProbe(const std::string& corePath) {
        void* h = dlopen(corePath.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (!h) throw std::runtime_error("core not loaded: " + corePath);
        waitIdle = reinterpret_cast<int (*)(int)>(dlsym(h, "selvarine_synth_wait_idle"));
        firstAudioNs =
            reinterpret_cast<int64_t (*)(int)>(dlsym(h, "selvarine_synth_first_audio_ns"));
        runLateNs = reinterpret_cast<int64_t (*)(int)>(dlsym(h, "selvarine_synth_run_late_ns"));
        readingFn = reinterpret_cast<int (*)(int, const char*, char*, int)>(
            dlsym(h, "selvarine_synth_reading"));
        dlclose(h);  // the engine libraries keep it loaded
        if (!waitIdle || !firstAudioNs || !runLateNs || !readingFn)
            throw std::runtime_error("core probes missing");
    }
    // What the voices get when `language` reads the UTF-8 text (selvarine_synth_reading).
    std::string reading(int language, const std::string& utf8) const {
        std::string out(1 << 20, '\0');
        const int n = readingFn(language, utf8.c_str(), out.data(), static_cast<int>(out.size()));
        return n < 0 ? "(failed)" : out.substr(0, static_cast<std::size_t>(n));
    }
    int (*waitIdle)(int) = nullptr;
    int64_t (*firstAudioNs)(int) = nullptr;
    int64_t (*runLateNs)(int) = nullptr;
    int (*readingFn)(int, const char*, char*, int) = nullptr;
};

struct Pcm {
    int rate = 0;
    std::vector<int16_t> samples;
    double seconds() const { return rate ? static_cast<double>(samples.size()) / rate : 0.0; }
    double rms() const {
        if (samples.empty()) return 0;
        double sum = 0;
        for (int16_t s : samples) sum += static_cast<double>(s) * s;
        return std::sqrt(sum / samples.size());
    }
    // Median fundamental frequency over the loud 40 ms frames, by autocorrelation (60-500 Hz).
    double medianPitchHz() const {
        const std::size_t frame = static_cast<std::size_t>(rate / 25);
        const std::size_t minLag = static_cast<std::size_t>(rate / 500);
        // Down to 40 Hz: a voice at half its pitch goes below 60 Hz.
        const std::size_t maxLag = static_cast<std::size_t>(rate / 40);
        std::vector<double> pitches;
        for (std::size_t at = 0; at + frame + maxLag <= samples.size(); at += frame) {
            double energy = 0;
            for (std::size_t k = at; k < at + frame; ++k) energy += double(samples[k]) * samples[k];
            if (std::sqrt(energy / frame) < 1000) continue;
            std::vector<double> sums(maxLag + 1, 0.0);
            double best = 0;
            for (std::size_t lag = minLag; lag <= maxLag; ++lag) {
                for (std::size_t k = at; k < at + frame; ++k)
                    sums[lag] += double(samples[k]) * samples[k + lag];
                best = std::max(best, sums[lag]);
            }
            // A period's multiples correlate almost as well as the period: the shortest lag
            // near the best is the period, whichever of them the frame's cut favours.
            std::size_t bestLag = 0;
            for (std::size_t lag = minLag; lag <= maxLag && !bestLag; ++lag)
                if (sums[lag] >= 0.9 * best && (lag == maxLag || sums[lag] >= sums[lag + 1]))
                    bestLag = lag;
            if (bestLag && best > 0.5 * energy) pitches.push_back(double(rate) / bestLag);
        }
        if (pitches.empty()) return 0;
        std::nth_element(pitches.begin(), pitches.begin() + pitches.size() / 2, pitches.end());
        return pitches[pitches.size() / 2];
    }
    // Seconds from the first to the last 20 ms window louder than the threshold; the gaps
    // of silence (at least minGap seconds) in between.
    double activeSpan(double threshold, double* start = nullptr,
                      std::vector<double>* gaps = nullptr, double minGap = 0.5) const {
        const std::size_t w = static_cast<std::size_t>(rate / 50);
        double first = -1, last = -1, prevActive = -1;
        for (std::size_t i = 0; i + w <= samples.size(); i += w) {
            double sum = 0;
            for (std::size_t k = i; k < i + w; ++k)
                sum += static_cast<double>(samples[k]) * samples[k];
            if (std::sqrt(sum / w) < threshold) continue;
            const double t = static_cast<double>(i) / rate;
            if (first < 0) first = t;
            if (gaps && prevActive >= 0 && t - prevActive >= minGap)
                gaps->push_back(t - prevActive);
            prevActive = last = t;
        }
        if (start) *start = first;
        return first < 0 ? 0.0 : last - first + 0.02;
    }
};

// The sample with each {} replaced by k. Repeats of a sample are numbered so that each
// clause is new: the Japanese voice says a clause it said lately from memory.
inline std::string numbered(std::string sample, int k) {
    for (std::size_t at; (at = sample.find("{}")) != std::string::npos;)
        sample.replace(at, 2, std::to_string(k));
    return sample;
}

inline Pcm readWav(const std::string& path) {
    Pcm pcm;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 44 || std::string(bytes.data(), 4) != "RIFF") return pcm;
    auto u32 = [&](std::size_t at) {
        uint32_t v = 0;
        for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<uint8_t>(bytes[at + k]);
        return v;
    };
    pcm.rate = static_cast<int>(u32(24));
    const std::size_t dataBytes = std::min<std::size_t>(u32(40), bytes.size() - 44);
    pcm.samples.resize(dataBytes / 2);
    std::memcpy(pcm.samples.data(), bytes.data() + 44, pcm.samples.size() * 2);
    return pcm;
}

inline Pcm readRaw(const std::string& path, int rate) {
    Pcm pcm;
    pcm.rate = rate;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    pcm.samples.resize(bytes.size() / 2);
    std::memcpy(pcm.samples.data(), bytes.data(), pcm.samples.size() * 2);
    return pcm;
}

// This process's resident memory, in KiB (-1 when it cannot be read).
inline long residentKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    return -1;
}

inline long fileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

// Converts UTF-8 test text into an engine's byte encoding.
inline std::string encode(const std::string& utf8, const char* encoding) {
    iconv_t cd = iconv_open(encoding, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(encoding);
    std::string out(utf8.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* o = out.data();
    std::size_t outLeft = out.size();
    const std::size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1)) throw std::runtime_error("cannot encode test text");
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace synthtest
