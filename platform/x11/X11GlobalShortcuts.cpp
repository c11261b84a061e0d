#include "platform/x11/X11GlobalShortcuts.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QObject>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <memory>
#include <vector>

#include "platform/x11/X11Support.h"

namespace platform {
namespace {

constexpr xcb_timestamp_t kRepeatGapMs = 1000;
constexpr unsigned kModifierBits =
    ShiftMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask;

KeySym ChordKeysym(char32_t key) {
    static constexpr struct {
        char32_t key;
        KeySym sym;
    } kNamed[] = {
        {kKeyEscape, XK_Escape}, {kKeyTab, XK_Tab},        {kKeyBackspace, XK_BackSpace},
        {kKeyReturn, XK_Return}, {kKeyEnter, XK_KP_Enter}, {kKeyInsert, XK_Insert},
        {kKeyDelete, XK_Delete}, {kKeyPause, XK_Pause},    {kKeyPrint, XK_Print},
        {kKeyHome, XK_Home},     {kKeyEnd, XK_End},        {kKeyLeft, XK_Left},
        {kKeyUp, XK_Up},         {kKeyRight, XK_Right},    {kKeyDown, XK_Down},
        {kKeyPageUp, XK_Prior},  {kKeyPageDown, XK_Next},  {kKeyMenu, XK_Menu},
    };
    if (key >= kKeyF1 && key < kKeyF1 + kMaxFunctionKey) return XK_F1 + (key - kKeyF1);
    for (const auto& named : kNamed)
        if (named.key == key) return named.sym;
    if (key >= 0x110000) return NoSymbol;
    // Latin-1 keysyms are their code points; the rest of Unicode has keysyms of its own.
    if ((key >= 0x20 && key <= 0x7E) || (key >= 0xA0 && key <= 0xFF)) return key;
    return 0x01000000 | key;
}

struct Binding {
    int id;
    KeyCode keycode;
    unsigned mask;
    bool down = false;
    xcb_timestamp_t pressedAt = 0;
    xcb_timestamp_t releasedAt = 0;
};

}  // namespace

struct X11GlobalShortcuts::Impl final : QAbstractNativeEventFilter {
    Display* display;
    Window root;
    unsigned altMask = Mod1Mask;
    unsigned metaMask = Mod4Mask;
    unsigned numLockMask = 0;
    bool filtering = false;
    std::vector<Binding> bindings;
    std::function<void(int)> listener;
    QObject context;  // queued calls die with it

    explicit Impl(Display* d) : display(d), root(d ? DefaultRootWindow(d) : None) {
        if (!display) return;
        FindModifiers();
        auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (x11 && x11->display() == display) {
            qGuiApp->installNativeEventFilter(this);
            filtering = true;
        }
    }

    ~Impl() override {
        if (filtering && qGuiApp) qGuiApp->removeNativeEventFilter(this);
        if (!display) return;
        x11::X11ErrorTrap trap(display);
        for (const Binding& b : bindings)
            for (const unsigned variant : LockVariants(b.mask))
                XUngrabKey(display, b.keycode, variant, root);
    }

    // Alt, Meta and Num Lock sit on whichever of Mod1 to Mod5 the keyboard map gives them.
    void FindModifiers() {
        std::unique_ptr<XModifierKeymap, decltype(&XFreeModifiermap)> map(
            XGetModifierMapping(display), &XFreeModifiermap);
        if (!map) return;
        unsigned alt = 0, meta = 0;
        for (int index = Mod1MapIndex; index <= Mod5MapIndex; ++index) {
            for (int k = 0; k < map->max_keypermod; ++k) {
                const KeyCode code = map->modifiermap[index * map->max_keypermod + k];
                if (code == 0) continue;
                const KeySym sym = XkbKeycodeToKeysym(display, code, 0, 0);
                if (sym == XK_Num_Lock) numLockMask = 1u << index;
                if (sym == XK_Alt_L || sym == XK_Alt_R) alt = 1u << index;
                if (sym == XK_Super_L || sym == XK_Super_R) meta = 1u << index;
            }
        }
        if (alt) altMask = alt;
        if (meta) metaMask = meta;
    }

    // A passive grab matches the modifier state exactly, so Caps Lock or Num Lock being on
    // would defeat it: grab every combination of the two.
    std::vector<unsigned> LockVariants(unsigned mask) const {
        std::vector<unsigned> variants{mask, mask | LockMask};
        if (numLockMask && numLockMask != LockMask) {
            variants.push_back(mask | numLockMask);
            variants.push_back(mask | LockMask | numLockMask);
        }
        return variants;
    }

    unsigned XMask(unsigned modifiers) const {
        unsigned mask = 0;
        if (modifiers & kModShift) mask |= ShiftMask;
        if (modifiers & kModControl) mask |= ControlMask;
        if (modifiers & kModAlt) mask |= altMask;
        if (modifiers & kModMeta) mask |= metaMask;
        return mask;
    }

    Grab Register(int id, const KeyChord& chord) {
        if (!display) return Grab::NoKey;
        const KeySym sym = ChordKeysym(chord.key);
        const KeyCode keycode = sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym);
        if (keycode == 0) return Grab::NoKey;
        const unsigned mask = XMask(chord.modifiers);
        const std::vector<unsigned> variants = LockVariants(mask);
        // A grab another client holds fails with BadAccess, reported asynchronously: the trap
        // syncs before it answers.
        x11::X11ErrorTrap trap(display);
        for (const unsigned variant : variants)
            XGrabKey(display, keycode, variant, root, False, GrabModeAsync, GrabModeAsync);
        if (trap.HadError()) {
            // Ungrabbing what another client holds does nothing, so this drops only ours.
            for (const unsigned variant : variants) XUngrabKey(display, keycode, variant, root);
            return Grab::Taken;
        }
        bindings.push_back({id, keycode, mask});
        return Grab::Ok;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const int type = event->response_type & 0x7F;
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (key->event != root) return false;
        const unsigned state = key->state & kModifierBits & ~numLockMask;
        for (Binding& b : bindings) {
            if (b.keycode != key->detail) continue;
            if (type == XCB_KEY_RELEASE) {
                b.down = false;
                b.releasedAt = key->time;
                continue;
            }
            if (state != b.mask) continue;
            // Key repeat: a release and press that share one timestamp (the server's plain
            // repeat), or presses while down (detectable repeat). Repeats follow one another
            // closely, so a release lost to another client's grab blocks no later press.
            const bool repeat = (b.releasedAt != 0 && key->time == b.releasedAt) ||
                                (b.down && key->time - b.pressedAt < kRepeatGapMs);
            b.down = true;
            b.pressedAt = key->time;
            if (repeat) return true;
            const int id = b.id;
            // Handlers pump events (the read commands' delays); never inside Qt's dispatch of
            // this one.
            QMetaObject::invokeMethod(
                &context,
                [this, id] {
                    if (listener) listener(id);
                },
                Qt::QueuedConnection);
            return true;
        }
        return false;
    }
};

X11GlobalShortcuts::X11GlobalShortcuts(_XDisplay* display)
    : m_impl(std::make_unique<Impl>(display)) {}
X11GlobalShortcuts::~X11GlobalShortcuts() = default;

GlobalShortcuts::Grab X11GlobalShortcuts::Register(int id, const KeyChord& chord) {
    return m_impl->Register(id, chord);
}

void X11GlobalShortcuts::SetListener(std::function<void(int id)> listener) {
    m_impl->listener = std::move(listener);
}

}  // namespace platform
