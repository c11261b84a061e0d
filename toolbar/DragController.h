#pragma once

#include <QPoint>
#include <Qt>

#include <optional>

// Moving the captionless toolbar by its logo. The anchor is the press point in client
// coordinates; while dragging, the window's top-left is kept at cursor - anchor, so the
// cursor stays on the same spot of the logo.
class DragController {
  public:
    // A left press on the toolbar's own background left of the handle's edge starts a drag.
    // Returns whether it did.
    bool press(QPoint clientPos, Qt::MouseButton button);

    // The new top-left for the window, or nothing when no drag is going on. Positions come
    // from the global cursor rather than client coordinates: under X11 a window move is
    // asynchronous, and client coordinates taken against a stale window position would
    // make the window jitter or run away. A move without the left button held ends a drag
    // whose release was lost (taken by another grab), instead of letting the toolbar stick
    // to the cursor.
    std::optional<QPoint> move(QPoint globalPos, Qt::MouseButtons held);

    // Returns whether a drag ended.
    bool release(Qt::MouseButton button);

    bool dragging() const { return m_bDragging; }
    QPoint anchor() const { return m_ptDragAnchor; }

    // The move cursor shows over the handle one column short of where a press starts a drag.
    static bool showsMoveCursor(QPoint clientPos);

  private:
    bool m_bDragging = false;
    QPoint m_ptDragAnchor;
};
