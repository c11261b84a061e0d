#include "toolbar/Skin.h"

#include <QPainter>

#include "toolbar/SkinLayout.h"

// Static libraries do not run their resource initialisers on their own. Global scope:
// Q_INIT_RESOURCE declares the initialiser, which must not land in a namespace.
static void initToolbarResources() {
    static const bool once = [] {
        Q_INIT_RESOURCE(toolbar_assets);
        return true;
    }();
    (void)once;
}

QImage Skin::load() {
    initToolbarResources();
    QImage skin(QStringLiteral(":/selvarine/skin135.bmp"), "BMP");
    // The background paint and the faces copy it unscaled many times; one conversion here
    // keeps those copies plain memory moves.
    return skin.isNull() ? skin : skin.convertToFormat(QImage::Format_RGB32);
}

QIcon Skin::programIcon() {
    initToolbarResources();
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/selvarine/icon128-%1.png").arg(size), QSize(size, size));
    return icon;
}

QRect Skin::cellSource(int cell, int band) {
    return QRect(SkinLayout::cellLeft(cell), SkinLayout::bandTop(band) + SkinLayout::kCellTop,
                 SkinLayout::kCellWidth, SkinLayout::kCellHeight);
}

void Skin::paintBackground(QPainter& painter, const QImage& skin) {
    if (skin.isNull()) return;
    using L = SkinLayout;
    painter.drawImage(QPoint(0, 0), skin, QRect(0, 0, L::kPaintSeam, L::kToolbarHeight));
    const int right = L::kToolbarWidth - L::kPaintSeam;
    painter.drawImage(QPoint(L::kPaintSeam, 0), skin,
                      QRect(L::paintSourceColumn(L::kPaintSeam), 0, right, L::kToolbarHeight));
}
