// The toolbar's language command (104) against a dialog that answers as told.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/CBrisoletDlg.h"
#include "app/CommandIds.h"
#include "dialogs/LanguageSelection.h"
#include "platform/posix/RegFileHive.h"
#include "settings/Globals.h"
#include "settings/SettingsStore.h"
#include "tests/fakes/FakeEngineSet.h"
#include "tests/fakes/FakeMessageBox.h"
#include "tests/fakes/FakeToolbarView.h"

namespace {

class ScriptedDialog : public dialogs::LanguageSelectionDialog {
  public:
    bool Run(int& language) override {
        ++runs;
        shownWith = language;
        if (onRun) onRun();
        if (!ok) return false;
        if (pick) language = pick;
        return true;
    }
    bool ok = true;
    int pick = 0;  // 0: OK without pressing a language button
    int runs = 0, shownWith = -1;
    std::function<void()> onRun;
};

class LanguageCommandTest : public ::testing::Test {
  protected:
    LanguageCommandTest() {
        char tmpl[] = "/tmp/selvarine-langsel-XXXXXX";
        m_dir = mkdtemp(tmpl);
        m_file = m_dir + "/Selvarine.reg";
        g_szAppDir = m_dir + "/";
        hive = std::make_unique<platform::RegFileHive>(m_file);
        hive->Load();
        platform::RegKey key;
        hive->CreateKey(settings::kTopKey, &key);
        platform::SetDword(*hive, key, "language", 7);
        hive->CloseKey(key);
        dlg = std::make_unique<CBrisoletDlg>(view, ToolbarServices{*hive, messages, engines});
        dlg->AttachLanguageSelection(dialog);
    }
    ~LanguageCommandTest() override {
        dlg.reset();
        std::filesystem::remove_all(m_dir);
    }

    std::string FileText() const {
        std::ifstream in(m_file);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::uint32_t StoredLanguage() const {
        platform::RegFileHive reread(m_file);
        reread.Load();
        platform::RegKey key;
        std::uint32_t v = 0xDEAD, size = 4;
        if (reread.OpenKey(settings::kTopKey, platform::RegAccess::Read, &key) == platform::kRegOk)
            reread.QueryValue(key, "Language", nullptr, &v, &size);
        return v;
    }

    std::string m_dir, m_file;
    std::unique_ptr<platform::RegFileHive> hive;
    FakeToolbarView view;
    FakeMessageBox messages;
    FakeEngineSet engines;
    ScriptedDialog dialog;
    std::unique_ptr<CBrisoletDlg> dlg;
};

}  // namespace

TEST_F(LanguageCommandTest, PickingALanguageStopsOnlyTheOldOneAndStoresTheNew) {
    g_nLanguage = 7;
    dlg->m_bPaused = 1;
    dialog.pick = 10;
    dialog.onRun = [&] {
        SCOPED_TRACE("before the dialog shows: pause cleared, the current speech stopped");
        EXPECT_EQ(dlg->m_bPaused, 0);
        EXPECT_EQ(engines.Summary(), "Stop 7");
        EXPECT_EQ(view.log, std::vector<std::string>{}) << "the toolbar stays topmost";
    };
    dlg->OnCommand(kIdLanguage);
    EXPECT_EQ(dialog.runs, 1);
    EXPECT_EQ(dialog.shownWith, 7);
    EXPECT_EQ(g_nLanguage, 10);
    EXPECT_EQ(view.invalidations, 1);
    EXPECT_EQ(StoredLanguage(), 10u);
    EXPECT_EQ(engines.Summary(), "Stop 7") << "nothing else is stopped, loaded or played";
}

TEST_F(LanguageCommandTest, OkWithoutAPressWritesTheCurrentLanguageAgain) {
    g_nLanguage = 9;  // differs from the file, so a missing write shows
    dlg->OnCommand(kIdLanguage);
    EXPECT_EQ(g_nLanguage, 9);
    EXPECT_EQ(view.invalidations, 1);
    EXPECT_EQ(StoredLanguage(), 9u);
}

TEST_F(LanguageCommandTest, CancelChangesNothingButTheStoppedSpeechStaysStopped) {
    g_nLanguage = 8;
    dialog.ok = false;
    dialog.pick = 10;
    const std::string before = FileText();
    dlg->OnCommand(kIdLanguage);
    EXPECT_EQ(g_nLanguage, 8);
    EXPECT_EQ(view.invalidations, 0);
    EXPECT_EQ(FileText(), before);
    EXPECT_EQ(engines.Summary(), "Stop 8");
}

TEST_F(LanguageCommandTest, AMissingTopKeyIsNotCreatedButTheLanguageStillChanges) {
    const std::string empty = m_dir + "/empty.reg";
    platform::RegFileHive bare(empty);
    bare.Load();
    CBrisoletDlg toolbar(view, ToolbarServices{bare, messages, engines});
    toolbar.AttachLanguageSelection(dialog);
    g_nLanguage = 7;
    dialog.pick = 8;
    toolbar.OnCommand(kIdLanguage);
    EXPECT_EQ(g_nLanguage, 8);
    platform::RegKey key;
    EXPECT_NE(bare.OpenKey(settings::kTopKey, platform::RegAccess::Read, &key), platform::kRegOk);
    EXPECT_TRUE(messages.shown.empty());
}
