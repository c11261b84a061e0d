#pragma once
// Keeps the toolbar reachable: a saved position that lies wholly outside every screen (a
// monitor that has since been unplugged) would leave nothing to click.

#include <vector>

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct ScreenPoint {
    int x = 0, y = 0;
};

// Where a window of the given size saved at (x, y) is shown. A window that overlaps a screen
// stays exactly where it was saved, off-screen parts and negative coordinates included. One
// that overlaps none is moved onto the nearest screen, fully visible (as far as it fits).
// Without any screen known the position stays as it is.
ScreenPoint PlaceOnScreens(int x, int y, int width, int height,
                           const std::vector<ScreenRect>& screens);

// Where the caption strip (width x height) goes for the toolbar at `toolbar`: just under it,
// or just above it when the toolbar's screen has no room below, left-aligned with it and kept
// within that screen (the one holding the toolbar's centre, else the nearest).
ScreenPoint PlaceBelow(const ScreenRect& toolbar, int width, int height,
                       const std::vector<ScreenRect>& screens);
