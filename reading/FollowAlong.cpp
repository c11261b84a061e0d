#include "reading/FollowAlong.h"

#include <algorithm>

#include "engine/EngineSet.h"

namespace reading {

FollowAlong::FollowAlong(engine::EngineSet& engines, std::function<Speed()> speed, int& paused,
                         std::function<void(int, int)> keepSpeed)
    : m_engines(engines),
      m_speed(std::move(speed)),
      m_bPaused(paused),
      m_keepSpeed(std::move(keepSpeed)) {}

void FollowAlong::JumpTo(int language, int offset) {
    if (m_engines.PlayFrom(language, offset)) m_bPaused = 0;
}

void FollowAlong::NextSentence() {
    const int language = m_speed().language;
    engine::HeardPosition heard;
    if (!m_engines.Position(language, &heard)) return;
    JumpTo(language, heard.sentenceEnd);
}

void FollowAlong::PreviousSentence() {
    const int language = m_speed().language;
    engine::HeardPosition heard;
    if (!m_engines.Position(language, &heard)) return;
    const bool justBegun = heard.heardMs >= 0 && heard.heardMs < kBackToPreviousMs;
    JumpTo(language,
           justBegun && heard.previousStart >= 0 ? heard.previousStart : heard.sentenceStart);
}

void FollowAlong::ChangeSpeed(int step) {
    const Speed s = m_speed();
    if (s.max < s.min) return;  // no engine told its limits
    const int speed = std::clamp(s.current + step, s.min, s.max);
    if (speed == s.current) return;
    m_engines.SetSpeed(s.language, speed);
    m_keepSpeed(s.language, speed);
}

}  // namespace reading
