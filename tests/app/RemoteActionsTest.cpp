#include <gtest/gtest.h>

#include <filesystem>

#include "app/CBrisoletDlg.h"
#include "app/CommandLine.h"
#include "app/RemoteActions.h"
#include "platform/posix/RegFileHive.h"
#include "reading/Messages.h"
#include "reading/ReadingCommands.h"
#include "settings/Globals.h"
#include "tests/fakes/FakeClipboard.h"
#include "tests/fakes/FakeEngineSet.h"
#include "tests/fakes/FakeGlobalShortcuts.h"
#include "tests/fakes/FakeKeyInjector.h"
#include "tests/fakes/FakeMessageBox.h"
#include "tests/fakes/FakePump.h"
#include "tests/fakes/FakeSelection.h"
#include "tests/fakes/FakeToolbarView.h"
#include "tests/fakes/FakeWindowSystem.h"

namespace {

TEST(RemoteActions, OnlyACommandLineOfExactlyOneActionOptionIsHandedOn) {
    struct Row {
        std::vector<const char*> args;
        std::optional<std::string> action;
    };
    const Row rows[] = {{{"selvarine", "--read-selection"}, "read-selection"},
                        {{"selvarine", "--quit"}, "quit"},
                        {{"selvarine"}, std::nullopt},
                        {{"selvarine", "stop"}, std::nullopt},
                        {{"selvarine", "--stop", "--faster"}, std::nullopt},
                        {{"selvarine", "--stopp"}, std::nullopt},
                        {{"selvarine", "--"}, std::nullopt}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.back());
        std::vector<char*> argv;
        for (const char* a : row.args) argv.push_back(const_cast<char*>(a));
        EXPECT_EQ(RemoteActionOf(static_cast<int>(argv.size()), argv.data()), row.action);
    }
}

class RemoteToolbar : public ::testing::Test {
  protected:
    RemoteToolbar() {
        char tmpl[] = "/tmp/selvarine-remote-XXXXXX";
        m_dir = mkdtemp(tmpl);
        g_szAppDir = m_dir + "/bin/";
    }
    ~RemoteToolbar() override { std::filesystem::remove_all(m_dir); }

    std::string m_dir;
    FakeToolbarView view;
    FakeMessageBox messages;
    FakeEngineSet engines;
    FakeWindowSystem windows;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakePump pump;
    FakeSelection selection;
    FakeGlobalShortcuts shortcuts;
};

// Every option of the command line names an action the toolbar runs; the reads speak the
// text they are about (the selection without keys, the clipboard as it is, left in place).
TEST_F(RemoteToolbar, EveryActionOfTheCommandLineRuns) {
    platform::RegFileHive hive(m_dir + "/Selvarine.reg");
    hive.Load();
    CBrisoletDlg dlg(view, ToolbarServices{hive, messages, engines});
    dlg.AttachReading({windows, clipboard, keys, pump, selection});
    dlg.AttachShortcuts(shortcuts, {}, {});
    dlg.OnInitDialog();
    auto spoken = [&] {
        for (auto c = engines.calls.rbegin(); c != engines.calls.rend(); ++c)
            if (c->op == "Play" || c->op == "PlayUtf8") return c->text;
        return std::string();
    };

    selection.text = u"Read me.";
    ASSERT_TRUE(dlg.Dispatch("read-selection"));
    EXPECT_NE(spoken().find("Read me."), std::string::npos) << spoken();
    EXPECT_TRUE(keys.chords.empty()) << "the selection needed no keys";

    engines.calls.clear();
    clipboard.text = u"From the clipboard.";
    ASSERT_TRUE(dlg.Dispatch("read-clipboard"));
    EXPECT_NE(spoken().find("From the clipboard."), std::string::npos) << spoken();
    EXPECT_TRUE(clipboard.text.has_value()) << "the user's clipboard was emptied";

    SCOPED_TRACE("an empty clipboard says so instead of staying silent");
    clipboard.text.reset();
    ASSERT_TRUE(dlg.Dispatch("read-clipboard"));
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown.back().text, reading::kMsgNoText);

    SCOPED_TRACE("no X11 window active (a Wayland window has the focus): no chord is sent");
    std::optional<std::u16string> whole = u"The whole text.";
    dlg.AttachWholeText([&] { return whole; });
    engines.calls.clear();
    ASSERT_TRUE(dlg.Dispatch("read-all"));
    EXPECT_NE(spoken().find("The whole text."), std::string::npos) << spoken();
    whole.reset();
    selection.text.reset();
    const std::size_t shown = messages.shown.size();
    ASSERT_TRUE(dlg.Dispatch("read-all"));
    ASSERT_TRUE(dlg.Dispatch("read-selection"));
    EXPECT_EQ(messages.shown.size(), shown + 2) << "nothing to read must be said";
    EXPECT_TRUE(keys.chords.empty()) << keys.chords;

    SCOPED_TRACE("an X11 window active: read-all copies from it as the button does");
    FakeWindowSystem::Window editor;
    editor.id = 7;
    editor.title = "editor";
    windows.windows.push_back(editor);
    windows.active = 7;
    ASSERT_TRUE(dlg.Dispatch("read-all"));
    EXPECT_EQ(keys.chords, "ac");

    for (const app::CommandLineOption& option : app::kCommandLineOptions) {
        if (option.action == "help" || option.action == "version") continue;
        SCOPED_TRACE(option.action);
        EXPECT_TRUE(dlg.Dispatch(std::string(option.action)));
    }
    EXPECT_EQ(view.endResult, 1) << "quit ends the toolbar as its close button does";
    EXPECT_FALSE(dlg.Dispatch("dance"));
    dlg.OnDestroy();
}

}  // namespace
