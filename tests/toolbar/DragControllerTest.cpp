#include <gtest/gtest.h>

#include "toolbar/DragController.h"

TEST(DragController, OnlyALeftPressOnTheLogoStartsADrag) {
    struct Row {
        QPoint at;
        Qt::MouseButton button;
        bool starts;
    };
    const Row rows[] = {
        {{0, 0}, Qt::LeftButton, true},     {{55, 37}, Qt::LeftButton, true},
        {{56, 5}, Qt::LeftButton, false},   {{200, 2}, Qt::LeftButton, false},
        {{10, 10}, Qt::RightButton, false}, {{10, 10}, Qt::MiddleButton, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "press at " << r.at.x() << "," << r.at.y());
        DragController d;
        EXPECT_EQ(d.press(r.at, r.button), r.starts);
        EXPECT_EQ(d.dragging(), r.starts);
    }
}

TEST(DragController, TheWindowFollowsTheCursorKeepingTheAnchorUnderIt) {
    DragController d;
    ASSERT_TRUE(d.press({12, 20}, Qt::LeftButton));
    // Window at (200, 200): the press was at global (212, 220).
    auto p = d.move({260, 250}, Qt::LeftButton);
    ASSERT_TRUE(p);
    EXPECT_EQ(*p, QPoint(248, 230));
    p = d.move({-40, -30}, Qt::LeftButton);  // monitors left of and above the primary one
    ASSERT_TRUE(p);
    EXPECT_EQ(*p, QPoint(-52, -50));

    EXPECT_TRUE(d.release(Qt::LeftButton));
    EXPECT_FALSE(d.dragging());
    EXPECT_FALSE(d.move({300, 300}, Qt::LeftButton));
    EXPECT_FALSE(d.release(Qt::LeftButton));
}

TEST(DragController, AMoveWithoutTheButtonHeldEndsALostDrag) {
    DragController d;
    ASSERT_TRUE(d.press({5, 5}, Qt::LeftButton));
    EXPECT_FALSE(d.release(Qt::RightButton));
    EXPECT_TRUE(d.dragging());
    EXPECT_FALSE(d.move({100, 100}, Qt::NoButton));
    EXPECT_FALSE(d.dragging());
    EXPECT_FALSE(d.move({120, 100}, Qt::LeftButton));
}

TEST(DragController, MoveCursorCoversColumnsZeroTo54) {
    EXPECT_TRUE(DragController::showsMoveCursor({0, 0}));
    EXPECT_TRUE(DragController::showsMoveCursor({54, 37}));
    EXPECT_FALSE(DragController::showsMoveCursor({55, 10}));  // still starts a drag
    EXPECT_FALSE(DragController::showsMoveCursor({-1, 10}));
}
