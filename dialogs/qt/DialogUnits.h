#pragma once
// Dialog layouts are given in dialog units: a quarter of the dialog font's average character
// width across, an eighth of its height down.

#include <QFont>
#include <QFontMetricsF>
#include <QRect>

#include <algorithm>
#include <cmath>

struct DialogUnits {
    double x = 1.5, y = 1.5;  // pixels per unit

    static DialogUnits ForFont(const QFont& font) {
        const QFontMetricsF m(font);
        const QString alphabet =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        const double em = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 96.0 / 72.0;
        return {m.horizontalAdvance(alphabet) / alphabet.size() / 4.0, em / 8.0};
    }
    // No smaller than the given scale: keeps fixed-size pictures inside their controls when
    // the dialog font is small.
    DialogUnits AtLeast(double minX, double minY) const {
        return {std::max(x, minX), std::max(y, minY)};
    }
    QRect Rect(int left, int top, int width, int height) const {
        return QRect(int(std::lround(left * x)), int(std::lround(top * y)),
                     int(std::lround(width * x)), int(std::lround(height * y)));
    }
    QSize Size(int width, int height) const { return Rect(0, 0, width, height).size(); }
};
