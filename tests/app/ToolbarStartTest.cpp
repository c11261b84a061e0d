#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "app/CBrisoletApp.h"
#include "app/CBrisoletDlg.h"
#include "app/CommandIds.h"
#include "app/ToolbarMenu.h"
#include "engine/EngineStartup.h"
#include "platform/posix/RegFileHive.h"
#include "settings/Globals.h"
#include "tests/fakes/FakeEngineSet.h"
#include "tests/fakes/FakeMessageBox.h"
#include "tests/fakes/FakeToolbarView.h"
#include "tests/fakes/FakeWindowSystem.h"

namespace {

const std::string kTop = "SOFTWARE\\Tarnholm\\Selvarine";

// Engines that load only where told to, each reporting limits that name it.
class StartupEngines : public FakeEngineSet {
  public:
    short Load(int language, std::intptr_t window, int speaker, const char* dir) override {
        FakeEngineSet::Load(language, window, speaker, dir);
        speakers[language] = speaker;
        dirs[language] = dir;
        return loadable.count(language) ? 0 : 1;
    }
    void GetInfo(int language, int code, int* value) override {
        FakeEngineSet::GetInfo(language, code, value);
        codes.push_back(code);
        *value = language * 1000 + code;
    }
    short LoadUserDict(int language, const char* path) override {
        FakeEngineSet::LoadUserDict(language, path);
        return dictResult;
    }
    void Unload(int language, int speaker) override {
        FakeEngineSet::Unload(language, speaker);
        unloadSpeakers[language] = speaker;
    }
    std::set<int> loadable;
    short dictResult = 1;
    std::map<int, int> speakers, unloadSpeakers;
    std::map<int, std::string> dirs;
    std::vector<int> codes;
};

class ToolbarStartTest : public ::testing::Test {
  protected:
    ToolbarStartTest() {
        char tmpl[] = "/tmp/selvarine-start-XXXXXX";
        m_dir = mkdtemp(tmpl);
        g_szAppDir = m_dir + "/bin/";
        g_nLanguage = 0;
        std::fill(std::begin(g_bEngineLoaded), std::end(g_bEngineLoaded), 0);
        g_volumeMax = g_pitchDefault = 0;
    }
    ~ToolbarStartTest() override { std::filesystem::remove_all(m_dir); }

    std::string SettingsFile() const { return m_dir + "/Selvarine.reg"; }

    void StoreLanguage(int language) {
        platform::RegFileHive hive(SettingsFile());
        hive.Load();
        platform::RegKey key;
        hive.CreateKey(kTop, &key);
        platform::SetDword(hive, key, "language", language);
        platform::SetDword(hive, key, "X", 10);
        platform::SetDword(hive, key, "Y", 20);
    }

    std::uint32_t StoredLanguage() {
        platform::RegFileHive hive(SettingsFile());
        hive.Load();
        platform::RegKey key;
        std::uint32_t v = 0xDEAD, size = 4;
        if (hive.OpenKey(kTop, platform::RegAccess::Read, &key) == platform::kRegOk)
            hive.QueryValue(key, "LANGUAGE", nullptr, &v, &size);
        return v;
    }

    // Runs the toolbar's initialisation against the fakes.
    void Init() {
        platform::RegFileHive hive(SettingsFile());
        hive.Load();
        CBrisoletDlg dlg(view, ToolbarServices{hive, messages, engines});
        EXPECT_TRUE(dlg.OnInitDialog());
        EXPECT_EQ(dlg.m_bSettingsLoaded, 1);
        posX = dlg.m_nPosX;
        dlg.OnDestroy();
    }

    void WriteDictionaries(const std::string& content) {
        for (const char* voice : {"Miyu", "Kate", "Hui", "Yumi"}) {
            std::string dir = g_szAppDir + "VW/VT/" + voice + "/M16/data-common/userdict";
            std::filesystem::create_directories(dir);
            for (const char* f :
                 {"userdict_jpn.csv", "userdict_eng.csv", "userdict_chi.csv", "userdict_kor.csv"})
                std::ofstream(dir + "/" + f) << content;
        }
    }

    std::string m_dir;
    FakeToolbarView view;
    FakeMessageBox messages;
    StartupEngines engines;
    int posX = 0;
};

}  // namespace

