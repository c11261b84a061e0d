#pragma once
// Draws the toolbar skin, the program icon and the language-selection button pictures. The
// files it writes under resources/ are the source of truth and are committed; the build never
// runs this program. Run it by hand after changing the artwork:
//
//   QT_QPA_PLATFORM=offscreen build/tools/skin-generator resources
//
// Everything is drawn with QPainter at 1:1 scale so that hinted glyphs and half-pixel
// strokes stay crisp on the 26 x 28 faces; nothing is scaled afterwards.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>

#include <array>
#include <functional>
#include <utility>

#include "engine/Languages.h"
#include "toolbar/SkinLayout.h"

namespace skin {

using L = SkinLayout;

// Window row spans of the outline, left and right inclusive. The corners are stepped by hand
// (3, 2, 1 pixels) so that the cut shape is exact at 1:1; the bottom right corner is one
// pixel shallower in its second row.
constexpr std::array<std::pair<int, int>, L::kToolbarHeight> kRowSpans = [] {
    std::array<std::pair<int, int>, L::kToolbarHeight> spans{};
    for (auto& s : spans) s = {0, L::kToolbarWidth - 1};
    spans[0] = {3, 244};
    spans[1] = {2, 245};
    spans[2] = {1, 246};
    spans[35] = {1, 246};
    spans[36] = {2, 246};
    spans[37] = {3, 244};
    return spans;
}();

constexpr QRgb kKey = L::kKeyColour;

// The strip's own colours: a dark slate bar that lets the coloured bubbles carry the look.
inline const QColor kBarTop(0x4a, 0x55, 0x66);
inline const QColor kBarBottom(0x22, 0x27, 0x30);
inline const QColor kBarBorder(0x12, 0x15, 0x1b);
inline const QColor kBarHighlight(0x6c, 0x78, 0x8c);

class SkinGenerator {
  public:
    QImage skin();
    QImage icon(int size);
    QImage languageButton(const engine::LanguageInfo& lang);

    static constexpr int kLanguageButtonWidth = 145;
    static constexpr int kLanguageButtonHeight = 26;

  private:
    enum Look { kNormal, kHover, kPressed };

    using Mark = std::function<void(QPainter&, const QColor& ink)>;

    QImage strip(Look look);
    void paintBar(QPainter& p);
    void paintLogo(QPainter& p);
    void paintEmblem(QPainter& p, QPointF centre, qreal radius);
    void paintCell(QPainter& p, int cell, Look look);
    void paintLanguageBadge(QPainter& p, int language, Look look);
    void paintBubble(QPainter& p, const QColor& base, Look look, const Mark& mark);
    void paintCloseFace(QPainter& p, Look look);
    Mark glyph(const QString& text);
    static QImage greyed(const QImage& normal);
    static void cutCorners(QImage& band, const QColor& border);
};

}  // namespace skin
