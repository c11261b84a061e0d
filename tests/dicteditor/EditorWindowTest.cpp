// The editor's window, offscreen, driven by accessible names as an assistive tool drives it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/dicteditor/EditorWindow.h"

namespace fs = std::filesystem;

namespace {

class FakePrompts : public dicteditor::Prompts {
  public:
    void Warn(const std::string& text) override { warnings.push_back(text); }
    bool Confirm(const std::string& text) override {
        questions.push_back(text);
        return false;
    }
    SaveChoice AskSaveChanges(const std::string& text) override {
        questions.push_back(text);
        return SaveChoice::Cancel;
    }
    std::vector<std::string> warnings, questions;
};

template <typename W>
W* Named(QWidget& window, const QString& name) {
    for (W* w : window.findChildren<W*>())
        if (w->accessibleName() == name ||
            (w->accessibleName().isEmpty() &&
             QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name) == name))
            return w;
    return nullptr;
}

TEST(EditorWindow, AddsARowByNameAndSavesIt) {
    const fs::path file =
        fs::temp_directory_path() / ("editor-" + std::to_string(getpid()) + ".csv");
    std::ofstream(file) << "# 辞書\na,b\n";
    auto loaded = dicteditor::DictionaryDocument::Load(file.string());
    ASSERT_TRUE(loaded.document);
    FakePrompts prompts;
    dicteditor::EditorWindow window(file.string(), std::move(*loaded.document), prompts, nullptr);
    window.show();
    EXPECT_EQ(window.windowTitle(), QString::fromStdString(file.filename().string()) +
                                        QStringLiteral(" - ユーザー辞書エディタ"));

    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QPushButton*>(w) &&
            !qobject_cast<QTableView*>(w))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->metaObject()->className();
    }

    Named<QPushButton>(window, "追加")->click();
    Named<QLineEdit>(window, "表記")->setText("東京");
    Named<QLineEdit>(window, "読み")->setText("とうきょう");
    Named<QPushButton>(window, "保存")->click();
    std::stringstream saved;
    saved << std::ifstream(file).rdbuf();
    EXPECT_EQ(saved.str(), "# 辞書\na,b\n東京,とうきょう\n");
    EXPECT_TRUE(prompts.warnings.empty());

    // Unsaved changes hold the window open when the user cancels.
    Named<QLineEdit>(window, "読み")->setText("とーきょー");
    window.close();
    EXPECT_EQ(prompts.questions.size(), 1u);
    EXPECT_TRUE(window.isVisible());
    fs::remove(file);
}

// The 読み確認 line, once the look-up thread has answered.
QString ReadingShown(dicteditor::EditorWindow& window) {
    QLabel* label = Named<QLabel>(window, "声の読み");
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 30000 &&
           (label->text().isEmpty() || label->text() == QStringLiteral("確認中…")))
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return label->text();
}

// Through the real Japanese engine: what its Open JTalk voice is handed, accent marks and
// all, for the selected row and for typed text; and a plain statement when it cannot start.
TEST(EditorWindow, ShowsHowTheVoiceReadsTheRowOrTypedText) {
    const fs::path file =
        fs::temp_directory_path() / ("editor-reading-" + std::to_string(getpid()) + ".csv");
    std::ofstream(file) << "あめ,雨\n";
    const engine::LanguageInfo& japanese = *engine::FindLanguage(engine::kJapanese);
    FakePrompts prompts;
    for (const bool engineThere : {true, false}) {
        SCOPED_TRACE(engineThere ? "engine" : "no engine");
        auto loaded = dicteditor::DictionaryDocument::Load(file.string());
        ASSERT_TRUE(loaded.document);
        auto preview = std::make_unique<dicteditor::EnginePreview>(
            japanese, engineThere ? PROGRAM_DIR "/" : file.string() + ".missing/");
        dicteditor::EditorWindow window(file.string(), std::move(*loaded.document), prompts,
                                        std::move(preview));
        window.show();
        if (!engineThere) {
            EXPECT_TRUE(ReadingShown(window).startsWith(QStringLiteral("音声が使えないため")));
            continue;
        }
        EXPECT_EQ(ReadingShown(window), QStringLiteral("ア'メ"));
        QLineEdit* check = Named<QLineEdit>(window, "読み確認");
        check->setText(QStringLiteral("飴とcandy"));
        EXPECT_EQ(ReadingShown(window), QStringLiteral("アメト ［英語］candy"));
        // The row's replacement again once the field is empty; edits to it show at once.
        check->clear();
        Named<QLineEdit>(window, "読み")->setText(QStringLiteral("箸"));
        EXPECT_EQ(ReadingShown(window), QStringLiteral("ハ'シ"));
    }
    EXPECT_TRUE(prompts.warnings.empty());
    fs::remove(file);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
