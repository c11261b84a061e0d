#include <sys/stat.h>

#include "dialogs/UserDicHandlers.h"
#include "tests/dialogs/DialogFixture.h"

using namespace dialogs;

namespace {

std::string Content(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(CsvExtension, IsAppendedUnlessTheNameEndsInCsvOfAnyCase) {
    EXPECT_EQ(WithCsvExtension("/d/a.csv"), "/d/a.csv");
    EXPECT_EQ(WithCsvExtension("/d/a.CSV"), "/d/a.CSV");
    EXPECT_EQ(WithCsvExtension("/d/a.CsV"), "/d/a.CsV");
    EXPECT_EQ(WithCsvExtension("/d/new"), "/d/new.csv");
    EXPECT_EQ(WithCsvExtension("/d/a.txt"), "/d/a.txt.csv");
    EXPECT_EQ(WithCsvExtension("csv"), "csv.csv");
    EXPECT_EQ(WithCsvExtension("/d/辞書.csv"), "/d/辞書.csv");
}

using BrowseTest = DialogFixture;

TEST_F(BrowseTest, ChoosesOrCreatesTheFileWithoutTouchingExistingOnes) {
    const std::string existing = MakeFile("OLD.CSV", "a,b\n");
    auto dlg = Open(engine::kJapanese, "/start.csv");

    m_view.fileAnswer = existing;
    dlg->OnBrowseUserDic();
    ASSERT_EQ(m_view.asked.size(), 1u);
    EXPECT_EQ(
        m_view.asked[0],
        (std::vector<std::string>{"ファイルを開く", "ユーザー辞書ファイル (*.csv)", "/start.csv"}));
    EXPECT_EQ(dlg->m_userDicPath, existing);
    EXPECT_EQ(Content(existing), "a,b\n");

    m_view.fileAnswer = m_dir + "/notes.txt";
    dlg->OnBrowseUserDic();
    EXPECT_EQ(dlg->m_userDicPath, m_dir + "/notes.txt.csv");
    struct stat st {};
    ASSERT_EQ(stat(dlg->m_userDicPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_NE(stat((m_dir + "/notes.txt").c_str(), &st), 0);

    // Cancelled: the path chosen in this run stays, and the edit is rewritten with it.
    m_view.fileAnswer.clear();
    m_view.texts[kEditUserDicPath] = "scribbled";
    dlg->OnBrowseUserDic();
    EXPECT_EQ(dlg->m_userDicPath, m_dir + "/notes.txt.csv");
    EXPECT_EQ(m_view.texts[kEditUserDicPath], m_dir + "/notes.txt.csv");
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(BrowseTest, RefusesNamesItCannotCreateOrThatAreTooLong) {
    auto dlg = Open(engine::kEnglish, "/start.csv");
    m_view.fileAnswer = m_dir + "/no such folder/x";
    dlg->OnBrowseUserDic();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, "ファイルの作成に失敗しました。");

    m_view.fileAnswer = m_dir + "/" + std::string(300, 'n');  // not cut to fit: refused
    dlg->OnBrowseUserDic();
    ASSERT_EQ(m_messages.shown.size(), 2u);
    EXPECT_EQ(m_messages.shown[1].text, kPathTooLongMessage);
    EXPECT_EQ(dlg->m_userDicPath, "/start.csv");
    EXPECT_EQ(m_view.texts[kEditUserDicPath], "/start.csv");
}

using EditorWatchTest = DialogFixture;

TEST_F(EditorWatchTest, TheDialogWaitsDisabledWhileTheEditorRuns) {
    const std::string path = m_dir + "/it's \"my\" $(dic) & co;.csv";
    auto dlg = Open(engine::kChinese, path);
    dlg->OnEditUserDic();
    ASSERT_EQ(m_processes.started.size(), 1u);
    const auto& s = m_processes.started[0];
    EXPECT_EQ(s.program, m_appDir + "VW/VT/Hui/M16/bin/UserDicChi");
    EXPECT_EQ(s.args, std::vector<std::string>{path});
    EXPECT_EQ(s.workingDir, m_appDir + "VW/VT/Hui/M16/bin");
    EXPECT_FALSE(m_view.enabled);
    EXPECT_EQ(m_view.timers, (std::map<int, int>{{1000, 200}}));

    dlg->OnTimer(1000);  // no window yet
    EXPECT_TRUE(m_windows.foregroundRequests.empty());
    m_windows.windows = {{0x51, "other", true, false, 1}, {0x52, "editor", true, false, 4242}};
    dlg->OnTimer(1);  // another timer changes nothing
    EXPECT_EQ(dlg->EditorWindow(), platform::kNoWindow);
    dlg->OnTimer(1000);
    EXPECT_EQ(dlg->EditorWindow(), 0x52u);
    EXPECT_EQ(m_windows.foregroundRequests, std::vector<platform::WindowId>{0x52});
    dlg->OnTimer(1000);
    EXPECT_FALSE(m_view.enabled);

    m_processes.ended.insert(4242);
    dlg->OnTimer(1000);
    EXPECT_TRUE(m_view.enabled);
    EXPECT_TRUE(m_view.timers.empty());
    EXPECT_EQ(m_view.broughtToFront, 1);
    EXPECT_EQ(dlg->EditorWindow(), platform::kNoWindow);
    EXPECT_TRUE(m_engines.calls.empty());  // no reload before OK
}

TEST_F(EditorWatchTest, AnEditorThatFailsOrShowsNoWindowLeavesTheDialogUsable) {
    auto dlg = Open(engine::kJapanese, "/d.csv");
    m_processes.failStart = true;
    dlg->OnEditUserDic();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, "ユーザ辞書エディタの起動に失敗しました。");
    EXPECT_TRUE(m_view.enabled);
    EXPECT_TRUE(m_view.timers.empty());

    m_processes.failStart = false;
    dlg->OnEditUserDic();
    for (int i = 0; i < kEditorWindowWaitMs / kEditorWatchPeriodMs; ++i) dlg->OnTimer(1000);
    EXPECT_TRUE(m_view.enabled);
    EXPECT_TRUE(m_view.timers.empty());
    EXPECT_EQ(m_view.broughtToFront, 0);
    EXPECT_EQ(m_processes.released, std::set<platform::ProcessId>{4242});  // reaped when it ends
}

}  // namespace
