// The toolbar's faces: the bar, the logo, the language bubbles and the close button.

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>

#include "SkinGenerator.h"

namespace skin {

// Only the row matters for the bar, so every column of the strip carries the same
// background: the toolbar's two seams then join without a visible step.
void SkinGenerator::paintBar(QPainter& p) {
    QLinearGradient g(0, 0, 0, L::kBandHeight);
    g.setColorAt(0.0, kBarTop);
    g.setColorAt(0.45, kBarTop.darker(118));
    g.setColorAt(1.0, kBarBottom);
    p.fillRect(QRect(0, 0, L::kSkinWidth, L::kBandHeight), g);
    p.fillRect(QRect(0, 1, L::kSkinWidth, 1), kBarHighlight);
    // A faint groove under the top rail frames the row of bubbles.
    p.fillRect(QRect(0, 8, L::kSkinWidth, 1), QColor(0, 0, 0, 40));
    p.fillRect(QRect(0, 9, L::kSkinWidth, 1), QColor(255, 255, 255, 14));
}

void SkinGenerator::paintEmblem(QPainter& p, QPointF c, qreal r) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawEllipse(c + QPointF(0, r * 0.08), r, r);

    QLinearGradient g(c.x(), c.y() - r, c.x(), c.y() + r);
    g.setColorAt(0.0, QColor(0x3d, 0xd9, 0xc1));
    g.setColorAt(1.0, QColor(0x1b, 0x6c, 0xc8));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x0e, 0x3c, 0x6e), qMax<qreal>(1.0, r / 14)));
    p.drawEllipse(c, r - 0.5, r - 0.5);

    // Gloss on the upper half.
    QPainterPath disc;
    disc.addEllipse(c, r - 1.5, r - 1.5);
    QPainterPath upper;
    upper.addEllipse(QPointF(c.x(), c.y() - r * 0.55), r * 0.85, r * 0.5);
    QLinearGradient gl(0, c.y() - r, 0, c.y());
    gl.setColorAt(0, QColor(255, 255, 255, 110));
    gl.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gl);
    p.drawPath(disc.intersected(upper));

    // A voice: a small mouth dot and three widening waves.
    const QPointF o(c.x() - r * 0.42, c.y());
    const QColor ink(255, 255, 255);
    p.setBrush(ink);
    p.drawEllipse(o, r * 0.16, r * 0.16);
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        const qreal rr = r * (0.18 + 0.235 * i);
        QPen pen(QColor(255, 255, 255, 255 - 45 * (i - 1)), qMax<qreal>(1.4, r * 0.13));
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.drawArc(QRectF(o.x() - rr, o.y() - rr, 2 * rr, 2 * rr), -48 * 16, 96 * 16);
    }
    p.restore();
}

void SkinGenerator::paintLogo(QPainter& p) {
    paintEmblem(p, QPointF(20.5, 19.5), 14.5);

    // Grip dots: the logo is also the handle the toolbar is dragged by.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 2; ++col) {
            const QPointF d(39.5 + 3 * col, 13.5 + 4 * row);
            p.setBrush(QColor(0, 0, 0, 110));
            p.drawEllipse(d + QPointF(0.5, 0.5), 1.0, 1.0);
            p.setBrush(QColor(0xa9, 0xb4, 0xc6));
            p.drawEllipse(d, 0.9, 0.9);
        }
    }

    // The slanted separator between the logo and the buttons: a cut with a lit edge.
    p.setPen(QPen(QColor(0, 0, 0, 150), 1.2));
    p.drawLine(QPointF(53.0, 2.5), QPointF(47.5, 35.5));
    p.setPen(QPen(QColor(255, 255, 255, 60), 1.0));
    p.drawLine(QPointF(54.3, 2.5), QPointF(48.8, 35.5));
    p.restore();
}

