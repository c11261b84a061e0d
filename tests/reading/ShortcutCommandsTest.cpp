#include "ReadingFixture.h"
#include "reading/ReadingCommands.h"
#include "reading/ShortcutCommands.h"
#include "tests/fakes/FakeSelection.h"

namespace {

using reading::ShortcutCommands;

class Shortcuts : public ReadingFixture {
  protected:
    FakeSelection selection;
    reading::ReadingCommands commands{view,
                                      engines,
                                      messages,
                                      {windows, clipboard, keys, pump, selection},
                                      [this] { return settings; },
                                      captureTimer,
                                      paused};
    ShortcutCommands shortcuts{commands, selection, keys, pump};

    void TickCommands() {
        for (int i = 0; i < 5 && view.timers.count(1); ++i) commands.controller.OnCaptureTimer(1);
    }
};

TEST_F(Shortcuts, SelectedTextIsSpokenAtOnceWithoutKeysOrClipboard) {
    clipboard.text = u"kept";
    selection.text = u"選択";
    keys.heldFor = 1000;  // the user still holds the chord: nothing waits for it
    paused = 1;

    shortcuts.OnShortcut(reading::kShortcutReadSelection);

    ASSERT_EQ(engines.Summary(), "Stop 7, Play 7");
    EXPECT_EQ(engines.calls[1].text, "\x91\x49\x91\xf0");  // 選択 in code page 932
    EXPECT_EQ(paused, 0);
    EXPECT_TRUE(keys.chords.empty());
    EXPECT_EQ(keys.heldQueries, 0);
    EXPECT_TRUE(pump.sleeps.empty());
    EXPECT_EQ(clipboard.text, u"kept");
    EXPECT_EQ(clipboard.openCalls + clipboard.emptyCalls, 0);
    EXPECT_TRUE(view.timers.empty());
}

TEST_F(Shortcuts, WithoutSelectedTextTheButtonPathRunsOnceTheModifiersAreReleased) {
    for (const std::optional<std::u16string>& nothing :
         {std::optional<std::u16string>{}, std::optional<std::u16string>{u""}}) {
        SCOPED_TRACE(nothing ? "empty selection" : "no selection");
        engines.calls.clear();
        keys.chords.clear();
        keys.heldQueries = 0;
        keys.heldFor = 3;
        selection.text = nothing;
        EditorCopies(u"copied");

        shortcuts.OnShortcut(reading::kShortcutReadSelection);
        TickCommands();

        EXPECT_EQ(keys.chords, "c");
        EXPECT_EQ(keys.heldQueriesBeforeFirstChord, 4);  // three held, then released
        ASSERT_EQ(engines.Summary(), "Stop 7, Play 7");
        EXPECT_EQ(engines.calls[1].text, "copied");
    }

    // A key that never comes up delays the keys only so long.
    keys.chords.clear();
    keys.heldQueries = 0;
    keys.heldFor = 1 << 30;
    shortcuts.OnShortcut(reading::kShortcutReadAll);
    EXPECT_EQ(keys.chords, "ac");
    EXPECT_LE(keys.heldQueries,
              ShortcutCommands::kReleaseWaitMs / ShortcutCommands::kReleasePollMs + 1);
}

TEST_F(Shortcuts, PauseResumeAndStopAreTheButtons) {
    shortcuts.OnShortcut(reading::kShortcutPauseResume);
    EXPECT_EQ(paused, 1);
    shortcuts.OnShortcut(reading::kShortcutPauseResume);
    EXPECT_EQ(paused, 0);
    shortcuts.OnShortcut(reading::kShortcutPauseResume);
    shortcuts.OnShortcut(reading::kShortcutStop);
    EXPECT_EQ(paused, 0);
    EXPECT_EQ(engines.Summary(), "Pause 7, Restart 7, Pause 7, Stop 7");
    EXPECT_EQ(selection.reads, 0);
    EXPECT_TRUE(keys.chords.empty());
}

}  // namespace
