// The images written: the skin strip with its corners cut, the icon and the language-selection
// button pictures.

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>

#include "SkinGenerator.h"

namespace skin {

// A language-selection button picture: the language's badge and its name in black on the
// key colour. The drawing is anti-aliased over a light button face first, so its edges blend
// into the face the dialog puts in place of the key colour; only untouched pixels become key.
QImage SkinGenerator::languageButton(const engine::LanguageInfo& lang) {
    QImage ink(kLanguageButtonWidth, kLanguageButtonHeight, QImage::Format_ARGB32_Premultiplied);
    ink.fill(Qt::transparent);
    QPainter p(&ink);
    p.save();
    p.translate(8, 0);
    paintLanguageBadge(p, lang.number, kNormal);
    p.restore();

    QFont f("Noto Sans CJK JP");
    f.setPixelSize(15);
    f.setWeight(QFont::Bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    p.setFont(f);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QString name = QString::fromUtf8(lang.nativeName);
    const QRectF box = QFontMetricsF(f).tightBoundingRect(name);
    p.setPen(Qt::black);
    p.drawText(QPointF(44, qRound(kLanguageButtonHeight / 2.0 - box.center().y())), name);
    p.end();

    const QColor face(0xf0, 0xf0, 0xf0);
    QImage out(ink.size(), QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(ink.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = src[x];
            const int a = qAlpha(c);
            if (a == 0) {
                dst[x] = kKey;
                continue;
            }
            // Premultiplied: colour + face * (1 - alpha).
            auto mix = [a](int channel, int faceChannel) {
                return channel + (faceChannel * (255 - a) + 127) / 255;
            };
            dst[x] = qRgb(mix(qRed(c), face.red()), mix(qGreen(c), face.green()),
                          mix(qBlue(c), face.blue()));
            if ((dst[x] & 0xFFFFFF) == (kKey & 0xFFFFFF)) dst[x] = qRgb(0xFE, 0x00, 0xFF);
        }
    }
    return out;
}

QImage SkinGenerator::strip(Look look) {
    QImage band(L::kSkinWidth, L::kBandHeight, QImage::Format_RGB32);
    QPainter p(&band);
    paintBar(p);
    paintLogo(p);
    for (int cell = 1; cell < L::kCellCount; ++cell) paintCell(p, cell, look);
    p.end();
    return band;
}

QImage SkinGenerator::greyed(const QImage& normal) {
    QImage out = normal.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const int g = qGray(line[x]);
            // Flattened towards the bar's mid grey: clearly "not available".
            const int v = (g * 5 + 0x44 * 3) / 8;
            line[x] = qRgb(v, v, v + 4);
        }
    }
    return out;
}

// Cuts the corners to the key colour and gives the remaining edge a one-pixel border that
// follows the stepped outline. Window columns map onto the strip through the right-hand
// offset, so the right corners land on the strip's last three columns.
void SkinGenerator::cutCorners(QImage& band, const QColor& border) {
    auto inside = [](int wx, int y) {
        if (y < 0 || y >= L::kToolbarHeight || wx < 0 || wx >= L::kToolbarWidth) return false;
        return wx >= kRowSpans[y].first && wx <= kRowSpans[y].second;
    };
    auto toSkin = [](int wx) { return L::outlineSourceColumn(wx); };
    auto edgeColumns = {0, 1, 2, 3, 4, 244, 245, 246, 247};

    for (int y = 0; y < L::kBandHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(band.scanLine(y));
        // The strip's own outer border: top, bottom and both ends.
        for (int x = 0; x < L::kSkinWidth; ++x) {
            if (y == 0 || y == L::kBandHeight - 1 || x == 0 || x == L::kSkinWidth - 1)
                line[x] = border.rgb();
        }
        for (int wx : edgeColumns) {
            if (!inside(wx, y)) {
                line[toSkin(wx)] = kKey;
            } else if (!inside(wx - 1, y) || !inside(wx + 1, y) || !inside(wx, y - 1) ||
                       !inside(wx, y + 1)) {
                line[toSkin(wx)] = border.rgb();
            } else if (wx <= 2 || wx >= 245) {
                // Soften the inner step of each corner.
                const bool diag = !inside(wx - 1, y - 1) || !inside(wx + 1, y - 1) ||
                                  !inside(wx - 1, y + 1) || !inside(wx + 1, y + 1);
                if (diag) {
                    const QColor c = QColor::fromRgb(line[toSkin(wx)]);
                    line[toSkin(wx)] =
                        qRgb((c.red() + border.red()) / 2, (c.green() + border.green()) / 2,
                             (c.blue() + border.blue()) / 2);
                }
            }
        }
    }
}

QImage SkinGenerator::skin() {
    QImage skin(L::kSkinWidth, L::kSkinHeight, QImage::Format_RGB32);
    const QImage normal = strip(kNormal);
    const std::array<QImage, 4> bands = {normal, strip(kHover), strip(kPressed), greyed(normal)};
    QPainter p(&skin);
    for (int b = 0; b < 4; ++b) {
        QImage band = bands[b];
        // Anti-aliasing must never produce the key colour by chance, or it would punch a
        // hole into the outline.
        for (int y = 0; y < band.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(band.scanLine(y));
            for (int x = 0; x < band.width(); ++x)
                if ((line[x] & 0xFFFFFF) == (kKey & 0xFFFFFF)) line[x] = qRgb(0xFE, 0x00, 0xFF);
        }
        const int g = qGray(kBarBorder.rgb());
        cutCorners(band, b == L::kGreyed ? QColor(g, g, g) : kBarBorder);
        p.drawImage(0, L::bandTop(b), band);
    }
    p.end();
    return skin;
}

QImage SkinGenerator::icon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    if (size >= 32) {
        // The toolbar's slate as a rounded tile, the emblem on it.
        const QRectF tile(s * 0.03, s * 0.03, s * 0.94, s * 0.94);
        QLinearGradient g(0, tile.top(), 0, tile.bottom());
        g.setColorAt(0, kBarTop.lighter(110));
        g.setColorAt(1, kBarBottom);
        p.setPen(QPen(kBarBorder, qMax<qreal>(1.0, s / 64)));
        p.setBrush(g);
        p.drawRoundedRect(tile, s * 0.2, s * 0.2);
        paintEmblem(p, QPointF(s * 0.5, s * 0.5), s * 0.36);
    } else {
        paintEmblem(p, QPointF(s * 0.5, s * 0.5), s * 0.5);
    }
    p.end();
    return img;
}

}  // namespace skin
