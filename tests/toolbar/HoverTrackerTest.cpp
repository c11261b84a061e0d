#include <gtest/gtest.h>

#include "toolbar/HoverTracker.h"

TEST(HoverTracker, EnteringMovingAcrossAndLeavingRedrawOnlyTheButtonsConcerned) {
    HoverTracker t;

    auto c = t.enter(2);
    EXPECT_EQ(c.gained, 2);
    EXPECT_EQ(c.lost, -1);

    SCOPED_TRACE("staying on the same button redraws nothing");
    EXPECT_FALSE(t.enter(2).any());

    SCOPED_TRACE("straight to the neighbour: the old one loses, the new one gains");
    c = t.enter(3);
    EXPECT_EQ(c.lost, 2);
    EXPECT_EQ(c.gained, 3);
    EXPECT_EQ(t.current(), 3);

    SCOPED_TRACE("out over the outer edge");
    c = t.leave(3);
    EXPECT_EQ(c.lost, 3);
    EXPECT_EQ(c.gained, -1);
    EXPECT_EQ(t.current(), -1);
    EXPECT_FALSE(t.leave(3).any());
}

TEST(HoverTracker, LateLeaveOfTheOldButtonDoesNotClearTheNewOne) {
    HoverTracker t;
    t.enter(0);
    t.enter(1);  // the enter of the neighbour arrived before the old button's leave
    EXPECT_FALSE(t.leave(0).any());
    EXPECT_EQ(t.current(), 1);
}

TEST(HoverTracker, BackgroundClearsWhateverWasHovered) {
    HoverTracker t;
    EXPECT_FALSE(t.background().any());
    t.enter(5);
    auto c = t.background();
    EXPECT_EQ(c.lost, 5);
    EXPECT_EQ(c.gained, -1);
    EXPECT_EQ(t.current(), -1);
}
