#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>

#include "app/CBrisoletDlg.h"
#include "app/CommandIds.h"
#include "app/ShortcutSettings.h"
#include "platform/posix/RegFileHive.h"
#include "platform/ActivationHistory.h"
#include "settings/Globals.h"
#include "tests/fakes/FakeDesktop.h"
#include "tests/fakes/FakeEngineSet.h"
#include "tests/fakes/FakeFileDialogs.h"
#include "tests/fakes/FakeGlobalShortcuts.h"
#include "tests/fakes/FakeMessageBox.h"
#include "tests/fakes/FakeToolbarView.h"

namespace {

class ToolbarActions : public ::testing::Test {
  protected:
    ToolbarActions() {
        char tmpl[] = "/tmp/selvarine-actions-XXXXXX";
        m_dir = mkdtemp(tmpl);
        g_szAppDir = m_dir + "/bin/";
        hive.Load();
        dlg.AttachReading(desk.Platform());
        dlg.AttachShortcuts(shortcuts, {});
        dlg.OnInitDialog();
        engines.calls.clear();
    }
    ~ToolbarActions() override { std::filesystem::remove_all(m_dir); }

    std::string m_dir;
    platform::RegFileHive hive{m_dir + "/Selvarine.reg"};
    FakeToolbarView view;
    FakeMessageBox messages;
    FakeEngineSet engines;
    FakeDesktop desk;
    FakeGlobalShortcuts shortcuts;
    CBrisoletDlg dlg{view, ToolbarServices{hive, messages, engines}};
};

// A button, a shortcut and a request by name run one action with one state: pause/resume
// alternates across them.
TEST_F(ToolbarActions, EveryWayOfAskingRunsTheSameAction) {
    const std::function<void()> ways[] = {
        [&] { dlg.OnCommand(kIdPauseResume); },
        [&] { shortcuts.listener(settings::kShortcutPauseResume); },
        [&] { EXPECT_TRUE(dlg.Dispatch("pause-resume")); },
        [&] { dlg.OnCommand(kIdStop); },
        [&] { shortcuts.listener(settings::kShortcutStop); },
        [&] { EXPECT_TRUE(dlg.Dispatch("stop")); },
    };
    for (const auto& ask : ways) ask();
    EXPECT_EQ(engines.Summary(), "Pause 7, Restart 7, Pause 7, Stop 7, Stop 7, Stop 7");

    SCOPED_TRACE("an unknown name does nothing");
    engines.calls.clear();
    for (const char* name : {"", "read", "Stop", "stop ", "kIdStop"})
        EXPECT_FALSE(dlg.Dispatch(name)) << name;
    EXPECT_TRUE(engines.calls.empty());
    EXPECT_EQ(view.endResult, -1);
    EXPECT_TRUE(dlg.Dispatch("quit"));
    EXPECT_EQ(view.endResult, kIdOk);
}

// Asked from elsewhere, read-selection speaks the desktop's selection at once; the button
// copies from the window the user was in and never looks at it. read-clipboard speaks the
// clipboard and leaves it as it was.
TEST_F(ToolbarActions, ReadSelectionFromElsewhereTakesTheSelectionAndTheButtonDoesNot) {
    desk.selection.text = u"選択";
    EXPECT_TRUE(dlg.Dispatch("read-selection"));
    EXPECT_EQ(engines.Summary(), "Stop 7, Play 7");
    EXPECT_EQ(desk.selection.reads, 1);
    EXPECT_TRUE(desk.keys.chords.empty());

    engines.calls.clear();
    dlg.OnCommand(kIdReadSelection);
    EXPECT_EQ(desk.selection.reads, 1);
    EXPECT_EQ(engines.Summary().find("Play"), std::string::npos);

    dlg.OnCommand(kIdStop);
    engines.calls.clear();
    const int emptied = desk.clipboard.emptyCalls;
    desk.clipboard.text = u"選択";
    EXPECT_TRUE(dlg.Dispatch("read-clipboard"));
    EXPECT_EQ(engines.Summary(), "Stop 7, Play 7");
    EXPECT_EQ(desk.clipboard.text, std::optional<std::u16string>(u"選択"));
    EXPECT_EQ(desk.clipboard.emptyCalls, emptied);
}

// A read button clicked after a window that gets no chords (through XWayland, a native Wayland
// window: no X11 window was active before the toolbar) reads as a shortcut does, through the
// sources that need no keys; never a chord into the X11 editor nearest the toolbar.
TEST_F(ToolbarActions, ReadButtonsAfterAWindowOutOfChordsReachReadWithoutKeys) {
    struct History : platform::ActivationHistory {
        std::optional<platform::WindowId> before;
        std::optional<platform::WindowId> LastActiveOtherThan(platform::WindowId) override {
            return before;
        }
    } history;
    dlg.AttachActivationHistory(history);
    std::optional<std::u16string> whole = u"The whole text.";
    dlg.AttachWholeText([&] { return whole; });
    FakeWindowSystem::Window editor;
    editor.id = 7;
    editor.title = "editor";
    desk.windows.windows = {{view.window, "Selvarine", true, true}, editor};
    desk.windows.active = view.window;
    desk.selection.text = u"Selected.";
    struct Row {
        const char* what;
        std::optional<platform::WindowId> before;
        int command;
        const char* chords;
        const char* spoken;  // empty: nothing played
    };
    const Row rows[] = {
        {"a Wayland window, read selection", platform::kNoWindow, kIdReadSelection, "", "Selected."},
        {"a Wayland window, read all", platform::kNoWindow, kIdReadAll, "", "The whole text."},
        {"the X11 editor", platform::WindowId{7}, kIdReadSelection, "c", ""},
        {"not known", std::nullopt, kIdReadAll, "ac", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        history.before = row.before;
        desk.keys.chords.clear();
        engines.calls.clear();
        dlg.OnCommand(row.command);
        EXPECT_EQ(desk.keys.chords, row.chords);
        const std::string summary = engines.Summary();
        if (*row.spoken)
            EXPECT_NE(engines.calls.back().text.find(row.spoken), std::string::npos) << summary;
        else
            EXPECT_EQ(summary.find("Play"), std::string::npos) << summary;
        dlg.OnCommand(kIdStop);
        desk.windows.active = view.window;
    }

    SCOPED_TRACE("音声ファイルに保存 after a Wayland window: the selection goes to the save");
    FakeFileDialogs files;  // no path queued: the save's file dialog is cancelled
    dlg.AttachSaving(files, desk.pump, m_dir);
    history.before = platform::kNoWindow;
    desk.keys.chords.clear();
    dlg.OnCommand(kIdSaveSpeech);
    EXPECT_EQ(desk.keys.chords, "");
    EXPECT_EQ(files.asked.size(), 1u) << "the selection was handed to the save";
}

}  // namespace
