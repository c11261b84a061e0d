#include "platform/x11/X11Support.h"

#include <atomic>

namespace platform::x11 {
namespace {
std::atomic<int> g_errorCount{0};
}

Atoms::Atoms(Display* display) {
    static const char* const kNames[kCount] = {
        "_NET_CLIENT_LIST_STACKING", "_NET_WM_NAME",       "UTF8_STRING",
        "_NET_WM_STATE",             "_NET_WM_STATE_ABOVE", "_NET_WM_STATE_HIDDEN",
        "_NET_ACTIVE_WINDOW",        "_NET_SUPPORTING_WM_CHECK", "WM_STATE",
        "_NET_WM_PID"};
    XInternAtoms(display, const_cast<char**>(kNames), kCount, False, m_atoms.data());
}

X11Property::X11Property(Display* display, Window window, Atom property, Atom type,
                         long maxLongs) {
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, maxLongs, False, type, &m_type,
                           &m_format, &m_count, &after, &data) == Success) {
        m_data.reset(data);
    }
    if (m_type == None) m_data.reset();
}

std::vector<unsigned long> X11Property::Longs() const {
    if (!m_data || m_format != 32) return {};
    // Xlib hands 32-bit items back as longs.
    auto* items = reinterpret_cast<const unsigned long*>(m_data.get());
    return std::vector<unsigned long>(items, items + m_count);
}

std::string X11Property::Bytes() const {
    if (!m_data || m_format != 8) return {};
    return std::string(reinterpret_cast<const char*>(m_data.get()), m_count);
}

X11ErrorTrap::X11ErrorTrap(Display* display)
    : m_display(display), m_errorsBefore(g_errorCount.load()) {
    XSync(m_display, False);
    m_previous = XSetErrorHandler(&X11ErrorTrap::Handler);
}

X11ErrorTrap::~X11ErrorTrap() {
    XSync(m_display, False);
    XSetErrorHandler(m_previous);
}

bool X11ErrorTrap::HadError() {
    XSync(m_display, False);
    return g_errorCount.load() != m_errorsBefore;
}

int X11ErrorTrap::Handler(Display*, XErrorEvent*) {
    ++g_errorCount;
    return 0;
}

}  // namespace platform::x11
