#include "reading/PlaybackControl.h"

#include "engine/EngineSet.h"

namespace reading {

PlaybackControl::PlaybackControl(engine::EngineSet& engines, std::function<int()> language,
                                 int& paused, std::function<void()> beforeStop)
    : m_engines(engines),
      m_language(std::move(language)),
      m_bPaused(paused),
      m_beforeStop(std::move(beforeStop)) {}

void PlaybackControl::OnPauseResume() {
    const int language = m_language();
    const bool hasEngine = engine::IsEngineLanguage(language);
    if (m_bPaused == 0) {
        m_bPaused = 1;
        if (hasEngine) m_engines.Pause(language);
    } else {
        m_bPaused = 0;
        if (hasEngine) m_engines.Restart(language);
    }
}

void PlaybackControl::OnStop() {
    if (m_beforeStop) m_beforeStop();
    m_bPaused = 0;
    const int language = m_language();
    if (engine::IsEngineLanguage(language)) m_engines.Stop(language);
}

}  // namespace reading