void SkinGenerator::paintBubble(QPainter& p, const QColor& base, Look look, const Mark& mark) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    // The plate behind the bubble is what tells hover and pressed apart at a glance.
    if (look != kNormal) {
        const QRectF plate(0.5, 0.5, L::kCellWidth - 1.0, L::kCellHeight - 2.0);
        if (look == kHover) {
            p.setPen(QPen(QColor(255, 255, 255, 70), 1.0));
            p.setBrush(QColor(255, 255, 255, 34));
        } else {
            p.setPen(QPen(QColor(0, 0, 0, 120), 1.0));
            p.setBrush(QColor(0, 0, 0, 70));
        }
        p.drawRoundedRect(plate, 5, 5);
    }

    const qreal dy = look == kPressed ? 1.0 : 0.0;
    QPainterPath body;
    body.addRoundedRect(QRectF(1.5, 1.5 + dy, 23, 18), 6, 6);
    QPainterPath tail;
    tail.moveTo(6.0, 17.0 + dy);
    tail.lineTo(4.2, 24.2 + dy);
    tail.lineTo(12.5, 19.0 + dy);
    tail.closeSubpath();
    const QPainterPath bubble = body.united(tail).simplified();

    QColor face = base;
    if (look == kHover) face = base.lighter(122);
    if (look == kPressed) face = base.darker(118);

    if (look != kPressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 80));
        p.drawPath(bubble.translated(0, 1.2));
    }

    QLinearGradient g(0, 1.5 + dy, 0, 24 + dy);
    g.setColorAt(0.0, face.lighter(128));
    g.setColorAt(0.75, face);
    g.setColorAt(1.0, face.darker(112));
    p.setBrush(g);
    p.setPen(QPen(face.darker(185), 1.0));
    p.drawPath(bubble);

    QPainterPath gloss;
    gloss.addRoundedRect(QRectF(3.0, 2.5 + dy, 20, 7.5), 4, 4);
    QLinearGradient gg(0, 2.5 + dy, 0, 10 + dy);
    gg.setColorAt(0, QColor(255, 255, 255, look == kPressed ? 60 : 120));
    gg.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gg);
    p.drawPath(gloss);

    p.translate(0, dy);
    mark(p, face.darker(230));
    p.restore();
}

void SkinGenerator::paintCloseFace(QPainter& p, Look look) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal dy = look == kPressed ? 1.0 : 0.0;
    const QPointF c(13.0, 13.0 + dy);
    const qreal r = 10.5;

    if (look != kNormal) {
        const QRectF plate(0.5, 0.5, L::kCellWidth - 1.0, L::kCellHeight - 2.0);
        p.setPen(QPen(look == kHover ? QColor(255, 255, 255, 70) : QColor(0, 0, 0, 120), 1.0));
        p.setBrush(look == kHover ? QColor(255, 255, 255, 34) : QColor(0, 0, 0, 70));
        p.drawRoundedRect(plate, 5, 5);
    }
    if (look != kPressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 90));
        p.drawEllipse(c + QPointF(0, 1.2), r, r);
    }
    QColor face(0x50, 0x56, 0x60);
    if (look == kHover) face = QColor(0xc8, 0x3c, 0x3c);
    if (look == kPressed) face = QColor(0x8e, 0x24, 0x24);
    QLinearGradient g(0, c.y() - r, 0, c.y() + r);
    g.setColorAt(0, face.lighter(140));
    g.setColorAt(1, face.darker(120));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x16, 0x18, 0x1c), 1.0));
    p.drawEllipse(c, r, r);

    QPen shadow(QColor(0, 0, 0, 110), 2.6, Qt::SolidLine, Qt::RoundCap);
    QPen ink(QColor(255, 255, 255), 2.4, Qt::SolidLine, Qt::RoundCap);
    const qreal a = 4.2;
    for (int pass = 0; pass < 2; ++pass) {
        p.setPen(pass == 0 ? shadow : ink);
        const QPointF o(0, pass == 0 ? 0.8 : 0.0);
        p.drawLine(c + o + QPointF(-a, -a), c + o + QPointF(a, a));
        p.drawLine(c + o + QPointF(-a, a), c + o + QPointF(a, -a));
    }
    p.restore();
}

SkinGenerator::Mark SkinGenerator::glyph(const QString& text) {
    return [text](QPainter& p, const QColor&) {
        QFont f("Noto Sans CJK JP");
        f.setPixelSize(14);
        f.setWeight(QFont::Bold);
        f.setHintingPreference(QFont::PreferFullHinting);
        p.setFont(f);
        const QRectF ink = QFontMetricsF(f).tightBoundingRect(text);
        // Centre the ink, not the advance box, on whole pixels so stems stay sharp.
        const qreal x = qRound(12.5 - ink.center().x());
        const qreal y = qRound(10.5 - ink.center().y());
        // No drop shadow: at this size it fills the two-pixel counters of 日 and reads as
        // extra strokes.
        p.setPen(Qt::white);
        p.drawText(QPointF(x, y), text);
    };
}

