#pragma once
// The start of a Qt program that lives in the X11 window world (the toolbar, the dictionary
// editor): the platform chosen from the environment (platform/DisplayPlatform.h), the X
// display checked before Qt starts, since Qt's xcb platform aborts without one, and the
// arguments that have Qt use xcb.

#include <string>
#include <vector>

#include "platform/DisplayPlatform.h"

namespace platform {

class X11QtStart {
  public:
    // Prints the reason on stderr, and leaves Ready() false, when the program cannot start.
    X11QtStart(int argc, char** argv, std::string program);
    X11QtStart(const X11QtStart&) = delete;
    X11QtStart& operator=(const X11QtStart&) = delete;

    bool Ready() const { return m_bReady; }
    const DisplayEnvironment& Environment() const { return m_env; }
    const DisplayPlatformChoice& Choice() const { return m_choice; }

    // The arguments to construct the QApplication with; valid as long as this object.
    // "-platform xcb" comes right after the program name, so one given on the command line
    // still wins.
    int& Argc() { return m_argc; }
    char** Argv() { return m_argv.data(); }

    // Once the QApplication exists: whether Qt came up on X11. Prints the reason when not.
    bool OnX11() const;

  private:
    std::string m_strProgram;
    DisplayEnvironment m_env;
    DisplayPlatformChoice m_choice;
    bool m_bReady = false;
    std::string m_strPlatformOption = "-platform";
    std::string m_strXcb = "xcb";
    std::vector<char*> m_argv;
    int m_argc = 0;
};

}  // namespace platform
