#pragma once
// The four languages the engine libraries serve and the voice limits they report.

#include <cstddef>

#include "engine/Languages.h"

namespace synth {

enum class Language {
    Japanese = engine::kJapanese,
    English = engine::kEnglish,
    Chinese = engine::kChinese,
    Korean = engine::kKorean
};
inline constexpr std::size_t kLanguageCount = engine::kLanguageCount;

// The engine's slot in per-language arrays.
constexpr std::size_t slotOf(Language lang) {
    return static_cast<std::size_t>(engine::LanguageIndex(static_cast<int>(lang)));
}

// Percentages of the voice's normal, reported through information codes 11 to 19.
struct Limits {
    static constexpr int kVolumeMin = 0, kVolumeMax = 500, kVolumeDefault = 100;
    static constexpr int kSpeedMin = 50, kSpeedMax = 400, kSpeedDefault = 100;
    static constexpr int kPitchMin = 50, kPitchMax = 200, kPitchDefault = 100;
};

}  // namespace synth
