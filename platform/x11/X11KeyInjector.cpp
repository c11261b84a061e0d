#include "platform/x11/X11KeyInjector.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <memory>

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

bool X11KeyInjector::ModifiersHeld() {
    if (!m_display) return false;
    // The modifier map says which keys act as modifiers on this keyboard; XQueryKeymap gives
    // the keys physically down, unlike the modifier state of an event, which lags behind.
    std::unique_ptr<XModifierKeymap, decltype(&XFreeModifiermap)> map(
        XGetModifierMapping(m_display), &XFreeModifiermap);
    if (!map) return false;
    char down[32] = {};
    XQueryKeymap(m_display, down);
    for (int index = 0; index < 8; ++index) {
        if (index == LockMapIndex) continue;
        for (int k = 0; k < map->max_keypermod; ++k) {
            const KeyCode code = map->modifiermap[index * map->max_keypermod + k];
            if (code == 0 || !(down[code / 8] & (1 << (code % 8)))) continue;
            // Num Lock sits on a modifier too, but holding it changes nothing for a chord.
            if (XkbKeycodeToKeysym(m_display, code, 0, 0) == XK_Num_Lock) continue;
            return true;
        }
    }
    return false;
}

}  // namespace platform
