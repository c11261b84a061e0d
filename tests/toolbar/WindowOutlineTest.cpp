#include <gtest/gtest.h>

#include <random>

#include "toolbar/SkinLayout.h"
#include "toolbar/WindowOutline.h"

namespace {

constexpr QRgb kMagenta = 0xFFFF00FF;

QImage plainSkin() {
    QImage skin(SkinLayout::kSkinWidth, SkinLayout::kSkinHeight, QImage::Format_RGB32);
    skin.fill(qRgb(40, 50, 60));
    return skin;
}

// The outline as the one-pixel-at-a-time scan builds it, to hold the merged runs against.
QRegion pixelByPixel(const QImage& skin) {
    QRegion region;
    for (int y = 0; y < 38; ++y)
        for (int x = 0; x < 248; ++x)
            if ((skin.pixel(SkinLayout::outlineSourceColumn(x), y) & 0xFFFFFF) != 0xFF00FF)
                region += QRect(x, y, 1, 1);
    return region;
}

}  // namespace

TEST(WindowOutline, ReadsBandZeroThroughTheSeam) {
    QImage skin = plainSkin();
    skin.setPixel(10, 3, kMagenta);            // left part: window (10, 3)
    skin.setPixel(191, 7, kMagenta);           // last column before the seam
    skin.setPixel(470, 5, kMagenta);           // right part: window (200, 5)
    skin.setPixel(200, 6, kMagenta);           // skipped middle of the strip: no effect
    skin.setPixel(461, 7, kMagenta);           // would be window 191 only with a wrong seam
    skin.setPixel(10, 38 + 3, kMagenta);       // hover band: no effect
    skin.setPixel(517, 151, kMagenta);         // greyed band: no effect
    skin.setPixel(30, 20, qRgb(254, 0, 255));  // near the key is opaque

    // A key written without alpha (0x00FF00FF) must still match.
    const QRegion r = WindowOutline::build(skin, 0x00FF00FF);
    EXPECT_FALSE(r.contains(QPoint(10, 3)));
    EXPECT_FALSE(r.contains(QPoint(191, 7)));
    EXPECT_FALSE(r.contains(QPoint(200, 5)));
    for (QPoint p : {QPoint(200, 6), QPoint(191, 6), QPoint(10, 2), QPoint(30, 20), QPoint(247, 37),
                     QPoint(0, 0)})
        EXPECT_TRUE(r.contains(p)) << p.x() << "," << p.y();
    EXPECT_EQ(r.boundingRect(), QRect(0, 0, 248, 38));
    EXPECT_EQ(r, pixelByPixel(skin));
}

TEST(WindowOutline, MergedRunsEqualThePixelScanForAnyPattern) {
    std::mt19937 rng(135);
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        QImage skin = plainSkin();
        std::uniform_int_distribution<int> col(0, SkinLayout::kSkinWidth - 1), row(0, 37);
        for (int i = 0; i < 400; ++i) skin.setPixel(col(rng), row(rng), kMagenta);
        // Whole rows and runs touching both ends, where merging goes wrong first.
        for (int x = 0; x < SkinLayout::kSkinWidth; ++x) skin.setPixel(x, 12, kMagenta);
        for (int x = 0; x < 7; ++x) skin.setPixel(x, 20, kMagenta);
        for (int x = 510; x < 518; ++x) skin.setPixel(x, 21, kMagenta);
        const QRegion merged = WindowOutline::build(skin, SkinLayout::kKeyColour);
        EXPECT_EQ(merged, pixelByPixel(skin));
        EXPECT_FALSE(merged.intersects(QRect(0, 12, 248, 1)));
    }
}

TEST(WindowOutline, AMissingOrShortSkinLeavesTheWindowOpaque) {
    EXPECT_EQ(WindowOutline::build(QImage(), SkinLayout::kKeyColour), QRegion(0, 0, 248, 38));

    QImage narrow(300, 38, QImage::Format_RGB32);
    narrow.fill(kMagenta);
    const QRegion r = WindowOutline::build(narrow, SkinLayout::kKeyColour);
    // Columns 0..191 read the all-key picture; 192 onward would read past its right end.
    EXPECT_EQ(r, QRegion(192, 0, 56, 38));
}
