#pragma once
// The toolbar window as the logic sees it: records what was asked of it, timers included.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/ToolbarView.h"

class FakeToolbarView : public ToolbarView {
  public:
    platform::WindowId NativeWindow() override { return window; }
    void SetIcons() override { log.push_back("SetIcons"); }
    void LoadSkin() override { log.push_back("LoadSkin"); }
    void SetTitle(const std::string& utf8) override {
        title = utf8;
        log.push_back("SetTitle");
    }
    void MoveWindow(int x, int y, int w, int h) override {
        log.push_back("MoveWindow " + std::to_string(x) + "," + std::to_string(y) + "," +
                      std::to_string(w) + "," + std::to_string(h));
    }
    std::vector<ScreenRect> ScreenRects() override { return screens; }
    void BuildWindowRegion() override { log.push_back("BuildWindowRegion"); }
    void CreateButtons() override { log.push_back("CreateButtons"); }
    void CreateToolTips() override { log.push_back("CreateToolTips"); }
    void PlaceTopmost(bool move, int x, int y) override {
        log.push_back(move ? "PlaceTopmost " + std::to_string(x) + "," + std::to_string(y)
                           : "PlaceTopmost");
    }
    void SetTopmost(bool topmost) override {
        log.push_back(topmost ? "SetTopmost 1" : "SetTopmost 0");
    }
    void Activate() override {
        ++activations;
        log.push_back("Activate");
        if (onActivate) onActivate();
    }
    bool SetTimer(int id, int periodMs) override {
        ++setTimerCalls;
        if (failSetTimer) return false;
        timers[id] = periodMs;
        return true;
    }
    void KillTimer(int id) override {
        ++killTimerCalls;
        timers.erase(id);
    }
    void PostClose() override { ++closesPosted; }
    void EndDialog(int result) override { endResult = result; }
    void Invalidate() override { ++invalidations; }
    int RunMenu(const std::vector<MenuEntry>& entries, int x, int y, bool atToolbar) override {
        menu = entries;
        log.push_back(atToolbar ? "RunMenu at toolbar"
                                : "RunMenu " + std::to_string(x) + "," + std::to_string(y));
        return menuChoice;
    }
    void ShowAbout() override { log.push_back("ShowAbout"); }

    platform::WindowId window = 0x1000;
    std::vector<ScreenRect> screens;  // none: positions are taken as they are
    std::string title;
    std::vector<std::string> log;
    std::map<int, int> timers;  // running timers: id -> period
    bool failSetTimer = false;
    int setTimerCalls = 0, killTimerCalls = 0, closesPosted = 0, activations = 0, invalidations = 0;
    int endResult = -1;
    std::function<void()> onActivate;
    std::vector<MenuEntry> menu;  // the latest menu shown
    int menuChoice = 0;           // what RunMenu returns
};
