#include "platform/DisplayPlatform.h"

#include <strings.h>
#include <algorithm>
#include <cstdlib>

namespace platform {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// QT_QPA_PLATFORM is a ';'-separated list Qt tries in order, each entry "name[:options]";
// plugin names match without regard to case.
bool NamesXcb(std::string_view choice) {
    while (!choice.empty()) {
        const size_t end = std::min(choice.find(';'), choice.size());
        std::string_view entry = choice.substr(0, end);
        entry = entry.substr(0, std::min(entry.find(':'), entry.size()));
        if (entry.size() == 3 && strncasecmp(entry.data(), "xcb", 3) == 0) return true;
        choice.remove_prefix(std::min(end + 1, choice.size()));
    }
    return false;
}

std::string Prefix(std::string_view program) {
    return std::string(program) + ": ";
}

constexpr const char* kRunsOnX11 =
    "this program runs on X11 only (through XWayland on a Wayland desktop): unset "
    "QT_QPA_PLATFORM or set it to xcb";

}  // namespace

DisplayEnvironment DisplayEnvironment::FromProcess() {
    return {Env("QT_QPA_PLATFORM"), Env("DISPLAY"), Env("WAYLAND_DISPLAY"),
            Env("XDG_SESSION_TYPE")};
}

bool DisplayEnvironment::WaylandSession() const {
    return !waylandDisplay.empty() || sessionType == "wayland";
}

DisplayPlatformChoice ChooseDisplayPlatform(const DisplayEnvironment& env,
                                            std::string_view program) {
    using Start = DisplayPlatformChoice::Start;
    using Reason = DisplayPlatformChoice::Reason;
    if (!env.qtPlatform.empty() && !NamesXcb(env.qtPlatform))
        return {Start::Refuse, Reason::NotXcb,
                Prefix(program) + "QT_QPA_PLATFORM=" + env.qtPlatform +
                    " chooses a Qt platform other than X11's (xcb), and " + kRunsOnX11 + "."};
    if (env.display.empty() && env.WaylandSession())
        return {Start::Refuse, Reason::NoXWayland,
                Prefix(program) +
                    "this Wayland session has no X display (DISPLAY is not set) and the "
                    "program needs XWayland: install it (sudo apt install xwayland) and log in "
                    "again; GNOME and KDE Plasma then start it by themselves, other compositors "
                    "when asked (weston --xwayland, sway's \"xwayland enable\")."};
    if (env.display.empty())
        return {Start::Refuse, Reason::NoDisplay,
                Prefix(program) + "no X display (DISPLAY is not set)."};
    return {env.qtPlatform.empty() ? Start::OnXcb : Start::AsChosen, Reason::None, {}};
}

std::string UnreachableDisplayMessage(const DisplayEnvironment& env, std::string_view program) {
    std::string line = Prefix(program) + "cannot connect to the X display \"" + env.display + "\"";
    if (env.WaylandSession()) line += " (this Wayland session's XWayland does not answer)";
    return line + ".";
}

std::string NotX11Message(const DisplayEnvironment& env, std::string_view program,
                          std::string_view started) {
    return Prefix(program) + "Qt started on its \"" + std::string(started) +
           "\" platform (QT_QPA_PLATFORM=" + env.qtPlatform + "), but " + kRunsOnX11 + ".";
}

std::string WaylandLimitsMessage(std::string_view program) {
    return Prefix(program) +
           "Wayland session, running through XWayland: the selection of native Wayland "
           "programs is read through AT-SPI or the compositor's data control, and "
           "`selvarine --read-selection` (or --stop, ...) bound to a key in the desktop's own "
           "keyboard settings reaches the toolbar from any window; the toolbar's own shortcuts "
           "work from any window where the desktop's global-shortcuts portal binds them, else "
           "only while an X11 window has the focus, and the copy chord reaches only X11 "
           "programs.";
}

}  // namespace platform
