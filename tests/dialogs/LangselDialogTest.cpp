// The language selection dialog and the About box, drawn offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include "SelvarineVersion.h"
#include "dialogs/qt/CAbout.h"
#include "dialogs/qt/CLangselDlg.h"
#include "settings/Globals.h"

namespace {

void StartEngines(std::initializer_list<int> languages) {
    std::fill(std::begin(g_bEngineLoaded), std::end(g_bEngineLoaded), 0);
    for (int n : languages) g_bEngineLoaded[n] = 1;
}

bool HasKeyColour(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == 0xFF00FF) return true;
    return false;
}

// Runs check on the next modal dialog that opens, then ends it with key (or OK if none).
void OnNextModal(std::function<void(QDialog&)> check, Qt::Key key = Qt::Key_unknown) {
    QTimer::singleShot(0, [check, key] {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(modal, nullptr);
        check(*modal);
        if (key != Qt::Key_unknown)
            QTest::keyClick(modal, key);
        else
            modal->accept();
    });
}

}  // namespace

TEST(CLangselDlg, OnlyStartedLanguagesShowTheirPicturesAndTheCurrentIsPressed) {
    StartEngines({7, 10});
    CLangselDlg dlg(g_bEngineLoaded);
    dlg.m_language = 10;
    EXPECT_TRUE(dlg.OnInitDialog());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("言語選択"));
    EXPECT_FALSE(dlg.windowFlags() & (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint));

    struct Row {
        int language;
        const char* caption;
        bool picture, checked;
    };
    for (const Row& r : {Row{7, "日本語", true, false}, Row{8, "英語", false, false},
                         Row{9, "中国語", false, false}, Row{10, "韓国語", true, true}}) {
        SCOPED_TRACE(r.caption);
        QAbstractButton* b = dlg.LanguageButton(r.language);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->isEnabled(), r.picture);
        EXPECT_EQ(b->icon().isNull(), !r.picture);
        EXPECT_EQ(b->text(), r.picture ? QString() : QString::fromUtf8(r.caption));
        EXPECT_EQ(b->accessibleName(), QString::fromUtf8(r.caption));
        EXPECT_EQ(b->isChecked(), r.checked);
    }

    SCOPED_TRACE("the pictures sit on the button face: no key colour is left");
    const QColor face = dlg.LanguageButton(7)->palette().color(QPalette::Button);
    for (const QPixmap& picture : dlg.m_hButtonImages) {
        const QImage image = picture.toImage();
        ASSERT_EQ(image.size(), QSize(145, 26));
        EXPECT_FALSE(HasKeyColour(image));
        EXPECT_EQ(image.pixel(144, 0) & 0xFFFFFF, face.rgb() & 0xFFFFFF);
    }
}

TEST(CLangselDlg, ArrowsAndSpaceChooseALanguageAndEnterIsOk) {
    StartEngines({7, 8, 9, 10});
    CLangselDlg dlg(g_bEngineLoaded);
    dlg.m_language = 7;
    dlg.OnInitDialog();
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    ASSERT_EQ(QApplication::focusWidget(), dlg.LanguageButton(7));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(dlg.m_language, 8);
    EXPECT_TRUE(dlg.LanguageButton(8)->isChecked());
    EXPECT_FALSE(dlg.LanguageButton(7)->isChecked());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(dlg.m_language, 10);

    dlg.LanguageButton(9)->setFocus();
    QTest::keyClick(dlg.LanguageButton(9), Qt::Key_Space);
    EXPECT_EQ(dlg.m_language, 9);
    EXPECT_TRUE(dlg.LanguageButton(9)->isChecked());
    EXPECT_FALSE(dlg.LanguageButton(10)->isChecked());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.m_language, 9);
}

TEST(CLangselDlg, RunKeepsTheLanguageOnCancelAndOpensTheAboutBox) {
    StartEngines({7, 8, 9, 10});
    QtLanguageSelection selection(g_bEngineLoaded);
    int language = 8;
    OnNextModal(
        [](QDialog& d) {
            auto* dlg = dynamic_cast<CLangselDlg*>(&d);
            ASSERT_NE(dlg, nullptr);
            EXPECT_TRUE(dlg->LanguageButton(8)->isChecked());
            dlg->LanguageButton(10)->click();
            OnNextModal([](QDialog& about) {
                EXPECT_EQ(about.windowTitle(), QStringLiteral("バージョン情報"));
            });
            dlg->AboutButton()->click();  // returns once the About box has closed
            EXPECT_EQ(QApplication::activeModalWidget(), dlg);
        },
        Qt::Key_Escape);
    EXPECT_FALSE(selection.Run(language));
    EXPECT_EQ(language, 8);
}

TEST(CAbout, ShowsTheProductAndClosesWithOkOrEscape) {
    CAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("バージョン情報"));
    QStringList texts;
    bool icon = false;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        texts << label->text();
        icon = icon || !label->pixmap().isNull();
    }
    EXPECT_TRUE(icon);
    EXPECT_TRUE(texts.contains(QString::fromUtf8("Selvarine 日中英韓 Ver " SELVARINE_VERSION)));
    EXPECT_TRUE(texts.filter(QStringLiteral("espeak-ng 1.")).size() == 1)
        << texts.join('|').toStdString();
    EXPECT_TRUE(about.OkButton()->isDefault());

    OnNextModal([](QDialog&) {}, Qt::Key_Escape);
    EXPECT_EQ(about.exec(), QDialog::Rejected);
    QTimer::singleShot(0, [&about] { about.OkButton()->click(); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
