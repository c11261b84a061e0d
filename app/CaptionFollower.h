#pragma once
// The caption: a strip under the toolbar with the sentence being heard and its word being
// heard marked. It asks the engine what is heard on a short timer and shows it; nothing shows
// while nothing is heard. Plain C++: the strip is reached through CaptionView.

#include <functional>
#include <string>
#include <vector>

#include "app/ScreenPlacement.h"

namespace engine {
class EngineSet;
}

class CaptionView {
  public:
    virtual ~CaptionView() = default;
    // Shows the strip with this UTF-8 sentence, bytes [wordStart, wordEnd) of it marked (none
    // when -1), kCaptionWidth wide; returns the height it takes.
    virtual int ShowCaption(const std::string& sentence, int wordStart, int wordEnd) = 0;
    virtual void MoveCaption(int x, int y) = 0;
    virtual void HideCaption() = 0;
};

class CaptionFollower {
  public:
    static constexpr int kCaptionWidth = 480;
    // How often the engine is asked while the caption is on: a word shows within this of
    // its audio, and asking costs a lock and a copy.
    static constexpr int kPollMs = 25;
    // Asks that find nothing heard before the strip goes: a jump, or the sink's estimate at
    // the very end, leaves a moment without a position that should not make it blink.
    static constexpr int kMissesBeforeHiding = 6;

    CaptionFollower(CaptionView& view, engine::EngineSet& engines, std::function<int()> language);

    // The toolbar's place and the screens, for placing the strip.
    void ToolbarAt(const ScreenRect& toolbar, const std::vector<ScreenRect>& screens);
    // One tick of the timer: shows what is heard now when it changed, hides the strip when
    // nothing is.
    void Poll();
    void Hide();

  private:
    void Place();

    CaptionView& m_view;
    engine::EngineSet& m_engines;
    std::function<int()> m_language;
    ScreenRect m_toolbar;
    std::vector<ScreenRect> m_screens;
    bool m_bShown = false;
    int m_nMisses = 0;
    int m_nHeight = 0;
    std::string m_sentence;
    int m_nWordStart = -1, m_nWordEnd = -1;
};
