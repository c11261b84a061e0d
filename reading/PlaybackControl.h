#pragma once
// Pause/resume (1042) and stop (102) of the current language's engine. The engines report
// nothing back, so the pause flag records only what the user last asked for.

#include <functional>

namespace engine {
class EngineSet;
}

namespace reading {

class PlaybackControl {
  public:
    // paused is the toolbar's m_bPaused; language gives the current language number;
    // beforeStop runs first on every stop.
    PlaybackControl(engine::EngineSet& engines, std::function<int()> language, int& paused,
                    std::function<void()> beforeStop = {});

    void OnPauseResume();
    // Acts on the engine, after beforeStop: a capture still waiting for the copy goes on.
    void OnStop();

  private:
    engine::EngineSet& m_engines;
    std::function<int()> m_language;
    int& m_bPaused;
    std::function<void()> m_beforeStop;
};

}  // namespace reading
