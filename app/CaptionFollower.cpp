#include "app/CaptionFollower.h"

#include "engine/EngineSet.h"

CaptionFollower::CaptionFollower(CaptionView& view, engine::EngineSet& engines,
                                 std::function<int()> language)
    : m_view(view), m_engines(engines), m_language(std::move(language)) {}

void CaptionFollower::ToolbarAt(const ScreenRect& toolbar, const std::vector<ScreenRect>& screens) {
    m_toolbar = toolbar;
    m_screens = screens;
    if (m_bShown) Place();
}

void CaptionFollower::Place() {
    const ScreenPoint at = PlaceBelow(m_toolbar, kCaptionWidth, m_nHeight, m_screens);
    m_view.MoveCaption(at.x, at.y);
}

void CaptionFollower::Poll() {
    engine::HeardPosition heard;
    if (!m_engines.Position(m_language(), &heard) || heard.sentence.empty()) {
        if (++m_nMisses >= kMissesBeforeHiding) Hide();
        return;
    }
    m_nMisses = 0;
    if (m_bShown && heard.sentence == m_sentence && heard.wordStart == m_nWordStart &&
        heard.wordEnd == m_nWordEnd)
        return;
    const bool wasShown = m_bShown;
    const int height = m_view.ShowCaption(heard.sentence, heard.wordStart, heard.wordEnd);
    m_bShown = true;
    m_sentence = std::move(heard.sentence);
    m_nWordStart = heard.wordStart;
    m_nWordEnd = heard.wordEnd;
    if (!wasShown || height != m_nHeight) {
        m_nHeight = height;
        Place();
    }
}

void CaptionFollower::Hide() {
    m_nMisses = 0;
    if (!m_bShown) return;
    m_bShown = false;
    m_sentence.clear();
    m_view.HideCaption();
}