TEST_F(ToolbarStartTest, InitialisesInOrderAndPlacesTheWindowAtTheStoredPosition) {
    StoreLanguage(7);
    Init();
    const std::vector<std::string> expected = {
        "SetIcons",          "LoadSkin",      "SetTitle",           "MoveWindow 0,0,248,38",
        "BuildWindowRegion", "CreateButtons", "PlaceTopmost 10,20", "CreateToolTips",
        "PlaceTopmost"};
    EXPECT_EQ(view.log, expected);
    EXPECT_EQ(view.title, "Selvarine 日中英韓");
    EXPECT_EQ(posX, 10);

    SCOPED_TRACE("every engine is started, with its speaker number and directory");
    EXPECT_EQ(engines.speakers, (std::map<int, int>{{7, 0}, {8, 0}, {9, 2}, {10, 10}}));
    EXPECT_EQ(engines.dirs[9], g_szAppDir + "VW/VT/Hui/M16");
    SCOPED_TRACE("and every engine is unloaded at the end, loaded or not");
    EXPECT_EQ(engines.unloadSpeakers, (std::map<int, int>{{7, 0}, {8, 0}, {9, 2}, {10, 10}}));
}

TEST_F(ToolbarStartTest, AnUnusableLanguageIsReplacedByTheFirstStartedOne) {
    struct Case {
        const char* name;
        int stored;
        std::set<int> loadable;
        int expected;
    };
    const Case cases[] = {
        {"only Korean present", 7, {10}, 10},
        {"no engine at all", 8, {}, 7},
        {"a language this edition does not offer", 3, {8, 9}, 8},
        {"a number above 10", 11, {7, 8, 9, 10}, 7},
        {"a negative number", -1, {9}, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(SettingsFile());
        std::fill(std::begin(g_bEngineLoaded), std::end(g_bEngineLoaded), 0);
        StoreLanguage(c.stored);
        engines.loadable = c.loadable;
        Init();
        EXPECT_EQ(g_nLanguage, c.expected);
        EXPECT_EQ(StoredLanguage(), static_cast<std::uint32_t>(c.expected));
        for (int n = 7; n <= 10; ++n) EXPECT_EQ(g_bEngineLoaded[n], c.loadable.count(n) ? 1 : 0);
    }

    SCOPED_TRACE("a stored language whose engine started stays, and is not rewritten");
    std::filesystem::remove(SettingsFile());
    StoreLanguage(9);
    engines.loadable = {7, 9};
    Init();
    EXPECT_EQ(g_nLanguage, 9);
}

TEST_F(ToolbarStartTest, LimitsComeFromTheLastEngineThatStarted) {
    engines.loadable = {7, 10};
    Init();
    EXPECT_EQ(g_volumeMax, 10 * 1000 + 17);
    EXPECT_EQ(g_speedMin, 10 * 1000 + 16);
    EXPECT_EQ(g_pitchDefault, 10 * 1000 + 12);
    const std::vector<int> order = {17, 19, 18, 16, 14, 15, 13, 11, 12};
    std::vector<int> twice = order;
    twice.insert(twice.end(), order.begin(), order.end());
    EXPECT_EQ(engines.codes, twice);
}

TEST_F(ToolbarStartTest, DictionariesAreLoadedUnlessEmptyAndARefusalIsToldOnce) {
    engines.loadable = {7, 8, 9, 10};

    SCOPED_TRACE("empty dictionary files: none handed over, nothing said");
    WriteDictionaries("");
    Init();
    EXPECT_EQ(engines.Summary().find("LoadUserDict"), std::string::npos);
    EXPECT_TRUE(messages.shown.empty());

    SCOPED_TRACE("a refused dictionary: its message once, the engine still usable");
    WriteDictionaries("word,replacement\n");
    engines.calls.clear();
    engines.dictResult = 0;
    Init();
    ASSERT_EQ(messages.shown.size(), 4u);
    EXPECT_EQ(messages.shown[0].text, "日本語ユーザ辞書の読み込みに失敗しました。");
    EXPECT_EQ(messages.shown[3].text, "韓国語ユーザ辞書の読み込みに失敗しました。");
    EXPECT_EQ(messages.shown[0].caption, kProgramTitle);
    EXPECT_EQ(messages.shown[0].kind, platform::MessageKind::AppExclamation);
    for (int n = 7; n <= 10; ++n) EXPECT_EQ(g_bEngineLoaded[n], 1);
    // The old dictionary is always dropped before the new one is handed over.
    const std::string s = engines.Summary();
    EXPECT_LT(s.find("UnloadUserDict 7"), s.find("LoadUserDict 7"));

    SCOPED_TRACE("a missing dictionary file is tried, and its refusal told");
    std::filesystem::remove_all(g_szAppDir + "VW");
    messages.shown.clear();
    Init();
    EXPECT_EQ(messages.shown.size(), 4u);
}

TEST_F(ToolbarStartTest, MovesAreSavedOnlyOnceSettingsAreLoaded) {
    platform::RegFileHive hive(SettingsFile());
    hive.Load();
    CBrisoletDlg dlg(view, ToolbarServices{hive, messages, engines});
    dlg.LoadSettings();
    dlg.OnMove(-30, 40);
    platform::RegFileHive reread(SettingsFile());
    reread.Load();
    platform::RegKey key;
    ASSERT_EQ(reread.OpenKey(kTop, platform::RegAccess::Read, &key), platform::kRegOk);
    std::int32_t x = 0, y = 0;
    std::uint32_t size = 4;
    reread.QueryValue(key, "X", nullptr, &x, &size);
    reread.QueryValue(key, "Y", nullptr, &y, &size);
    EXPECT_EQ(x, -30);
    EXPECT_EQ(y, 40);

    CBrisoletDlg early(view, ToolbarServices{hive, messages, engines});
    early.OnMove(1, 2);  // before its settings load: ignored
    platform::RegFileHive again(SettingsFile());
    again.Load();
    again.OpenKey(kTop, platform::RegAccess::Read, &key);
    again.QueryValue(key, "X", nullptr, &x, &size);
    EXPECT_EQ(x, -30);

    SCOPED_TRACE("the close button, Enter and Escape end the run");
    dlg.OnCommand(1);
    EXPECT_EQ(view.endResult, 1);
    dlg.OnCancel();
    EXPECT_EQ(view.endResult, 2);
}

namespace {

class FakeLock : public platform::InstanceLock {
  public:
    Result TryAcquire(const std::string& name) override {
        names.push_back(name);
        return result;
    }
    void Release() override { ++releases; }
    Result result = Result::Acquired;
    std::vector<std::string> names;
    int releases = 0;
};

}  // namespace

TEST(CBrisoletAppTest, OnlyOneCopyRuns) {
    struct Case {
        const char* name;
        std::vector<std::string> titles;
        FakeLock::Result lock;
        bool runs;
    };
    const Case cases[] = {
        {"nothing else runs", {"Editor", "Selvarine 日中英韓 "}, FakeLock::Result::Acquired, true},
        {"the toolbar's title is taken",
         {"Editor", "Selvarine 日中英韓"},
         FakeLock::Result::Acquired,
         false},
        {"the lock is held", {}, FakeLock::Result::HeldElsewhere, false},
        {"no lock can be made", {}, FakeLock::Result::Unavailable, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_hExistingWindow = platform::kNoWindow;
        FakeWindowSystem windows;
        platform::WindowId id = 100;
        for (const auto& t : c.titles) windows.windows.push_back({id++, t});
        FakeLock lock;
        lock.result = c.lock;
        int runs = 0;
        CBrisoletApp app(windows, lock, {[] { return std::string("/opt/s"); }, [&] { ++runs; }});
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(runs, c.runs ? 1 : 0);
        if (c.runs) {
            EXPECT_EQ(g_szAppDir, "/opt/s/");
        }
        // The title search comes first: a taken title never touches the lock.
        EXPECT_EQ(lock.names.size(), c.titles.size() == 2 && !c.runs ? 0u : 1u);
        if (!lock.names.empty()) {
            EXPECT_EQ(lock.names[0], "QuorratelV3");
        }
        app.ExitInstance();
        EXPECT_EQ(lock.releases, 1);
    }
}

TEST_F(ToolbarStartTest, TheContextMenuShowsItsRowsRunsTheChoiceAndKeepsTheCaptionSetting) {
    StoreLanguage(7);
    {
        platform::RegFileHive hive(SettingsFile());
        hive.Load();
        CBrisoletDlg dlg(view, ToolbarServices{hive, messages, engines});
        dlg.LoadSettings();
        view.menuChoice = 0;  // dismissed: nothing runs
        dlg.OnContextMenu(5, 6, false);
        ASSERT_EQ(view.menu.size(), kToolbarMenu.size());
        for (std::size_t i = 0; i < kToolbarMenu.size(); ++i) {
            EXPECT_EQ(view.menu[i].id, kToolbarMenu[i].id);
            EXPECT_EQ(view.menu[i].text, kToolbarMenu[i].text);
        }
        EXPECT_EQ(view.menu[0].text, "字幕を表示");
        EXPECT_TRUE(view.menu[0].checkable);
        EXPECT_FALSE(view.menu[0].checked) << "the caption is off by default";
        EXPECT_EQ(view.log.back(), "RunMenu 5,6");

        view.menuChoice = kIdShowCaption;
        dlg.OnContextMenu(0, 0, true);
        EXPECT_EQ(view.log.back(), "RunMenu at toolbar");
        EXPECT_TRUE(dlg.IsMenuItemChecked(kIdShowCaption));
        view.menuChoice = kIdAbout;
        dlg.OnContextMenu(0, 0, true);
        EXPECT_EQ(view.log.back(), "ShowAbout");
    }
    platform::RegFileHive hive(SettingsFile());
    hive.Load();
    CBrisoletDlg again(view, ToolbarServices{hive, messages, engines});
    again.LoadSettings();
    view.menuChoice = 0;
    again.OnContextMenu(0, 0, true);
    EXPECT_TRUE(view.menu[0].checked) << "the choice did not survive a restart";
}
