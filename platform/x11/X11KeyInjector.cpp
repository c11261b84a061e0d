#include "platform/x11/X11KeyInjector.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace platform {

X11KeyInjector::X11KeyInjector(_XDisplay* display) : m_display(display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    m_hasXTest = display && XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor);
}

bool X11KeyInjector::SendControlChord(char letter) {
    if (!m_hasXTest || letter < 'a' || letter > 'z') return false;
    // Keysyms for 'a'..'z' equal their ASCII codes. A layout without the key (or without
    // Control_L) has no keycode for it: send nothing rather than a stray key.
    const KeyCode control = XKeysymToKeycode(m_display, XK_Control_L);
    const KeyCode key = XKeysymToKeycode(m_display, static_cast<KeySym>(letter));
    if (control == 0 || key == 0) return false;
    XTestFakeKeyEvent(m_display, control, True, CurrentTime);
    XTestFakeKeyEvent(m_display, key, True, CurrentTime);
    XTestFakeKeyEvent(m_display, key, False, CurrentTime);
    XTestFakeKeyEvent(m_display, control, False, CurrentTime);
    XSync(m_display, False);
    return true;
}

}  // namespace platform
