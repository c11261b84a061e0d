#pragma once
// The four languages the engine libraries serve and the voice limits they report.

#include <cstddef>

namespace synth {

enum class Language { Japanese = 0, English = 1, Chinese = 2, Korean = 3 };
inline constexpr std::size_t kLanguageCount = 4;

// Percentages of the voice's normal, reported through information codes 11 to 19.
struct Limits {
    static constexpr int kVolumeMin = 0, kVolumeMax = 500, kVolumeDefault = 100;
    static constexpr int kSpeedMin = 50, kSpeedMax = 400, kSpeedDefault = 100;
    static constexpr int kPitchMin = 50, kPitchMax = 200, kPitchDefault = 100;
};

}  // namespace synth
