// 声の管理 through its window (offscreen): the rows per language, the choice kept as the
// language's Voice value, and removal putting the languages it spoke back on their built-in
// voices.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>

#include "TinyVitsModel.h"
#include "dialogs/qt/VoiceManagerWindow.h"
#include "engine/Languages.h"
#include "platform/posix/RegFileHive.h"
#include "settings/SettingsStore.h"
#include "tests/fakes/FakeMessageBox.h"

namespace fs = std::filesystem;

namespace {

QPushButton* buttonNamed(QWidget& w, const char* name) {
    for (QPushButton* b : w.findChildren<QPushButton*>())
        if (b->text() == QString::fromUtf8(name)) return b;
    return nullptr;
}

TEST(VoiceManagerWindow, ChoosesPerLanguageAndRemovalFallsBackToTheBuiltInVoice) {
    char tmpl[] = "/tmp/voice-manager-test-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string voices = std::string(tmpl) + "/voices";
    auto english = tiny_vits::defaultMetadata();
    auto chinese = english;
    chinese["language"] = "Chinese";
    for (const auto& [name, meta] :
         {std::pair{"amy", english}, {"lin", chinese}, {"broken", english}}) {
        fs::create_directories(voices + "/" + name);
        tiny_vits::write(voices + "/" + name, meta);
    }
    fs::remove(voices + "/broken/tokens.txt");

    platform::RegFileHive hive("");  // in memory
    for (const engine::LanguageInfo& lang : engine::Languages()) {
        platform::RegKey key = platform::kNoKey;
        ASSERT_EQ(hive.CreateKey(settings::LanguageKey(lang.number), &key), platform::kRegOk);
        hive.CloseKey(key);
    }
    dialogs::VoiceManager manager(hive, voices);
    FakeMessageBox messages;
    int tested = 0;
    VoiceManagerWindow window(
        manager, messages, [&](int language) { tested = language; }, engine::kEnglish);
    QListWidget* list = window.List();

    ASSERT_EQ(list->count(), 3);  // built-in, amy, then broken (shown, not choosable)
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_FALSE(list->item(2)->flags() & Qt::ItemIsEnabled);
    EXPECT_FALSE(manager.Choose(engine::kEnglish, "broken"));
    EXPECT_FALSE(manager.Choose(engine::kEnglish, "lin")) << "a Chinese voice for English";
    list->setCurrentRow(1);
    EXPECT_EQ(settings::LoadAddedVoice(hive, engine::kEnglish), "amy");
    buttonNamed(window, "テスト")->click();
    EXPECT_EQ(tested, engine::kEnglish);

    window.findChild<QComboBox*>()->setCurrentIndex(engine::LanguageIndex(engine::kChinese));
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->data(Qt::UserRole).toString(), "lin");
    list->setCurrentRow(1);
    EXPECT_EQ(settings::LoadAddedVoice(hive, engine::kChinese), "lin");

    // A hand edit naming a voice that is not there reads as the built-in voice.
    ASSERT_TRUE(settings::SaveAddedVoice(hive, engine::kKorean, "gone"));
    EXPECT_EQ(manager.ChosenRow(engine::kKorean), 0u);

    window.findChild<QComboBox*>()->setCurrentIndex(engine::LanguageIndex(engine::kEnglish));
    EXPECT_EQ(list->currentRow(), 1);
    buttonNamed(window, "削除")->click();
    EXPECT_FALSE(fs::exists(voices + "/amy"));
    EXPECT_EQ(settings::LoadAddedVoice(hive, engine::kEnglish), "");
    EXPECT_EQ(settings::LoadAddedVoice(hive, engine::kChinese), "lin");
    EXPECT_EQ(list->count(), 2);
    EXPECT_TRUE(messages.shown.empty());
    fs::remove_all(tmpl);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
