#pragma once
// From a voice's sample rate to its engine's sink rate, and the engine's volume. Worker only.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace synth {

// Linear interpolation, kept across the chunks of one segment.
class Resampler {
  public:
    Resampler(int from, int to) : m_dStep(static_cast<double>(from) / to), m_bSame(from == to) {}

    // The chunk at the sink's rate; valid until the next push.
    const std::vector<int16_t>& push(const int16_t* in, std::size_t n);

  private:
    double m_dStep;
    bool m_bSame;
    double m_dPos = 0;
    int16_t m_last = 0;
    bool m_bPrimed = false;
    std::vector<int16_t> m_out;
};

// `pcm` at `volume` percent of its level, clipped; `pcm` itself at 100.
const int16_t* applyGain(const std::vector<int16_t>& pcm, int volume,
                         std::vector<int16_t>& scratch);

}  // namespace synth
