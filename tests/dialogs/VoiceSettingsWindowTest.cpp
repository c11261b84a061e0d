// The voice settings windows as Qt draws them (offscreen), with whatever font the desktop
// gives for the layout's families.

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include "dialogs/qt/VoiceSettingsWindow.h"
#include "tests/dialogs/DialogFixture.h"

namespace {

using VoiceSettingsWindowTest = DialogFixture;

// A button's caption fits when its text and the style's margins fit its width.
int NeededWidth(const QPushButton& button) {
    const int margins = 2 * button.style()->pixelMetric(QStyle::PM_DefaultFrameWidth) +
                        button.style()->pixelMetric(QStyle::PM_ButtonMargin);
    return button.fontMetrics().horizontalAdvance(button.text()) + margins;
}

// What a caption needs: its text and the style's margins, for a radio button its indicator too.
int NeededWidth(const QAbstractButton& button) {
    if (auto* push = qobject_cast<const QPushButton*>(&button)) return NeededWidth(*push);
    return button.sizeHint().width();
}

TEST_F(VoiceSettingsWindowTest, EveryButtonShowsItsWholeCaptionInsideTheDialog) {
    const dialogs::LayoutSet& layouts = dialogs::VoiceSettingsLayouts();
    for (const engine::LanguageInfo& lang : engine::Languages()) {
        SCOPED_TRACE(lang.name);
        auto logic = dialogs::MakeVoiceSettingsDialog(lang.number, Services());
        const dialogs::DialogLayout* layout = layouts.Find(lang.settingsDialog);
        ASSERT_TRUE(layout);
        dialogs::VoiceSettingsWindow window(*layout, layouts.font, *logic);
        const auto buttons = window.findChildren<QAbstractButton*>();
        ASSERT_GE(buttons.size(), 6);
        for (const QAbstractButton* button : buttons) {
            SCOPED_TRACE(button->text().toStdString());
            EXPECT_GE(button->width(), NeededWidth(*button));
            EXPECT_TRUE(window.rect().contains(button->geometry()));
            for (const QAbstractButton* other : buttons) {
                if (other != button) {
                    EXPECT_FALSE(button->geometry().intersects(other->geometry()));
                }
            }
        }
        if (const char* dir = std::getenv("SHOT_DIR"))
            window.grab().save(QString("%1/%2.png").arg(dir).arg(lang.name));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
