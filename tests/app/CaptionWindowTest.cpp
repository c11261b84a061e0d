// The caption strip, laid out by Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTextDocument>

#include <string>

#include "app/CaptionWindow.h"

namespace {

// A word wider than the strip wraps onto further lines instead of being cut at its edge;
// words that fit are never broken.
TEST(CaptionWindow, AWordWiderThanTheStripWrapsWhole) {
    CaptionWindow caption;
    const QLabel* label = caption.findChild<QLabel*>();
    ASSERT_TRUE(label);
    const int oneLine = caption.ShowCaption("Short words only.", 6, 11);
    EXPECT_FALSE(label->text().contains(QChar(0x200B)));

    const std::string word(200, 'w');
    const struct {
        const char* name;
        std::string sentence;
        int start, end;
    } rows[] = {
        {"alone", word, -1, -1},
        {"marked, after a short word", "A " + word + ".", 2, 202},
        {"marked inside a long run", "x" + word, 50, 60},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const int height = caption.ShowCaption(row.sentence, row.start, row.end);
        // 200 w's take several lines of the strip.
        EXPECT_GT(height, 3 * oneLine) << label->text().toStdString();
        QTextDocument shown;
        shown.setHtml(label->text());
        EXPECT_EQ(shown.toPlainText().remove(QChar(0x200B)), QString::fromStdString(row.sentence));
        EXPECT_EQ(label->accessibleName(), QString::fromStdString(row.sentence));
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
