#include "toolbar/WindowOutline.h"

#include "toolbar/SkinLayout.h"

QRegion WindowOutline::build(const QImage& skin, unsigned keyColour, QSize size) {
    // A fixed 32-bit layout lets the scan compare whole pixels, whatever format the file
    // was decoded to.
    const QImage pixels = skin.isNull() ? skin : skin.convertToFormat(QImage::Format_RGB32);
    const QRgb key = keyColour & 0xFFFFFFu;

    auto opaque = [&](int x, int y) {
        const int sx = SkinLayout::outlineSourceColumn(x);
        if (pixels.isNull() || sx >= pixels.width() || y >= pixels.height()) return true;
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        return (line[sx] & 0xFFFFFFu) != key;
    };

    // Each row's opaque pixels as runs, one rectangle per run; QRegion then joins equal
    // rows into bands, so the shipped outline ends up as seven rectangles.
    QRegion region;
    for (int y = 0; y < size.height(); ++y) {
        int start = -1;
        for (int x = 0; x <= size.width(); ++x) {
            const bool in = x < size.width() && opaque(x, y);
            if (in && start < 0) start = x;
            if (!in && start >= 0) {
                region += QRect(start, y, x - start, 1);
                start = -1;
            }
        }
    }
    return region;
}
