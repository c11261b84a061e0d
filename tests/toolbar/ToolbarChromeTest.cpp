// The toolbar's look and feel on a stand-in toolbar widget, drawn offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include <map>

#include "toolbar/Skin.h"
#include "toolbar/SkinButton.h"
#include "toolbar/SkinLayout.h"
#include "toolbar/ToolbarChrome.h"
#include "toolbar/WindowOutline.h"

namespace {

// What the application's toolbar does with the hooks.
class Toolbar : public QWidget {
  public:
    Toolbar() : chrome(new ToolbarChrome(this)) {
        setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        setFixedSize(248, 38);
        chrome->loadSkin();
        chrome->buildWindowRegion();
        chrome->createButtons([this] { return language; });
        chrome->createToolTips();
    }
    int language = 7;
    ToolbarChrome* chrome;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        chrome->paintBackground(p);
    }
    void mousePressEvent(QMouseEvent* e) override { chrome->mousePress(e); }
    void mouseMoveEvent(QMouseEvent* e) override { chrome->mouseMove(e); }
    void mouseReleaseEvent(QMouseEvent* e) override { chrome->mouseRelease(e); }
};

class PaintCounter : public QObject {
  public:
    std::map<QObject*, int> paints;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints[o];
        return false;
    }
};

void sendMouse(QWidget* w, QEvent::Type type, QPoint local, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, held,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

class ToolbarChromeTest : public testing::Test {
  protected:
    void SetUp() override {
        // Park the cursor far away so that no face shows the hover look by accident.
        QCursor::setPos(1000, 700);
        toolbar.move(200, 200);
        toolbar.show();
        QApplication::processEvents();
        skin = toolbar.chrome->skin();
        ASSERT_FALSE(skin.isNull());
    }
    QImage shot() { return toolbar.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // Whether the toolbar shows this skin face at the button's place.
    bool showsFace(const QImage& img, int buttonIndex, int cell, int band) {
        const auto& b = SkinLayout::kButtons[buttonIndex];
        const QImage expected = skin.copy(Skin::cellSource(cell, band));
        return img.copy(b.left, b.top, 26, 28) == expected;
    }
    Toolbar toolbar;
    QImage skin;
};

}  // namespace

TEST_F(ToolbarChromeTest, BackgroundComesFromBandZeroAcrossThePaintSeam) {
    const QImage img = shot();
    EXPECT_EQ(img.pixel(100, 5), skin.pixel(100, 5));
    EXPECT_EQ(img.pixel(200, 5), skin.pixel(470, 5));
    EXPECT_EQ(img.pixel(247, 20), skin.pixel(517, 20));
    EXPECT_EQ(img.pixel(56, 30), skin.pixel(56, 30));  // gaps between buttons
    EXPECT_EQ(img.pixel(218, 30), skin.pixel(488, 30));

    // Skin columns coded into the pixels, so each source column is recognisable.
    QImage coded(518, 152, QImage::Format_RGB32);
    for (int y = 0; y < coded.height(); ++y)
        for (int x = 0; x < coded.width(); ++x) coded.setPixel(x, y, qRgb(x & 0xFF, y, x >> 8));
    QImage out(248, 38, QImage::Format_RGB32);
    out.fill(Qt::black);
    {
        QPainter p(&out);
        Skin::paintBackground(p, coded);
    }
    for (auto [wx, sx] : {std::pair{0, 0},
                          {100, 100},
                          {164, 164},
                          {165, 435},
                          {170, 440},
                          {191, 461},
                          {192, 462},
                          {247, 517}})
        for (int y : {0, 5, 20, 37}) {
            SCOPED_TRACE(testing::Message() << "window " << wx << "," << y);
            EXPECT_EQ(out.pixel(wx, y), coded.pixel(sx, y));
        }
}

TEST_F(ToolbarChromeTest, MaskIsTheOutlineOfTheSkin) {
    EXPECT_EQ(toolbar.mask(), WindowOutline::build(skin, SkinLayout::kKeyColour));
    EXPECT_FALSE(toolbar.mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(toolbar.mask().contains(QPoint(247, 36)));
    EXPECT_TRUE(toolbar.mask().contains(QPoint(246, 36)));
}

TEST_F(ToolbarChromeTest, EachButtonShowsItsCellInTheLookOfItsState) {
    const int cells[] = {1, 2, 3, 4, 5, 13, 17};
    QImage img = shot();
    for (int i = 0; i < 7; ++i) EXPECT_TRUE(showsFace(img, i, cells[i], 0)) << "button " << i;

    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(testing::Message() << "button " << i);
        SkinButton* b = toolbar.chrome->buttons()[i];
        EXPECT_EQ(b->geometry(), QRect(QPoint(SkinLayout::kButtons[i].left, 10),
                                       QPoint(SkinLayout::kButtons[i].right - 1, 37)));
        QCursor::setPos(b->mapToGlobal(QPoint(13, 14)));
        img = shot();
        EXPECT_TRUE(showsFace(img, i, cells[i], SkinLayout::kHover));
        EXPECT_FALSE(showsFace(img, (i + 1) % 7, cells[(i + 1) % 7], SkinLayout::kHover));

        b->setDown(true);
        EXPECT_TRUE(showsFace(shot(), i, cells[i], SkinLayout::kPressed));
        b->setDown(false);
    }
    QCursor::setPos(1000, 700);
    EXPECT_TRUE(showsFace(shot(), 6, 17, 0));
}

TEST_F(ToolbarChromeTest, LanguageButtonFollowsTheCurrentLanguage) {
    for (auto [language, cell] : {std::pair{7, 13},
                                  {8, 14},
                                  {9, 15},
                                  {10, 16},
                                  {3, 9},
                                  {0, 6},
                                  {11, 0},
                                  {-1, 0},
                                  {1000000, 0}}) {
        SCOPED_TRACE(testing::Message() << "language " << language);
        toolbar.language = language;
        EXPECT_TRUE(showsFace(shot(), 5, cell, 0));
    }

    // A language change repaints the whole toolbar; the language button must be part of it.
    PaintCounter counter;
    SkinButton* language = toolbar.chrome->button(SkinLayout::kLanguageButtonId);
    language->installEventFilter(&counter);
    QApplication::processEvents();
    counter.paints.clear();
    toolbar.update();
    QApplication::processEvents();
    EXPECT_GE(counter.paints[language], 1);
}

TEST_F(ToolbarChromeTest, HoverChangesRedrawTheButtonsConcerned) {
    PaintCounter counter;
    const auto& buttons = toolbar.chrome->buttons();
    for (SkinButton* b : buttons) b->installEventFilter(&counter);
    auto enter = [](QWidget* w) {
        QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(w->mapToGlobal(QPoint(5, 5))));
        QApplication::sendEvent(w, &e);
    };
    auto leave = [](QWidget* w) {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(w, &e);
    };
    auto settle = [&] {
        counter.paints.clear();
        QApplication::processEvents();
        return counter.paints;
    };
    settle();

    enter(buttons[2]);
    auto painted = settle();
    EXPECT_EQ(toolbar.chrome->hover().current(), 2);
    EXPECT_GE(painted[buttons[2]], 1);
    EXPECT_EQ(painted[buttons[3]], 0);

    SCOPED_TRACE("straight to the neighbour");
    leave(buttons[2]);
    enter(buttons[3]);
    painted = settle();
    EXPECT_GE(painted[buttons[2]], 1);
    EXPECT_GE(painted[buttons[3]], 1);
    EXPECT_EQ(painted[buttons[0]], 0);

    SCOPED_TRACE("out over the outer edge");
    leave(buttons[3]);
    painted = settle();
    EXPECT_GE(painted[buttons[3]], 1);
    EXPECT_EQ(toolbar.chrome->hover().current(), -1);

    SCOPED_TRACE("onto the toolbar's background");
    enter(buttons[4]);
    settle();
    sendMouse(&toolbar, QEvent::MouseMove, {100, 3}, Qt::NoButton, Qt::NoButton);
    painted = settle();
    EXPECT_GE(painted[buttons[4]], 1);
    EXPECT_EQ(toolbar.chrome->hover().current(), -1);
}

