#pragma once
// Which Qt platform a program that lives in the X11 window world starts on. On a Wayland
// desktop Qt prefers its Wayland platform, where the programs' windows, selections and keys
// are out of reach; XWayland gives the same desktop an X display, so the choice is made here,
// before Qt starts, from the environment alone.

#include <string>
#include <string_view>

namespace platform {

// The environment values the choice depends on; empty means unset.
struct DisplayEnvironment {
    std::string qtPlatform;      // QT_QPA_PLATFORM: the user's choice of Qt platform
    std::string display;         // DISPLAY
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string sessionType;     // XDG_SESSION_TYPE

    static DisplayEnvironment FromProcess();
    // A Wayland desktop, whether or not it offers an X display too.
    bool WaylandSession() const;
};

struct DisplayPlatformChoice {
    enum class Start {
        OnXcb,     // hand Qt "-platform xcb": the user chose nothing and an X display is set
        AsChosen,  // the user's choice names xcb; Qt picks from it
        Refuse,    // print the message and end
    };
    enum class Reason { None, NoDisplay, NoXWayland, NotXcb };
    Start start = Start::Refuse;
    Reason reason = Reason::None;
    std::string message;  // set when refusing: one line, prefixed with the program's name
};

// The choice for `program` (the name its messages start with).
DisplayPlatformChoice ChooseDisplayPlatform(const DisplayEnvironment& env,
                                            std::string_view program);

// The line to print when the X display named by DISPLAY does not answer.
std::string UnreachableDisplayMessage(const DisplayEnvironment& env, std::string_view program);

// The line to print when Qt came up on `started` (its platform name) although the user's
// choice also named xcb ("wayland;xcb" on a working Wayland desktop).
std::string NotX11Message(const DisplayEnvironment& env, std::string_view program,
                          std::string_view started);

// What does and does not work yet when the X display is a Wayland desktop's XWayland.
std::string WaylandLimitsMessage(std::string_view program);

}  // namespace platform
