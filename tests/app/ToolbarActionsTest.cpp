#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>

#include "app/CBrisoletDlg.h"
#include "app/CommandIds.h"
#include "app/ShortcutSettings.h"
#include "platform/posix/RegFileHive.h"
#include "settings/Globals.h"
#include "tests/fakes/FakeDesktop.h"
#include "tests/fakes/FakeEngineSet.h"
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

}  // namespace
