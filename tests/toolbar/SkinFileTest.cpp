// The committed skin: its format, its outline and the looks of its faces.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include <array>
#include <cstdint>
#include <cstdlib>

#include "toolbar/Skin.h"
#include "toolbar/SkinLayout.h"
#include "toolbar/WindowOutline.h"

namespace {

const QString kSkinPath = QStringLiteral(SELVARINE_RESOURCE_DIR "/skin135.bmp");

// Opaque columns of the toolbar outline per row, left and right inclusive.
std::pair<int, int> expectedSpan(int y) {
    switch (y) {
        case 0:
        case 37:
            return {3, 244};
        case 1:
            return {2, 245};
        case 2:
        case 35:
            return {1, 246};
        case 36:
            return {2, 246};
        default:
            return {0, 247};
    }
}

bool isKey(QRgb c) {
    return (c & 0xFFFFFF) == 0xFF00FF;
}

std::uint32_t le32(const QByteArray& b, int at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[at + i]);
    return v;
}

class SkinFile : public testing::Test {
  protected:
    void SetUp() override {
        QFile f(kSkinPath);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << kSkinPath.toStdString();
        bytes = f.readAll();
        skin = QImage(kSkinPath, "BMP").convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(skin.isNull());
    }
    QByteArray bytes;
    QImage skin;
};

// Mean absolute channel difference between two faces.
double faceDistance(const QImage& skin, int cell, int bandA, int bandB) {
    const QRect a = Skin::cellSource(cell, bandA), b = Skin::cellSource(cell, bandB);
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = skin.pixel(a.x() + x, a.y() + y), q = skin.pixel(b.x() + x, b.y() + y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

}  // namespace

TEST_F(SkinFile, IsAnUncompressed24BitBitmapOf518By152) {
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(le32(bytes, 18), 518u);
    EXPECT_EQ(le32(bytes, 22), 152u);  // positive: bottom-up rows
    EXPECT_EQ(le32(bytes, 28) & 0xFFFF, 24u);
    EXPECT_EQ(le32(bytes, 30), 0u);  // BI_RGB
    const std::uint32_t rowBytes = (518 * 3 + 3) / 4 * 4;
    EXPECT_GE(static_cast<std::uint32_t>(bytes.size()), le32(bytes, 10) + 152 * rowBytes);
    EXPECT_EQ(skin.size(), QSize(518, 152));
}

TEST_F(SkinFile, KeyColourOnlyInTheCornersOfEveryBand) {
    int keys = 0;
    for (int y = 0; y < skin.height(); ++y) {
        const int row = y % SkinLayout::kBandHeight;
        const auto [left, right] = expectedSpan(row);
        for (int x = 0; x < skin.width(); ++x) {
            // The toolbar column this skin column lands on, if any.
            const int wx = x < 192 ? x : x >= 462 ? x - 270 : -1;
            const bool corner = wx >= 0 && (wx < left || wx > right);
            keys += isKey(skin.pixel(x, y));
            ASSERT_EQ(isKey(skin.pixel(x, y)), corner) << "skin pixel " << x << "," << y;
        }
    }
    EXPECT_EQ(keys, 4 * 23);
}

TEST_F(SkinFile, BandZeroCutsTheToolbarOutline) {
    const QRegion outline = WindowOutline::build(skin, SkinLayout::kKeyColour);
    int pixels = 0;
    for (int y = 0; y < 38; ++y) {
        const auto [left, right] = expectedSpan(y);
        SCOPED_TRACE(testing::Message() << "row " << y);
        EXPECT_EQ(outline.intersected(QRect(0, y, 248, 1)), QRegion(left, y, right - left + 1, 1));
        pixels += right - left + 1;
    }
    EXPECT_EQ(pixels, 248 * 38 - 23);
    // Runs merged: rows 0, 1, 2, 3 to 34, 35, 36, 37; not one rectangle per pixel.
    EXPECT_EQ(outline.rectCount(), 7);
}

TEST_F(SkinFile, BothSeamsShowTheSamePixelsAboveTheButtons) {
    for (int y = 0; y < SkinLayout::kCellTop; ++y)
        for (int x = SkinLayout::kPaintSeam; x < SkinLayout::kOutlineSeam; ++x)
            ASSERT_EQ(skin.pixel(x, y), skin.pixel(x + SkinLayout::kRightPartOffset, y))
                << x << "," << y;
}

TEST_F(SkinFile, EveryFaceHasThreeClearlyDifferentLooksAndAGreyOne) {
    for (int cell = 1; cell < SkinLayout::kCellCount; ++cell) {
        SCOPED_TRACE(testing::Message() << "cell " << cell);
        EXPECT_GT(faceDistance(skin, cell, SkinLayout::kNormal, SkinLayout::kHover), 10.0);
        EXPECT_GT(faceDistance(skin, cell, SkinLayout::kNormal, SkinLayout::kPressed), 10.0);
        EXPECT_GT(faceDistance(skin, cell, SkinLayout::kHover, SkinLayout::kPressed), 10.0);
        const QRect grey = Skin::cellSource(cell, SkinLayout::kGreyed);
        for (int y = grey.top(); y <= grey.bottom(); ++y)
            for (int x = grey.left(); x <= grey.right(); ++x) {
                const QRgb p = skin.pixel(x, y);
                ASSERT_LE(std::abs(qRed(p) - qBlue(p)), 8) << x << "," << y;
                ASSERT_LE(std::abs(qRed(p) - qGreen(p)), 8) << x << "," << y;
            }
    }
    // Faces of different buttons are different pictures.
    for (int a = 1; a < SkinLayout::kCellCount; ++a)
        for (int b = a + 1; b < SkinLayout::kCellCount; ++b) {
            const QImage fa = skin.copy(Skin::cellSource(a, 0)),
                         fb = skin.copy(Skin::cellSource(b, 0));
            EXPECT_NE(fa, fb) << "cells " << a << " and " << b;
        }
}

TEST_F(SkinFile, TheEmbeddedSkinIsTheCommittedFile) {
    const QImage embedded = Skin::load();
    ASSERT_FALSE(embedded.isNull());
    EXPECT_EQ(embedded, skin);
}
