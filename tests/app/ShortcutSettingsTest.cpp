#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "app/ShortcutSettings.h"
#include "platform/posix/RegFileHive.h"
#include "settings/SettingsStore.h"
#include "tests/fakes/FakeGlobalShortcuts.h"

using namespace platform;
using settings::ParseKeySequence;

TEST(ShortcutSettings, ParsesQtPortableText) {
    const struct {
        const char* text;
        std::optional<KeyChord> chord;
    } rows[] = {
        {"Ctrl+Alt+Shift+S", KeyChord{kModControl | kModAlt | kModShift, U's'}},
        {"shift+ctrl+alt+s", KeyChord{kModControl | kModAlt | kModShift, U's'}},
        {"Meta+F12", KeyChord{kModMeta, kKeyF1 + 11}},
        {"F35", KeyChord{0, kKeyF1 + 34}},
        {"Ctrl++", KeyChord{kModControl, U'+'}},
        {"Alt+Space", KeyChord{kModAlt, U' '}},
        {"Ctrl+PgDown", KeyChord{kModControl, kKeyPageDown}},
        {"Ctrl+Esc", KeyChord{kModControl, kKeyEscape}},
        {"Ctrl+Alt+Ö", KeyChord{kModControl | kModAlt, U'Ö'}},
        {"", std::nullopt},
        {"Ctrl+", std::nullopt},
        {"Ctrl+Alt", std::nullopt},
        {"Ctrl+SS", std::nullopt},
        {"Ctrl+F0", std::nullopt},
        {"Ctrl+F36", std::nullopt},
        {"Ctrl+F01", std::nullopt},
        {"Ctrl+A, Ctrl+B", std::nullopt},
        {"Hyper+S", std::nullopt},
        {" Ctrl+S", std::nullopt},
        {"Ctrl+\xff", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseKeySequence(row.text), row.chord);
    }
}

class ShortcutLoadTest : public ::testing::Test {
  protected:
    ShortcutLoadTest() {
        char tmpl[] = "/tmp/selvarine-shortcuts-XXXXXX";
        m_dir = mkdtemp(tmpl);
    }
    ~ShortcutLoadTest() override { std::filesystem::remove_all(m_dir); }

    void PutString(const std::string& name, const std::string& text) {
        RegKey key;
        ASSERT_EQ(hive.CreateKey(settings::kTopKey, &key), kRegOk);
        hive.SetValue(key, name, RegType::Sz, text.c_str(),
                      static_cast<std::uint32_t>(text.size() + 1));
        hive.CloseKey(key);
    }

    std::string m_dir;
    RegFileHive hive{m_dir + "/Selvarine.reg"};
    std::vector<std::string> reports;
    std::function<void(const std::string&)> report = [this](const std::string& line) {
        reports.push_back(line);
    };
};

TEST_F(ShortcutLoadTest, AbsentMeansDefaultEmptyMeansOffGarbageIsReportedOnce) {
    PutString("ShortcutReadAll", "");
    PutString("shortcutpauseresume", "Ctrl+Alt+Banana");
    PutString("ShortcutStop", "Meta+Pause");

    const auto inForce = settings::LoadShortcuts(hive, report);

    EXPECT_EQ(inForce[settings::kShortcutReadSelection].chord,
              (KeyChord{kModControl | kModAlt | kModShift, U's'}));
    EXPECT_FALSE(inForce[settings::kShortcutReadAll].chord);
    EXPECT_EQ(inForce[settings::kShortcutPauseResume].chord,
              (KeyChord{kModControl | kModAlt | kModShift, U'p'}));
    EXPECT_EQ(inForce[settings::kShortcutStop].chord, (KeyChord{kModMeta, kKeyPause}));
    const std::pair<settings::Shortcut, char32_t> arrows[] = {
        {settings::kShortcutNextSentence, platform::kKeyRight},
        {settings::kShortcutPreviousSentence, platform::kKeyLeft},
        {settings::kShortcutFaster, platform::kKeyUp},
        {settings::kShortcutSlower, platform::kKeyDown}};
    for (auto [shortcut, key] : arrows)
        EXPECT_EQ(inForce[shortcut].chord, (KeyChord{kModControl | kModAlt | kModShift, key}));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("ShortcutPauseResume"), std::string::npos);
    EXPECT_NE(reports[0].find("Ctrl+Alt+Banana"), std::string::npos);

    // Only read: nothing is written for the shortcuts.
    RegKey key;
    ASSERT_EQ(hive.OpenKey(settings::kTopKey, RegAccess::Read, &key), kRegOk);
    std::uint32_t size = 0;
    EXPECT_EQ(hive.QueryValue(key, "ShortcutReadSelection", nullptr, nullptr, &size), kRegNotFound);
    hive.CloseKey(key);
}

TEST_F(ShortcutLoadTest, TakenShortcutIsReportedAndTheOthersStillRegister) {
    const auto inForce = settings::LoadShortcuts(hive, report);  // no settings at all
    EXPECT_TRUE(reports.empty());
    FakeGlobalShortcuts shortcuts;
    shortcuts.taken = {*inForce[settings::kShortcutReadAll].chord};

    settings::TakeShortcuts(shortcuts, inForce, report);

    EXPECT_EQ(shortcuts.registered.size(), std::size_t{settings::kShortcutCount - 1});
    EXPECT_FALSE(shortcuts.registered.count(settings::kShortcutReadAll));
    EXPECT_EQ(shortcuts.registered[settings::kShortcutStop],
              (KeyChord{kModControl | kModAlt | kModShift, U'x'}));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("Ctrl+Alt+Shift+A"), std::string::npos);
    EXPECT_NE(reports[0].find("taken"), std::string::npos);
}