void SkinGenerator::paintCell(QPainter& p, int cell, Look look) {
    p.save();
    p.translate(L::cellLeft(cell), L::kCellTop);

    auto shape = [](std::function<void(QPainter&)> draw) -> Mark {
        return [draw](QPainter& p, const QColor& shadow) {
            QColor s = shadow;
            s.setAlpha(140);
            p.save();
            p.translate(0, 0.9);
            p.setPen(Qt::NoPen);
            p.setBrush(s);
            draw(p);
            p.restore();
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            draw(p);
        };
    };

    switch (cell) {
        case 1:  // read the selection: pointer with a small play mark
            paintBubble(p, QColor(0xe9, 0x5f, 0x9f), look, shape([](QPainter& p) {
                            QPainterPath arrow;
                            arrow.moveTo(5.5, 4.0);
                            arrow.lineTo(5.5, 15.5);
                            arrow.lineTo(8.3, 12.9);
                            arrow.lineTo(10.3, 17.0);
                            arrow.lineTo(12.0, 16.2);
                            arrow.lineTo(10.1, 12.2);
                            arrow.lineTo(13.8, 12.2);
                            arrow.closeSubpath();
                            p.drawPath(arrow);
                            p.drawPolygon(QPolygonF{{14.5, 5.0}, {14.5, 12.5}, {20.5, 8.75}});
                        }));
            break;
        case 2:  // read the whole text
            paintBubble(p, QColor(0xe0, 0x44, 0x3c), look, shape([](QPainter& p) {
                            p.drawPolygon(QPolygonF{{9.5, 4.5}, {9.5, 16.0}, {18.5, 10.25}});
                        }));
            break;
        case 3:  // pause / resume
            paintBubble(p, QColor(0x1f, 0xb2, 0xcf), look, shape([](QPainter& p) {
                            p.drawRoundedRect(QRectF(8.5, 5.0, 3.2, 10.5), 0.8, 0.8);
                            p.drawRoundedRect(QRectF(14.3, 5.0, 3.2, 10.5), 0.8, 0.8);
                        }));
            break;
        case 4:  // stop
            paintBubble(p, QColor(0x1f, 0xb2, 0xcf), look, shape([](QPainter& p) {
                            p.drawRoundedRect(QRectF(8.0, 5.25, 10.0, 10.0), 1.5, 1.5);
                        }));
            break;
        case 5:  // settings: three sliders
            paintBubble(p, QColor(0x3c, 0xb0, 0x4e), look, shape([](QPainter& p) {
                            const qreal knobs[] = {10.0, 16.0, 12.5};
                            for (int i = 0; i < 3; ++i) {
                                const qreal y = 5.5 + 4.75 * i;
                                p.drawRoundedRect(QRectF(6.0, y - 0.75, 14.0, 1.5), 0.75, 0.75);
                                p.drawEllipse(QPointF(knobs[i], y), 1.9, 1.9);
                            }
                        }));
            break;
        case 17:
            paintCloseFace(p, look);
            break;
        default:
            if (cell < L::kFirstLanguageCell || cell >= L::kCloseCell) break;
            paintLanguageBadge(p, cell - L::kFirstLanguageCell, look);
    }
    p.restore();
}

// The speech bubble of language 0..10, in a 26 x 28 cell at the painter's origin.
void SkinGenerator::paintLanguageBadge(QPainter& p, int language, Look look) {
    static const QString kGlyphs = QString::fromUtf8("仏独伊西葡蘭露日英中韓");
    const QColor purple(0x8a, 0x5c, 0xc9);
    QColor base = purple;
    if (language == 7) base = QColor(0xe8, 0x7a, 0x10);
    if (language == 8) base = QColor(0x34, 0xa8, 0x53);
    if (language == 9) base = QColor(0xdb, 0x37, 0x37);
    if (language == 10) base = QColor(0x37, 0x6c, 0xd9);
    paintBubble(p, base, look, glyph(kGlyphs.mid(language, 1)));
}

}  // namespace skin
