#include "ReadingFixture.h"
#include "reading/ReadingCommands.h"
#include "reading/TerminalWindows.h"
#include "tests/fakes/FakeSelection.h"

namespace {

using Capture = ReadingFixture;
using W = FakeWindowSystem::Window;

TEST_F(Capture, ReadSelectionCopiesFromTheWindowBelowTheToolbar) {
    EditorCopies(u"text");
    capture.OnReadSelection();

    EXPECT_EQ(view.activations, 1);
    EXPECT_EQ(clipboard.emptyCalls, 1);
    EXPECT_FALSE(clipboard.isOpen);
    EXPECT_EQ(windows.foregroundRequests, std::vector<platform::WindowId>{kEditor});
    EXPECT_EQ(keys.chords, "c");
    // Ten pumped rounds of 100 ms before the chord.
    EXPECT_EQ(pump.drains, 10);
    EXPECT_EQ(pump.sleeps, std::vector<int>(10, 100));
    EXPECT_EQ(view.timers, (std::map<int, int>{{1, 50}}));
    EXPECT_EQ(captureTimer, 1);
    EXPECT_EQ(g_bClipboardChanged, 1);
    EXPECT_EQ(g_bCaptureArmed, 0);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Capture, ReadAllSelectsAllThenCopies) {
    capture.OnReadAll();
    EXPECT_EQ(keys.chords, "ac");
    EXPECT_EQ(pump.drains, 20);
    EXPECT_EQ(g_bCaptureArmed, 1);  // nothing copied: still armed, the timer waits
    EXPECT_EQ(g_bClipboardChanged, 0);
    EXPECT_EQ(captureTimer, 1);
}

TEST_F(Capture, TargetSelectionRules) {
    struct Case {
        const char* name;
        std::vector<W> windows;
        std::vector<platform::WindowId> expected;
    };
    const Case cases[] = {
        {"nearest eligible window above the toolbar",
         {{0x10, "top"}, {0x11, "second"}, {kToolbar, "bar", true, true}, {0x12, "below"}},
         {0x10}},
        {"toolbar topmost: first eligible below",
         {{kToolbar, "bar", true, true}, {0x12, "below"}, {0x13, "further"}},
         {0x12}},
        {"skipped: invisible, untitled, reserved titles, other always-on-top windows",
         {{0x20, "hidden", false},
          {0x21, ""},
          {0x22, "ﾎﾙﾒﾄﾗ"},
          {0x23, "ホルメトラ"},
          {0x24, "panel", true, true},
          {kToolbar, "bar", true, true},
          {0x25, "ホルメトラ", false},
          {0x26, "ホルメトラ - note"}},
         {0x26}},
        {"no eligible window at all", {{kToolbar, "bar", true, true}, {0x30, "", true}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_hTargetCandidate = platform::kNoWindow;
        g_bTakeNextWindow = 0;
        windows.windows = c.windows;
        windows.foregroundRequests.clear();
        capture.ActivateTargetWindow();
        EXPECT_EQ(windows.foregroundRequests, c.expected);
    }
}

TEST_F(Capture, CandidateAndTakeNextCarryOverToTheNextEnumeration) {
    {
        SCOPED_TRACE("toolbar not listed: the candidate waits for the next enumeration");
        windows.windows = {{0x10, "first"}, {0x11, "second"}};
        capture.ActivateTargetWindow();
        EXPECT_TRUE(windows.foregroundRequests.empty());
        EXPECT_EQ(g_hTargetCandidate, 0x10u);
        windows.windows = {{0x40, "new top"}, {kToolbar, "bar", true, true}};
        capture.ActivateTargetWindow();
        EXPECT_EQ(windows.foregroundRequests, std::vector<platform::WindowId>{0x10});
        EXPECT_EQ(g_hTargetCandidate, platform::kNoWindow);
    }
    windows.foregroundRequests.clear();
    {
        SCOPED_TRACE("nothing below the toolbar: the first eligible window of the next one");
        windows.windows = {{kToolbar, "bar", true, true}};
        capture.ActivateTargetWindow();
        EXPECT_EQ(g_bTakeNextWindow, 1);
        windows.windows = {{0x50, "appeared"}, {kToolbar, "bar", true, true}, {0x51, "below"}};
        capture.ActivateTargetWindow();
        EXPECT_EQ(windows.foregroundRequests, std::vector<platform::WindowId>{0x50});
        EXPECT_EQ(g_bTakeNextWindow, 0);
    }
}

TEST_F(Capture, ReservedTitleIsComparedOnTheFirst69Bytes) {
    // A kana takes two bytes in code page 932: a title of 35 is cut to 34 (68 bytes).
    std::string longTitle;
    for (int i = 0; i < 35; ++i) longTitle += "ア";
    windows.windows = {{kToolbar, "bar", true, true}, {0x60, longTitle}};
    capture.ActivateTargetWindow();
    EXPECT_EQ(std::string(g_szWindowTitle).size(), 68u);
    EXPECT_EQ(windows.foregroundRequests, std::vector<platform::WindowId>{0x60});
}

TEST_F(Capture, WaitsForActivationButNoLongerThanTheSecond) {
    {
        SCOPED_TRACE("target activated at once: no wait");
        pump.nowMs = 200;
        capture.OnReadSelection();
        EXPECT_LT(pump.nowMs, 200 + 1000 + 50);  // 1 s of pumped sleeps, a few clock reads
    }
    {
        SCOPED_TRACE("target never activated: the wait ends with the second");
        windows.activateOnRequest = false;
        pump.nowMs = 10'300;
        const long queriesBefore = windows.activeQueries;
        capture.OnReadSelection();
        // The busy wait ran to 11.000 s, then the 1 s of pumped sleeps.
        EXPECT_NEAR(pump.nowMs, 11'000 + 1000, 2);
        EXPECT_GT(windows.activeQueries - queriesBefore, 600);
        EXPECT_EQ(keys.chords, "cc");  // keys still sent, to whatever is active
    }
}

TEST_F(Capture, NoEligibleWindowLeavesTheKeysWithTheToolbar) {
    windows.windows = {{kToolbar, "bar", true, true}};
    EditorCopies(u"never");
    capture.OnReadSelection();
    EXPECT_TRUE(windows.foregroundRequests.empty());
    EXPECT_EQ(windows.active, kToolbar);
    EXPECT_EQ(keys.chords, "c");
    EXPECT_EQ(g_bClipboardChanged, 0);
    EXPECT_EQ(captureTimer, 1);
    Tick(5);  // ticks do nothing without a change
    EXPECT_TRUE(engines.calls.empty());
    EXPECT_EQ(view.timers.count(1), 1u);
}

TEST_F(Capture, ClipboardFailures) {
    {
        SCOPED_TRACE("cannot open");
        clipboard.failOpen = true;
        capture.OnReadSelection();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "クリップボードがオープンできません。");
        EXPECT_EQ(messages.shown[0].caption, "Selvarine 日中英韓");
        EXPECT_EQ(messages.shown[0].kind, platform::MessageKind::ToolbarWarning);
        EXPECT_EQ(clipboard.closeCalls, 0);
    }
    {
        SCOPED_TRACE("cannot empty");
        clipboard.failOpen = false;
        clipboard.failEmpty = true;
        capture.OnReadSelection();
        ASSERT_EQ(messages.shown.size(), 2u);
        EXPECT_EQ(messages.shown[1].text, "クリップボードをクリアできません。");
        EXPECT_EQ(clipboard.closeCalls, 1);
    }
    EXPECT_EQ(g_bCaptureArmed, 0);
    EXPECT_TRUE(keys.chords.empty());
    EXPECT_TRUE(windows.foregroundRequests.empty());
    EXPECT_TRUE(view.timers.empty());
    EXPECT_EQ(captureTimer, 0);
}

TEST_F(Capture, TimerFailureWarnsAndClosesTheToolbar) {
    view.failSetTimer = true;
    capture.OnReadSelection();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Equal to or more than 32 timers become active !\nAt least one close.");
    EXPECT_EQ(view.closesPosted, 1);
    EXPECT_EQ(captureTimer, 1);
}

TEST_F(Capture, SecondReadReArmsAndKeepsOneTimer) {
    capture.OnReadSelection();  // editor copies nothing
    EXPECT_EQ(view.setTimerCalls, 1);
    g_bClipboardChanged = 1;  // as if an earlier change had been seen
    capture.OnReadSelection();
    EXPECT_EQ(g_bClipboardChanged, 0);
    EXPECT_EQ(g_bCaptureArmed, 1);
    EXPECT_EQ(keys.chords, "cc");
    EXPECT_EQ(view.timers.size(), 1u);
    EXPECT_EQ(captureTimer, 1);
}

TEST_F(Capture, OnlyTheFirstChangeAfterArmingCounts) {
    clipboard.CopyFromOtherProgram(u"before");  // not armed: ignored
    EXPECT_EQ(g_bClipboardChanged, 0);
    capture.OnReadSelection();
    EXPECT_EQ(g_bCaptureArmed, 1);
    clipboard.CopyFromOtherProgram(u"first");
    EXPECT_EQ(g_bClipboardChanged, 1);
    EXPECT_EQ(g_bCaptureArmed, 0);
    g_bClipboardChanged = 0;  // a later change must not set it again
    clipboard.CopyFromOtherProgram(u"second");
    EXPECT_EQ(g_bClipboardChanged, 0);
}

// A click during a read's pumped delay starts a read inside it. The earlier read must end
// there: went it on, it would copy again and start a timer of its own, whose tick reads the
// text a second time or, with the clipboard already emptied, reports that there was none.
TEST_F(Capture, AReadInsideAnEarlierReadsDelayEndsTheEarlierOne) {
    EditorCopies(u"hello");
    int drains = 0;
    pump.onDrain = [&] {
        if (drains++ == 3)
            capture.OnReadSelection();  // the user clicks again mid-delay
        else
            Tick();  // the event loop runs the capture timer
    };
    capture.OnReadSelection();
    pump.onDrain = nullptr;
    Tick(20);
    EXPECT_EQ(keys.chords, "c");
    ASSERT_EQ(engines.Summary(), "Stop 7, Play 7");
    EXPECT_EQ(engines.calls[1].text, "hello");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(view.timers.empty());
    EXPECT_EQ(captureTimer, 0);
}

// Ctrl+C interrupts the program running in a terminal, Ctrl+A is tmux's and screen's prefix.
TEST_F(Capture, TerminalsGetNoChordsAndAreReadFromTheirSelection) {
    FakeSelection primary;
    capture.ReadTerminalsWith(
        {primary, [this](const std::u16string& text) { return controller.SpeakText(text); }});
    windows.windows[1].windowClass = {"xterm", "XTerm"};
    EditorCopies(u"never copied");
    primary.text = u"ls -l";

    capture.OnReadSelection();
    capture.OnReadAll();
    primary.text.reset();
    capture.OnReadSelection();

    EXPECT_TRUE(keys.chords.empty());
    ASSERT_EQ(engines.Summary(), "Stop 7, Play 7");
    EXPECT_EQ(engines.calls[1].text, "ls -l");
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text.substr(0, 6), "端末");
    EXPECT_EQ(messages.shown[1].text.substr(0, 6), "読み");
    EXPECT_TRUE(view.timers.empty());
    EXPECT_EQ(g_bCaptureArmed, 0);

    const std::pair<platform::WindowClass, bool> classes[] = {
        {{"st-256color", "st-256color"}, true},
        {{"gnome-terminal-server", "Gnome-terminal"}, true},
        {{"Alacritty", "Alacritty"}, true},
        {{"urxvt", "URxvt"}, true},
        {{"mousepad", "Mousepad"}, false},
        {{"stalonetray", "stalonetray"}, false},
        {{"", ""}, false},
    };
    for (const auto& [windowClass, terminal] : classes)
        EXPECT_EQ(reading::IsTerminalWindow(windowClass), terminal) << windowClass.instance;
}

}  // namespace

namespace {

TEST(ReadingCommands, RegisterTheClipboardWatchForTheirLifetime) {
    FakeToolbarView view;
    FakeWindowSystem windows;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakePump pump;
    FakeMessageBox messages;
    FakeEngineSet engines;
    FakeSelection selection;
    int captureTimer = 0, paused = 0;
    {
        reading::ReadingCommands commands(
            view, engines, messages, {windows, clipboard, keys, pump, selection},
            [] {
                return reading::ReadingSettings{9, 1, 2, 3, 0};
            },
            captureTimer, paused);
        g_bCaptureArmed = 1;
        g_bClipboardChanged = 0;
        clipboard.CopyFromOtherProgram(u"x");
        EXPECT_EQ(g_bClipboardChanged, 1);
        commands.playback.OnPauseResume();
        EXPECT_EQ(engines.Summary(), "Pause 9");
    }
    EXPECT_FALSE(clipboard.listener) << "a destroyed watch must not stay registered";
}

}  // namespace
