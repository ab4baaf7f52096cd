#include "App/Window.h"

#include <gtest/gtest.h>

#include <utility>

TEST(WindowPlacement, AWindowOffEveryMonitorComesBackOntoItsMonitor) {
    const ScreenRect left{0, 0, 1920, 1080}, right{1920, 0, 2560, 1440};
    const std::vector<ScreenRect> both{left, right};
    using Position = std::pair<int32_t, int32_t>;
    struct Case {
        int64_t x, y;
        int32_t width, height;
        Position placed;
    };
    for (const Case& c : {
             Case{200, 100, 800, 600, {200, 100}},               // on the first monitor: kept
             Case{3000, 500, 800, 600, {3000, 500}},             // on the second: kept
             Case{-700, 1000, 800, 600, {-700, 1000}},           // mostly off, but a grab-able corner is on it
             Case{2000000000, -2000000000, 800, 600, {1120, 0}}, // far off: onto the home monitor's nearest corner
             Case{-2000000000, 2000000000, 800, 600, {0, 480}},
             Case{4400, 1430, 800, 600, {1120, 480}}, // only 80 x 10 pixels showing
             Case{-5000, 50, 4000, 3000, {0, 0}},     // larger than the monitor: its top-left corner on it
         }) {
        EXPECT_EQ(placeOnMonitors(c.x, c.y, c.width, c.height, both, left), c.placed) << c.x << ", " << c.y;
    }
    EXPECT_EQ(placeOnMonitors(-9000, 9000, 800, 600, both, right), Position(1920, 840));
}

TEST(WindowPlacement, OnlyAMappedWindowThatIsNeitherIconifiedNorEmptyRenders) {
    EXPECT_TRUE(windowRenderable(800, 600, true, false));
    EXPECT_FALSE(windowRenderable(800, 600, false, false)); // unmapped: no size change, no event
    EXPECT_FALSE(windowRenderable(800, 600, true, true));   // iconified by a window manager that keeps the size
    EXPECT_FALSE(windowRenderable(0, 0, true, false));      // minimised to a 0 x 0 framebuffer
    EXPECT_TRUE(windowRenderable(0, 600, true, false));
}
