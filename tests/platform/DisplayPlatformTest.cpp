#include <gtest/gtest.h>

#include "platform/DisplayPlatform.h"

namespace {

using platform::ChooseDisplayPlatform;
using platform::DisplayEnvironment;
using Start = platform::DisplayPlatformChoice::Start;
using Reason = platform::DisplayPlatformChoice::Reason;

TEST(DisplayPlatform, XcbWheneverAnXDisplayIsSetAndTheUsersChoiceOtherwise) {
    struct Row {
        const char* what;
        DisplayEnvironment env;  // QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY, XDG_SESSION_TYPE
        Start start;
        Reason reason;
        const char* says;  // part of the message; it is one line, after the program's name
    } rows[] = {
        {"X11 session", {"", ":0", "", "x11"}, Start::OnXcb, Reason::None, ""},
        {"Wayland session with XWayland",
         {"", ":0", "wayland-0", "wayland"},
         Start::OnXcb,
         Reason::None,
         ""},
        {"user chose xcb", {"xcb", ":0", "wayland-0", ""}, Start::AsChosen, Reason::None, ""},
        {"xcb with options, any case",
         {"XCB:nograb", ":0", "", ""},
         Start::AsChosen,
         Reason::None,
         ""},
        {"a list naming xcb",
         {"wayland;xcb", ":0", "wayland-0", ""},
         Start::AsChosen,
         Reason::None,
         ""},
        {"user chose wayland",
         {"wayland", ":0", "wayland-0", ""},
         Start::Refuse,
         Reason::NotXcb,
         "QT_QPA_PLATFORM=wayland chooses"},
        {"xcb only as a longer name",
         {"xcbx;wayland-egl", ":0", "", ""},
         Start::Refuse,
         Reason::NotXcb,
         "QT_QPA_PLATFORM=xcbx;wayland-egl"},
        {"Wayland without XWayland",
         {"", "", "wayland-0", ""},
         Start::Refuse,
         Reason::NoXWayland,
         "needs XWayland: install it (sudo apt install xwayland)"},
        {"Wayland by session type alone",
         {"", "", "", "wayland"},
         Start::Refuse,
         Reason::NoXWayland,
         "XWayland"},
        {"xcb chosen but no display on Wayland",
         {"xcb", "", "wayland-0", ""},
         Start::Refuse,
         Reason::NoXWayland,
         "XWayland"},
        {"no display at all",
         {"", "", "", ""},
         Start::Refuse,
         Reason::NoDisplay,
         "no X display (DISPLAY is not set)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const auto choice = ChooseDisplayPlatform(r.env, "prog");
        EXPECT_EQ(choice.start, r.start);
        EXPECT_EQ(choice.reason, r.reason);
        if (r.start != Start::Refuse) {
            EXPECT_EQ(choice.message, "");
            continue;
        }
        EXPECT_TRUE(choice.message.starts_with("prog: ")) << choice.message;
        EXPECT_NE(choice.message.find(r.says), std::string::npos) << choice.message;
        EXPECT_EQ(choice.message.find('\n'), std::string::npos) << choice.message;
    }

    SCOPED_TRACE("the lines for a display that does not answer and for Qt's own pick");
    const DisplayEnvironment wayland{"wayland;xcb", ":1", "wayland-0", ""};
    EXPECT_NE(platform::UnreachableDisplayMessage(wayland, "prog").find("\":1\" (this Wayland"),
              std::string::npos);
    EXPECT_EQ(platform::UnreachableDisplayMessage({"", ":1", "", "x11"}, "prog"),
              "prog: cannot connect to the X display \":1\".");
    EXPECT_NE(platform::NotX11Message(wayland, "prog", "wayland")
                  .find("\"wayland\" platform (QT_QPA_PLATFORM=wayland;xcb)"),
              std::string::npos);
}

}  // namespace
