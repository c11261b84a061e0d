#include "app/ScreenPlacement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

bool Overlaps(int x, int y, int width, int height, const ScreenRect& s) {
    return x < s.x + s.width && s.x < x + width && y < s.y + s.height && s.y < y + height;
}

// Squared distance between the two rectangles' nearest points (0 when they touch).
std::int64_t Distance(int x, int y, int width, int height, const ScreenRect& s) {
    const std::int64_t dx = std::max({std::int64_t(s.x) - (std::int64_t(x) + width), std::int64_t(0),
                                      std::int64_t(x) - (std::int64_t(s.x) + s.width)});
    const std::int64_t dy = std::max({std::int64_t(s.y) - (std::int64_t(y) + height), std::int64_t(0),
                                      std::int64_t(y) - (std::int64_t(s.y) + s.height)});
    return dx * dx + dy * dy;
}

int Clamp(int pos, int size, int start, int extent) {
    // A window larger than the screen keeps its top-left corner on it.
    return std::max(start, std::min(pos, start + extent - size));
}

}  // namespace

ScreenPoint PlaceOnScreens(int x, int y, int width, int height,
                           const std::vector<ScreenRect>& screens) {
    const ScreenRect* nearest = nullptr;
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    for (const ScreenRect& s : screens) {
        if (s.width <= 0 || s.height <= 0) continue;
        if (Overlaps(x, y, width, height, s)) return {x, y};
        const std::int64_t d = Distance(x, y, width, height, s);
        if (d < best) best = d, nearest = &s;
    }
    if (!nearest) return {x, y};
    return {Clamp(x, width, nearest->x, nearest->width),
            Clamp(y, height, nearest->y, nearest->height)};
}

ScreenPoint PlaceBelow(const ScreenRect& toolbar, int width, int height,
                       const std::vector<ScreenRect>& screens) {
    const int cx = toolbar.x + toolbar.width / 2, cy = toolbar.y + toolbar.height / 2;
    const ScreenRect* screen = nullptr;
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    for (const ScreenRect& s : screens) {
        if (s.width <= 0 || s.height <= 0) continue;
        const std::int64_t d = Distance(cx, cy, 1, 1, s);
        if (d < best) best = d, screen = &s;
    }
    const int below = toolbar.y + toolbar.height;
    if (!screen) return {toolbar.x, below};
    const bool roomBelow = below + height <= screen->y + screen->height;
    const int y = roomBelow ? below : toolbar.y - height;
    return {Clamp(toolbar.x, width, screen->x, screen->width),
            Clamp(y, height, screen->y, screen->height)};
}
