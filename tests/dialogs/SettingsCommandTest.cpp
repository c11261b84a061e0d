#include "dialogs/SettingsCommand.h"
#include "tests/dialogs/DialogFixture.h"

using namespace dialogs;

namespace {

// Runs the dialog on the fake view; the test decides what the user does before it ends.
class ScriptedRunner : public VoiceDialogRunner {
  public:
    explicit ScriptedRunner(FakeVoiceSettingsView& view) : m_view(view) {}
    int Run(VoiceSettingsDialog& dialog) override {
        languages.push_back(dialog.Language().number);
        pathsSeen.push_back(dialog.m_userDicPath);
        dialog.SetView(&m_view);
        dialog.OnInitDialog();
        if (user) user(dialog);
        dialog.SetView(nullptr);
        return m_view.endResult;
    }
    std::function<void(VoiceSettingsDialog&)> user;
    std::vector<int> languages;
    std::vector<std::string> pathsSeen;

  private:
    FakeVoiceSettingsView& m_view;
};

class SettingsCommandTest : public DialogFixture {
  protected:
    void Run(int language) {
        m_view = {};
        OnSettings({language,
                    m_paused,
                    {&m_tb[0], &m_tb[1], &m_tb[2], &m_tb[3]},
                    [this](bool on) { m_log.push_back(on ? "topmost" : "not topmost"); },
                    [this] { m_log.push_back("flush"); },
                    m_runner,
                    Services()});
    }
    int m_paused = 1;
    std::string m_tb[4] = {"/j.csv", "/e.csv", "/c.csv", "/k.csv"};
    std::vector<std::string> m_log;
    ScriptedRunner m_runner{m_view};
};

TEST_F(SettingsCommandTest, OkTakesThePathAndTheCharacterCodeBack) {
    const std::string chosen = MakeFile("chosen.csv", "");
    m_runner.user = [&](VoiceSettingsDialog& d) {
        d.m_userDicPath = chosen;
        m_view.checked = 1009;  // QZ(繁体字)
        d.OnOK();
    };
    Run(engine::kChinese);
    EXPECT_EQ(m_runner.languages, std::vector<int>{engine::kChinese});
    EXPECT_EQ(m_runner.pathsSeen, std::vector<std::string>{"/c.csv"});
    EXPECT_EQ(m_paused, 0);
    EXPECT_EQ(m_engines.calls.front().op + std::to_string(m_engines.calls.front().language),
              "Stop9");
    EXPECT_EQ(m_log, (std::vector<std::string>{"not topmost", "flush", "topmost"}));
    EXPECT_EQ(m_tb[2], chosen);
    EXPECT_EQ(Dword(engine::kChinese, "codepage"), 3u);
}

TEST_F(SettingsCommandTest, NoSelectedCodeWritesNoCodepage) {
    g_nChiCodepage = 9;
    platform::RegKey key = platform::kNoKey;
    m_hive.OpenKey(settings::LanguageKey(engine::kChinese), platform::RegAccess::Write, &key);
    platform::SetDword(m_hive, key, "codepage", 9);
    m_hive.CloseKey(key);
    m_runner.user = [](VoiceSettingsDialog& d) { d.OnOK(); };
    Run(engine::kChinese);
    EXPECT_EQ(Dword(engine::kChinese, "codepage"), 9u);
    EXPECT_EQ(g_nChiCodepage, 9);
}

TEST_F(SettingsCommandTest, CancelTakesNothingAndOnlyTheCurrentLanguageOpens) {
    g_nChiCodepage = 0;
    m_runner.user = [&](VoiceSettingsDialog& d) {
        d.m_userDicPath = "/other.csv";
        m_view.checked = 1009;
        m_view.texts[kEditVolume] = "5";
        d.OnCancel();
    };
    Run(engine::kChinese);
    Run(engine::kKorean);
    EXPECT_EQ(m_runner.languages, (std::vector<int>{engine::kChinese, engine::kKorean}));
    EXPECT_EQ(m_tb[2], "/c.csv");
    EXPECT_EQ(m_tb[3], "/k.csv");
    EXPECT_EQ(g_nChiCodepage, 0);
    EXPECT_EQ(Dword(engine::kChinese, "codepage"), 0u);
    EXPECT_EQ(Dword(engine::kKorean, "volume"), 100u);
    EXPECT_EQ(m_engines.Summary(), "Stop 9, Stop 10");

    // A language without a dialog still puts the toolbar back on top.
    m_log.clear();
    m_paused = 1;
    Run(3);
    EXPECT_EQ(m_runner.languages.size(), 2u);
    EXPECT_EQ(m_paused, 0);
    EXPECT_EQ(m_log, std::vector<std::string>{"topmost"});
}

}  // namespace
