#include "toolbar/HoverTracker.h"

HoverTracker::Change HoverTracker::enter(int button) {
    Change change;
    if (button == m_nCurrent) return change;
    change.lost = m_nCurrent;
    change.gained = button;
    m_nCurrent = button;
    return change;
}

HoverTracker::Change HoverTracker::leave(int button) {
    Change change;
    if (button < 0 || button != m_nCurrent) return change;
    change.lost = m_nCurrent;
    m_nCurrent = -1;
    return change;
}

HoverTracker::Change HoverTracker::background() {
    Change change;
    change.lost = m_nCurrent;
    m_nCurrent = -1;
    return change;
}
