#pragma once
// A desktop of fake windows, listed topmost first. SetForeground activates the window at once
// unless activateOnRequest is false (a window manager that ignores the request).

#include <algorithm>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

class FakeWindowSystem : public platform::WindowSystem {
  public:
    struct Window {
        platform::WindowId id = platform::kNoWindow;
        std::string title;
        bool visible = true;
        bool topmost = false;
        long pid = 0;
        platform::WindowClass windowClass{};
    };

    std::vector<platform::WindowId> TopLevelWindows() override {
        ++enumerations;
        std::vector<platform::WindowId> ids;
        for (const Window& w : windows) ids.push_back(w.id);
        return ids;
    }
    bool IsVisible(platform::WindowId id) override {
        const Window* w = Find(id);
        return w && w->visible;
    }
    std::string Title(platform::WindowId id) override {
        const Window* w = Find(id);
        return w ? w->title : std::string();
    }
    bool IsTopmost(platform::WindowId id) override {
        const Window* w = Find(id);
        return w && w->topmost;
    }
    void SetForeground(platform::WindowId id) override {
        foregroundRequests.push_back(id);
        if (activateOnRequest) active = id;
    }
    platform::WindowId ActiveWindow() override {
        ++activeQueries;
        return active;
    }
    long WindowPid(platform::WindowId id) override {
        const Window* w = Find(id);
        return w ? w->pid : 0;
    }

    platform::WindowClass Class(platform::WindowId id) override {
        const Window* w = Find(id);
        return w ? w->windowClass : platform::WindowClass{};
    }

    const Window* Find(platform::WindowId id) const {
        auto it = std::find_if(windows.begin(), windows.end(),
                               [&](const Window& w) { return w.id == id; });
        return it == windows.end() ? nullptr : &*it;
    }

    std::vector<Window> windows;
    platform::WindowId active = platform::kNoWindow;
    bool activateOnRequest = true;
    std::vector<platform::WindowId> foregroundRequests;
    int enumerations = 0;
    long activeQueries = 0;
};
