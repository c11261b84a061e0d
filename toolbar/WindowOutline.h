#pragma once

#include <QImage>
#include <QRegion>
#include <QSize>

// The toolbar's window outline, cut from band 0 of the skin: every pixel that is not the key
// colour belongs to the window. Toolbar columns right of the outline seam read the skin
// further right (SkinLayout::outlineSourceColumn).
class WindowOutline {
  public:
    // Each row's opaque pixels are merged into runs, so the region is exactly the pixel set
    // but costs a few dozen unions instead of one per pixel.
    // Pixels the skin does not have (a short or null image) count as opaque: a skin that
    // failed to load leaves a plain rectangle rather than an invisible window.
    static QRegion build(const QImage& skin, unsigned keyColour, QSize size = QSize(248, 38));
};
