#include "app/CBrisoletApp.h"

#include "reading/ToolbarHandle.h"
#include "settings/Globals.h"

platform::WindowId g_hExistingWindow = platform::kNoWindow;

CBrisoletApp::CBrisoletApp(platform::WindowSystem& windows, platform::InstanceLock& lock,
                           Hooks hooks)
    : m_windows(windows), m_lock(lock), m_hooks(std::move(hooks)) {}

bool CBrisoletApp::FindExistingWindow(platform::WindowId w) {
    if (m_windows.Title(w) == reading::kToolbarTitle) {
        g_hExistingWindow = w;
        return false;
    }
    return true;
}

bool CBrisoletApp::InitInstance() {
    for (platform::WindowId w : m_windows.TopLevelWindows())
        if (!FindExistingWindow(w)) break;
    if (g_hExistingWindow != platform::kNoWindow) return false;

    // Testing and taking the lock is one step, so that two copies started at the same
    // moment cannot both pass. A lock that cannot be made at all does not stop the start:
    // the window title still keeps later copies out.
    if (m_lock.TryAcquire(kLockName) == platform::InstanceLock::Result::HeldElsewhere) return false;

    g_szAppDir = m_hooks.programDirectory();
    if (g_szAppDir.empty() || g_szAppDir.back() != '/') g_szAppDir += '/';

    m_hooks.runToolbar();
    return false;
}

int CBrisoletApp::ExitInstance() {
    m_lock.Release();
    return 0;
}
