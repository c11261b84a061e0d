#pragma once
// The reading subsystem wired to fakes the way the toolbar wires it to the real platform.

#include <gtest/gtest.h>

#include "reading/CaptureFlags.h"
#include "reading/PlaybackControl.h"
#include "reading/ReadingController.h"
#include "reading/SelectionCapture.h"
#include "tests/fakes/FakeClipboard.h"
#include "tests/fakes/FakeEngineSet.h"
#include "tests/fakes/FakeKeyInjector.h"
#include "tests/fakes/FakeMessageBox.h"
#include "tests/fakes/FakePump.h"
#include "tests/fakes/FakeToolbarView.h"
#include "tests/fakes/FakeWindowSystem.h"

class ReadingFixture : public ::testing::Test {
  protected:
    static constexpr platform::WindowId kToolbar = 0x1000;
    static constexpr platform::WindowId kEditor = 0x2000;

    void SetUp() override {
        g_bCaptureArmed = 0;
        g_bClipboardChanged = 0;
        g_hTargetCandidate = platform::kNoWindow;
        g_bTakeNextWindow = 0;
        view.window = kToolbar;
        clipboard.SetChangeListener(reading::NoteClipboardChange);
        // The toolbar (always on top) above an editor, like a desktop under a window manager.
        windows.windows = {{kToolbar, "Selvarine 日中英韓", true, true},
                           {kEditor, "notes.txt - Mousepad"}};
        windows.active = kToolbar;
        view.onActivate = [this] { windows.active = kToolbar; };
    }

    // The editor copies `text` when it receives Ctrl+C.
    void EditorCopies(std::optional<std::u16string> text) {
        keys.onChord = [this, text](char letter) {
            if (letter == 'c' && windows.active == kEditor) clipboard.CopyFromOtherProgram(text);
        };
    }

    // Fires the capture timer while it runs, as the event loop would.
    void Tick(int times = 1) {
        for (int i = 0; i < times && view.timers.count(1); ++i) controller.OnCaptureTimer(1);
    }

    FakeToolbarView view;
    FakeWindowSystem windows;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakePump pump;
    FakeMessageBox messages;
    FakeEngineSet engines;
    int captureTimer = 0;
    int paused = 0;
    reading::ReadingSettings settings{7, 100, 110, 90, 0};

    reading::SelectionCapture capture{view, windows, clipboard, keys, pump, messages, captureTimer};
    reading::ReadingController controller{view,         clipboard, engines,
                                          messages,     pump,      [this] { return settings; },
                                          captureTimer, paused};
    reading::PlaybackControl playback{engines, [this] { return settings.language; }, paused,
                                      [this] { controller.EndWaits(); }};
};
