#include "synth/api/SaveToFile.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>

#include "engine/EngineApi.h"
#include "synth/api/Engines.h"
#include "synth/audio/SoundFileSink.h"

namespace synth {
namespace {

std::mutex g_savesMutex;
std::array<std::shared_ptr<SaveProgress>, kLanguageCount> g_saves;

}  // namespace

short saveToFile(Language lang, const char* text, int pitch, int speed, int volume,
                 const char* path, int format) {
    try {
        const int rate = audioRate(lang);
        if (rate <= 0) return VT_SAVE_NOT_LOADED;
        if (!path) return VT_SAVE_CANNOT_CREATE;
        short status = VT_SAVE_WRITE_FAILED;
        std::shared_ptr<SoundFileSink> sink = SoundFileSink::create(path, format, rate, &status);
        if (!sink) return status;
        std::shared_ptr<SaveProgress> progress = sink->progress();
        auto report = [progress](double fraction) {
            progress->permille = std::clamp(static_cast<int>(fraction * 1000), 0, 999);
        };
        {
            std::lock_guard lock(g_savesMutex);
            g_saves[slotOf(lang)] = progress;
        }
        // A failed start drops the sink, which removes its file.
        if (!playInto(lang, text, pitch, speed, volume, std::move(sink), report))
            progress->status = VT_SAVE_NOT_LOADED;
        return progress->status;
    } catch (...) {
        return VT_SAVE_WRITE_FAILED;
    }
}

short saveStatus(Language lang, int* permille) {
    std::shared_ptr<SaveProgress> progress;
    {
        std::lock_guard lock(g_savesMutex);
        progress = g_saves[slotOf(lang)];
    }
    if (!progress) return VT_SAVE_NONE;
    if (permille) *permille = progress->permille;
    return progress->status;
}

}  // namespace synth
