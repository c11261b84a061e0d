#include "toolbar/WindowOutline.h"

#include <vector>

#include "toolbar/SkinLayout.h"

QRegion WindowOutline::build(const QImage& skin, unsigned keyColour, QSize size) {
    // A fixed 32-bit layout lets the scan compare whole pixels, whatever format the file
    // was decoded to.
    const QImage pixels = skin.isNull() ? skin : skin.convertToFormat(QImage::Format_RGB32);
    const QRgb key = keyColour & 0xFFFFFFu;

    const int skinWidth = pixels.isNull() ? 0 : pixels.width();
    const int skinHeight = pixels.isNull() ? 0 : pixels.height();
    const QRgb* line = nullptr;
    auto opaque = [&](int x) {
        const int sx = SkinLayout::outlineSourceColumn(x);
        return !line || sx >= skinWidth || (line[sx] & 0xFFFFFFu) != key;
    };

    // Each row's opaque pixels as runs; a row whose runs equal the previous row's extends
    // those rectangles downwards. That is the banded form QRegion keeps itself, built
    // without a union per run.
    std::vector<QRect> rects;
    std::size_t bandStart = 0;  // first rectangle of the previous row's band
    std::vector<QRect> row;
    for (int y = 0; y < size.height(); ++y) {
        row.clear();
        line = y < skinHeight ? reinterpret_cast<const QRgb*>(pixels.constScanLine(y)) : nullptr;
        int start = -1;
        for (int x = 0; x <= size.width(); ++x) {
            const bool in = x < size.width() && opaque(x);
            if (in && start < 0) start = x;
            if (!in && start >= 0) {
                row.emplace_back(start, y, x - start, 1);
                start = -1;
            }
        }
        const std::size_t previous = rects.size() - bandStart;
        bool same = !rects.empty() && previous == row.size() && rects.back().bottom() == y - 1;
        for (std::size_t i = 0; same && i < row.size(); ++i)
            same = rects[bandStart + i].left() == row[i].left() &&
                   rects[bandStart + i].right() == row[i].right();
        if (same) {
            for (std::size_t i = bandStart; i < rects.size(); ++i) rects[i].setBottom(y);
        } else if (!row.empty()) {
            bandStart = rects.size();
            rects.insert(rects.end(), row.begin(), row.end());
        }
    }
    QRegion region;
    if (!rects.empty()) region.setRects(rects.data(), static_cast<int>(rects.size()));
    return region;
}
