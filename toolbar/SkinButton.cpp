#include "toolbar/SkinButton.h"

#include <QCursor>
#include <QPainter>

#include "toolbar/Skin.h"
#include "toolbar/SkinLayout.h"

SkinButton::SkinButton(QImage skin, std::function<int()> cell, QWidget* parent)
    : QAbstractButton(parent), m_skin(std::move(skin)), m_cell(std::move(cell)) {
    setFixedSize(SkinLayout::kCellWidth, SkinLayout::kCellHeight);
    // The toolbar shows the move cursor over its logo; a button must not inherit it.
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int SkinButton::cell() const {
    const int c = m_cell ? m_cell() : 0;
    return c >= 0 && c < SkinLayout::kCellCount ? c : 0;
}

int SkinButton::currentBand() const {
    if (isDown()) return SkinLayout::kPressed;
    // The real cursor rather than Qt's under-mouse flag: the look must be right even when an
    // enter or leave notification went missing.
    return rect().contains(mapFromGlobal(QCursor::pos())) ? SkinLayout::kHover
                                                          : SkinLayout::kNormal;
}

QSize SkinButton::sizeHint() const {
    return QSize(SkinLayout::kCellWidth, SkinLayout::kCellHeight);
}

void SkinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().button());
    if (m_skin.isNull()) return;
    p.drawImage(QPoint(0, 0), m_skin, Skin::cellSource(cell(), currentBand()));
}
