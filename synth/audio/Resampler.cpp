#include "synth/audio/Resampler.h"

#include <algorithm>

namespace synth {

const std::vector<int16_t>& Resampler::push(const int16_t* in, std::size_t n) {
    m_out.clear();
    if (m_bSame) {
        m_out.assign(in, in + n);
        return m_out;
    }
    if (n == 0) return m_out;
    if (!m_bPrimed) {
        m_last = in[0];
        m_bPrimed = true;
    }
    // Position 0 is the previous chunk's last sample, 1..n this chunk's.
    auto at = [&](std::size_t k) { return k == 0 ? m_last : in[k - 1]; };
    while (m_dPos <= static_cast<double>(n - 1) + 1.0 - 1e-9) {
        const std::size_t k = static_cast<std::size_t>(m_dPos);
        const double f = m_dPos - static_cast<double>(k);
        const double v = k + 1 <= n ? at(k) * (1.0 - f) + at(k + 1) * f : at(k);
        m_out.push_back(static_cast<int16_t>(v));
        m_dPos += m_dStep;
    }
    m_dPos -= static_cast<double>(n);
    m_last = in[n - 1];
    return m_out;
}

const int16_t* applyGain(const std::vector<int16_t>& pcm, int volume,
                         std::vector<int16_t>& scratch) {
    if (volume == 100) return pcm.data();
    scratch.resize(pcm.size());
    for (std::size_t i = 0; i < pcm.size(); ++i)
        scratch[i] = static_cast<int16_t>(std::clamp(pcm[i] * volume / 100, -32768, 32767));
    return scratch.data();
}

}  // namespace synth