TEST_F(ToolbarChromeTest, MoveCursorOverTheLogoArrowElsewhere) {
    for (auto [x, shape] : {std::pair{0, Qt::SizeAllCursor},
                            {54, Qt::SizeAllCursor},
                            {55, Qt::ArrowCursor},
                            {100, Qt::ArrowCursor},
                            {30, Qt::SizeAllCursor}}) {
        sendMouse(&toolbar, QEvent::MouseMove, {x, 20}, Qt::NoButton, Qt::NoButton);
        EXPECT_EQ(toolbar.cursor().shape(), shape) << "x " << x;
    }
    for (SkinButton* b : toolbar.chrome->buttons()) EXPECT_EQ(b->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(ToolbarChromeTest, DraggingTheLogoMovesTheWindowAndNothingElseDoes) {
    const QPoint start = toolbar.pos();
    // Mouse events at a global cursor position; the local one follows the moving window.
    auto mouse = [&](QEvent::Type type, QPoint global, Qt::MouseButton button,
                     Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(global - toolbar.pos()), QPointF(global), button, held,
                      Qt::NoModifier);
        QApplication::sendEvent(&toolbar, &e);
    };
    mouse(QEvent::MouseButtonPress, start + QPoint(55, 20), Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(toolbar.chrome->drag().dragging());
    mouse(QEvent::MouseMove, start + QPoint(85, 60), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(toolbar.pos(), start + QPoint(30, 40));
    mouse(QEvent::MouseMove, start + QPoint(25, 10), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(toolbar.pos(), start + QPoint(-30, -10));
    mouse(QEvent::MouseButtonRelease, start + QPoint(25, 10), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(toolbar.chrome->drag().dragging());
    mouse(QEvent::MouseMove, start + QPoint(125, 10), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(toolbar.pos(), start + QPoint(-30, -10));

    const QPoint here = toolbar.pos();
    for (QPoint at : {QPoint(56, 20), QPoint(100, 3), QPoint(83, 30)}) {
        SCOPED_TRACE(testing::Message() << "press at " << at.x() << "," << at.y());
        mouse(QEvent::MouseButtonPress, here + at, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, here + at + QPoint(40, 40), Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, here + at + QPoint(40, 40), Qt::LeftButton, Qt::NoButton);
        EXPECT_EQ(toolbar.pos(), here);
    }
}

TEST_F(ToolbarChromeTest, TooltipsHaveTheirFixedTextsAndShowOnAnInactiveToolbar) {
    EXPECT_TRUE(toolbar.testAttribute(Qt::WA_AlwaysShowToolTips));
    const char* texts[] = {"範囲指定読み上げ", "全文読み上げ", "中断／再開", "停止", "設定",
                           "言語選択",         "閉じる"};
    const int ids[] = {101, 1015, 1042, 102, 103, 104, 1};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(toolbar.chrome->button(ids[i]), toolbar.chrome->buttons()[i]);
        EXPECT_EQ(toolbar.chrome->buttons()[i]->toolTip(), QString::fromUtf8(texts[i]));
    }
    EXPECT_EQ(toolbar.chrome->button(999), nullptr);
}

TEST(ProgramIcon, HasEveryDrawnSize) {
    const QIcon icon = Skin::programIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (int s : {16, 32, 48, 256}) EXPECT_TRUE(sizes.contains(QSize(s, s))) << s;
    EXPECT_FALSE(icon.pixmap(32).isNull());
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
