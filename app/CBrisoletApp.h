#pragma once
// The program's entry: lets only one copy run, records the program directory and runs the
// toolbar until it closes.

#include <functional>
#include <string>

#include "platform/InstanceLock.h"
#include "platform/WindowSystem.h"

// Set by the start-up search when a window titled like the toolbar already exists.
extern platform::WindowId g_hExistingWindow;

class CBrisoletApp {
public:
    struct Hooks {
        std::function<std::string()> programDirectory;
        // Constructs the toolbar, runs it until it ends and destroys it.
        std::function<void()> runToolbar;
    };

    CBrisoletApp(platform::WindowSystem& windows, platform::InstanceLock& lock, Hooks hooks);

    // Runs the whole life of the program; always returns false (nothing else to run).
    bool InitInstance();
    int ExitInstance();

    static constexpr const char* kLockName = "QuorratelV3";

private:
    bool FindExistingWindow(platform::WindowId w);

    platform::WindowSystem& m_windows;
    platform::InstanceLock& m_lock;
    Hooks m_hooks;
};
