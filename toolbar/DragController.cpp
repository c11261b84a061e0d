#include "toolbar/DragController.h"

#include "toolbar/SkinLayout.h"

bool DragController::press(QPoint clientPos, Qt::MouseButton button) {
    if (button != Qt::LeftButton || clientPos.x() < 0 ||
        clientPos.x() >= SkinLayout::kDragHandleWidth)
        return false;
    m_bDragging = true;
    m_ptDragAnchor = clientPos;
    return true;
}

std::optional<QPoint> DragController::move(QPoint globalPos, Qt::MouseButtons held) {
    if (!m_bDragging) return std::nullopt;
    if (!(held & Qt::LeftButton)) {
        m_bDragging = false;
        return std::nullopt;
    }
    return globalPos - m_ptDragAnchor;
}

bool DragController::release(Qt::MouseButton button) {
    if (button != Qt::LeftButton || !m_bDragging) return false;
    m_bDragging = false;
    return true;
}

bool DragController::showsMoveCursor(QPoint clientPos) {
    return clientPos.x() >= 0 && clientPos.x() < SkinLayout::kMoveCursorWidth;
}
