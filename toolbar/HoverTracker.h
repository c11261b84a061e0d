#pragma once

// Which toolbar button shows the hover look. At most one does; every change names the
// buttons whose look changed, so only those are redrawn. Buttons are numbered by their
// creation order, -1 meaning none.
class HoverTracker {
  public:
    struct Change {
        int lost = -1;    // redraw in the normal look
        int gained = -1;  // redraw in the hover look
        bool any() const { return lost >= 0 || gained >= 0; }
    };

    // The cursor is over this button (entered it, possibly straight from a neighbour).
    Change enter(int button);
    // This button reports that the cursor left it. A late report from a button that is no
    // longer the hover button changes nothing, so it cannot clear its neighbour's look.
    Change leave(int button);
    // The cursor is over the toolbar's own background (or left the toolbar).
    Change background();

    int current() const { return m_nCurrent; }

  private:
    int m_nCurrent = -1;
};
