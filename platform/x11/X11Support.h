#pragma once
// Small RAII helpers for Xlib, used only inside platform/x11/.

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace platform::x11 {

struct XFreeDeleter {
    void operator()(void* p) const {
        if (p) XFree(p);
    }
};
template <typename T>
using XPtr = std::unique_ptr<T, XFreeDeleter>;

// The atoms this layer uses, interned once per connection in one round trip.
struct Atoms {
    enum Id {
        NET_CLIENT_LIST_STACKING,
        NET_WM_NAME,
        UTF8_STRING,
        NET_WM_STATE,
        NET_WM_STATE_ABOVE,
        NET_WM_STATE_HIDDEN,
        NET_ACTIVE_WINDOW,
        NET_SUPPORTING_WM_CHECK,
        WM_STATE,
        NET_WM_PID,
        kCount
    };
    explicit Atoms(Display* display);
    Atom operator[](Id id) const { return m_atoms[id]; }

private:
    std::array<Atom, kCount> m_atoms{};
};

// Reads one window property in its constructor and frees it in its destructor.
class X11Property {
public:
    X11Property(Display* display, Window window, Atom property, Atom type = AnyPropertyType,
                long maxLongs = 1 << 16);
    bool Ok() const { return m_data != nullptr; }
    Atom Type() const { return m_type; }
    int Format() const { return m_format; }
    unsigned long Count() const { return m_count; }
    std::vector<unsigned long> Longs() const;  // format 32 items
    std::string Bytes() const;                  // format 8 data

private:
    XPtr<unsigned char> m_data;
    Atom m_type = None;
    int m_format = 0;
    unsigned long m_count = 0;
};

// Swallows X errors (a window that vanished meanwhile) while it lives, and restores the
// previous handler afterwards. Not reentrant across threads: Xlib error handlers are global.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    bool HadError();  // syncs, then tells whether any request failed
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

private:
    static int Handler(Display*, XErrorEvent*);
    Display* m_display;
    int (*m_previous)(Display*, XErrorEvent*);
    int m_errorsBefore;
};

}  // namespace platform::x11
