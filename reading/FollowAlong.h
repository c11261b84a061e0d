#pragma once
// Steering the text being read, from the menu and the shortcuts alike: the sentence moves and
// the speed while speaking. The engine keeps the text, so nothing is captured again.

#include <functional>

namespace engine {
class EngineSet;
}

namespace reading {

class FollowAlong {
  public:
    // Within this much of a sentence's start, "previous" goes to the sentence before it.
    static constexpr int kBackToPreviousMs = 1500;
    static constexpr int kSpeedStep = 10;

    struct Speed {
        int language;
        int current;
        int min, max;  // the engine's limits
    };

    // paused is the toolbar's m_bPaused (a move ends a pause, as a new reading does).
    // speed gives the current language's speed; keepSpeed stores a new one as the voice
    // dialog's OK would.
    FollowAlong(engine::EngineSet& engines, std::function<Speed()> speed, int& paused,
                std::function<void(int language, int speed)> keepSpeed);

    // The start of the next sentence; past the last one the speech ends.
    void NextSentence();
    // The start of the current sentence, or of the one before when the current one began to
    // be heard less than kBackToPreviousMs ago; the first sentence starts again.
    void PreviousSentence();
    // The current language's speed by kSpeedStep within its limits, stored, and in force for
    // the text being read from its next clause on.
    void Faster() { ChangeSpeed(kSpeedStep); }
    void Slower() { ChangeSpeed(-kSpeedStep); }

  private:
    void JumpTo(int language, int offset);
    void ChangeSpeed(int step);

    engine::EngineSet& m_engines;
    std::function<Speed()> m_speed;
    int& m_bPaused;
    std::function<void(int, int)> m_keepSpeed;
};

}  // namespace reading
