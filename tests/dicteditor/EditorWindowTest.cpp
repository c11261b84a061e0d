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
// all, for the selected row and for typed text; what espeak-ng is handed when it stands in
// for a missing voice file; and a plain statement when the engine cannot start.
TEST(EditorWindow, ShowsHowTheVoiceReadsTheRowOrTypedText) {
    const fs::path dir = fs::temp_directory_path() / ("editor-reading-" + std::to_string(getpid()));
    const fs::path file = dir / "userdict.csv";
    const engine::LanguageInfo& japanese = *engine::FindLanguage(engine::kJapanese);
    // A program folder whose Japanese voice.conf names a voice file that is not there.
    const fs::path standIn = dir / "stand-in";
    fs::create_directories(standIn / japanese.voiceDir);
    for (const std::string& lib :
         {std::string(japanese.library) + ".so", std::string("libselvarine_synth.so")})
        fs::create_symlink(fs::path(PROGRAM_DIR) / lib, standIn / lib);
    {
        std::ifstream in(fs::path(PROGRAM_DIR) / japanese.voiceDir / "voice.conf");
        std::ofstream out(standIn / japanese.voiceDir / "voice.conf");
        for (std::string line; std::getline(in, line);)
            out << (line.starts_with("hts-voice =") ? "hts-voice = gone.htsvoice" : line) << "\n";
    }
    std::ofstream(file) << "あめ,雨\n";
    FakePrompts prompts;
    enum Case { Natural, StandIn, NoEngine };
    for (const Case c : {Natural, StandIn, NoEngine}) {
        SCOPED_TRACE(c == Natural ? "natural voice" : c == StandIn ? "stand-in" : "no engine");
        auto loaded = dicteditor::DictionaryDocument::Load(file.string());
        ASSERT_TRUE(loaded.document);
        const std::string programDir = c == Natural   ? PROGRAM_DIR "/"
                                       : c == StandIn ? standIn.string() + "/"
                                                      : (dir / "missing/").string();
        dicteditor::EditorWindow window(
            file.string(), std::move(*loaded.document), prompts,
            std::make_unique<dicteditor::EnginePreview>(japanese, programDir));
        window.show();
        if (c == NoEngine) {
            EXPECT_TRUE(ReadingShown(window).startsWith(QStringLiteral("音声が使えないため")));
            continue;
        }
        if (c == StandIn) {
            EXPECT_EQ(ReadingShown(window),
                      QStringLiteral("アメ\n(本来の声が使えないため、代わりの声 espeak-ng ja "
                                     "に渡す読みです)"));
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
    fs::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
