#include <gtest/gtest.h>

#include "app/ScreenPlacement.h"

namespace {

TEST(ScreenPlacement, OnlyAToolbarOutsideEveryScreenIsBroughtBackFullyVisible) {
    const std::vector<ScreenRect> one{{0, 0, 1280, 800}};
    // Left monitor 1920 wide, right one 1280 x 1024 starting at x = 1920.
    const std::vector<ScreenRect> two{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    struct Row {
        const char* what;
        const std::vector<ScreenRect>* screens;
        int x, y, wantX, wantY;
    } rows[] = {
        {"on the screen", &one, 200, 200, 200, 200},
        {"negative, still partly on the screen", &one, -100, -20, -100, -20},
        {"hanging over the right edge", &one, 1200, 790, 1200, 790},
        {"right of the only screen", &one, 3000, 300, 1280 - 248, 300},
        {"above and left of it", &one, -500, -400, 0, 0},
        {"below it", &one, 100, 5000, 100, 800 - 38},
        {"on the second monitor", &two, 2500, 900, 2500, 900},
        {"where an unplugged third monitor was", &two, 3500, 100, 3200 - 248, 100},
        {"below the shorter right monitor", &two, 2000, 1050, 2000, 1024 - 38},
        {"no screen known", nullptr, 9000, 9000, 9000, 9000},
    };
    const std::vector<ScreenRect> none;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const ScreenPoint p = PlaceOnScreens(r.x, r.y, 248, 38, r.screens ? *r.screens : none);
        EXPECT_EQ(p.x, r.wantX);
        EXPECT_EQ(p.y, r.wantY);
    }
}

TEST(ScreenPlacement, TheCaptionGoesUnderTheToolbarElseAboveItOnTheToolbarsScreen) {
    const std::vector<ScreenRect> two{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    struct Row {
        const char* what;
        int x, y, wantX, wantY;
    } rows[] = {
        {"room below", 100, 100, 100, 138},
        {"no room below: above", 100, 1000, 100, 1000 - 60},
        {"right edge: kept on the screen", 1600, 100, 1920 - 480, 138},
        {"toolbar mostly on the right monitor: stays there", 1900, 990, 1920, 990 - 60},
        {"toolbar off every screen: the nearest", 5000, 100, 3200 - 480, 138},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const ScreenPoint p = PlaceBelow({r.x, r.y, 248, 38}, 480, 60, two);
        EXPECT_EQ(p.x, r.wantX);
        EXPECT_EQ(p.y, r.wantY);
    }
}

}  // namespace
