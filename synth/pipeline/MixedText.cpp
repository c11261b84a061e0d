#include "synth/pipeline/MixedText.h"

#include <algorithm>

#include "synth/pipeline/Language.h"

namespace synth {

MixedText::MixedText(int chosen, const VtVoiceProsody* prosody, int count) : m_nChosen(chosen) {
    for (std::size_t k = 0; k < m_prosody.size(); ++k) {
        VtVoiceProsody p{Limits::kPitchDefault, Limits::kSpeedDefault, Limits::kVolumeDefault};
        if (prosody && static_cast<int>(k) < count) p = prosody[k];
        m_prosody[k] = {std::clamp(p.pitch, Limits::kPitchMin, Limits::kPitchMax),
                        std::clamp(p.speed, Limits::kSpeedMin, Limits::kSpeedMax),
                        std::clamp(p.volume, Limits::kVolumeMin, Limits::kVolumeMax)};
    }
}

std::unique_ptr<MixedText> MixedText::again() const {
    auto copy = std::make_unique<MixedText>(m_nChosen, nullptr, 0);
    copy->m_prosody = m_prosody;
    return copy;
}

bool MixedText::next(const std::shared_ptr<const std::string>& utf8, std::string& run,
                     int& language, std::size_t* begin) {
    if (!m_bSplit) {
        m_runs = splitScriptRuns(utf8 ? std::string_view(*utf8) : std::string_view(), m_nChosen);
        m_bSplit = true;
    }
    if (m_nNext >= m_runs.size()) return false;
    const ScriptRun& r = m_runs[m_nNext++];
    run.assign(*utf8, r.begin, r.end - r.begin);
    language = r.language;
    if (begin) *begin = r.begin;
    m_bRunHeard = false;
    return true;
}

const VtVoiceProsody& MixedText::prosodyOf(int language) const {
    const int index = engine::LanguageIndex(language);
    return m_prosody[static_cast<std::size_t>(index < 0 ? engine::LanguageIndex(m_nChosen)
                                                        : index)];
}

int64_t MixedText::noteAudio(Clock::time_point now, double seconds) {
    if (!m_bAnyAudio) m_playedOut = now;
    int64_t late = kNoHandover;
    if (!m_bRunHeard && m_bAnyAudio)
        late = std::chrono::duration_cast<std::chrono::nanoseconds>(now - m_playedOut).count();
    m_playedOut = std::max(m_playedOut, now) + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(seconds));
    m_bRunHeard = m_bAnyAudio = true;
    return late;
}

}  // namespace synth
