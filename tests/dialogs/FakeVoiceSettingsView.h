#pragma once
// A voice settings dialog's window as the logic sees it: controls as plain values, sliders
// clamping like the real control.

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dialogs/VoiceSettingsView.h"

class FakeVoiceSettingsView : public dialogs::VoiceSettingsView {
  public:
    struct Slider {
        int lower = 0, upper = 100, pos = 0, tick = 0;
    };
    platform::WindowId NativeWindow() override { return 0x2000; }
    std::string ControlText(int id) override { return texts[id]; }
    void SetControlText(int id, const std::string& text) override { texts[id] = text; }
    int SliderPos(int id) override { return sliders[id].pos; }
    void SetSliderPos(int id, int pos) override {
        Slider& s = sliders[id];
        s.pos = std::clamp(pos, s.lower, s.upper);
    }
    void SetSliderRange(int id, int lower, int upper) override {
        sliders[id].lower = lower;
        sliders[id].upper = upper;
    }
    void SetTickFrequency(int id, int f) override { sliders[id].tick = f; }
    void CheckRadio(int id) override { checked = id; }
    bool IsChecked(int id) override { return checked == id; }
    void DrawSentence(int id, const std::string& text, const std::string& fonts) override {
        texts[id] = text;
        sentenceFonts = fonts;
    }
    void Enable(bool e) override { enabled = e; }
    bool SetTimer(int id, int ms) override {
        timers[id] = ms;
        return true;
    }
    void KillTimer(int id) override { timers.erase(id); }
    void BringToFront() override { ++broughtToFront; }
    bool AskOpenFile(const std::string& title, const std::string& filter,
                     const std::string& initial, std::string* chosen) override {
        asked.push_back({title, filter, initial});
        if (fileAnswer.empty()) return false;
        *chosen = fileAnswer;
        return true;
    }
    void EndDialog(int result) override { endResult = result; }

    std::map<int, std::string> texts;
    std::map<int, Slider> sliders;
    std::map<int, int> timers;
    int checked = 0;
    bool enabled = true;
    int broughtToFront = 0;
    std::string sentenceFonts;
    std::vector<std::vector<std::string>> asked;
    std::string fileAnswer;  // empty: the file dialog is cancelled
    int endResult = -1;
};
