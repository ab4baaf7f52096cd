#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The rightmost column of a rectangle holding a white-ish (text) pixel, or -1.
int rightmostText(const Picture& p, int x0, int y0, int x1, int y1) {
    int right = -1;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const unsigned char* c = &p.rgb[(size_t(y) * p.width + x) * 3];
            if (c[0] > 150 && c[1] > 150 && c[2] > 150 && x > right)
                right = x;
        }
    return right;
}

// Pixels of Mars's orbit line in the view right of the settings window, away from the spacecraft (red parts) and
// the camera window: its colour (1, 0.5, 0) lifted three times comes out of the tone mapping as about
// (236, 206, 0), an amber with almost no blue, also where the line only partly covers a pixel; the grey sky and
// the brownish band of stars have blue near their red.
int orangeLinePixels(const Picture& p) {
    int n = 0;
    for (int y = 0; y < 1040; ++y)
        for (int x = 600; x < 1920; ++x) {
            if (x > 1510 && y < 240)
                continue; // the camera window
            if (x > 880 && x < 1080 && y > 330 && y < 760)
                continue; // the spacecraft
            const unsigned char* c = &p.rgb[(size_t(y) * p.width + x) * 3];
            n += c[0] > 60 && c[2] * 10 < c[0] * 3 && c[1] * 10 > c[0] * 6 && c[1] * 100 < c[0] * 97;
        }
    return n;
}

} // namespace

// The astro settings window driven by the mouse: the "Target" list scrolled to the top and Mars picked, its
// "Orbit" tab, only Mars's orbit line shown ("Visible"), then "Eccentricity" dragged to 1.5: the orbit type reads
// "Hyperbolic" (the text's width on its line; "Elliptical" is narrower and sits two rows lower, below "Mean
// Anomaly at Epoch [rad]", which an open orbit no longer shows) and the closed ellipse becomes a short open arc.
// Positions are those of the window's first layout on a 1920 x 1080 screen (left, at (10, 380)).
TEST(AstroSettings, MarsEccentricityAboveOneMakesItsOrbitHyperbolic) {
    std::string dir = makeWorkDir("astro-settings-mars");
    RunResult r = runProgram(dir, "SKIP_DEMO", R"(
3 key U
6 move 198 421
8 click left 198 421          # the "Target" combo (its list opens at the spacecraft, the last entry)
11 move 150 500
12 scroll 20                  # to the top of the list
15 move 150 547
17 click left 150 547         # "4: Mars"
19 move 90 447
21 click left 90 447          # the "Orbit" tab
23 move 28 793
25 click left 28 793          # "Visible" of the orbit renderer: Mars's line alone
29 screenshot elliptic.png
30 move 26 525
31 drag left 26 525 104 0 6   # "Eccentricity" from 0.09 to 1.5
42 screenshot hyperbolic.png
43 quit
)");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    Picture elliptic, hyperbolic;
    ASSERT_TRUE(elliptic.load(dir + "/elliptic.png"));
    ASSERT_TRUE(hyperbolic.load(dir + "/hyperbolic.png"));

    // "Orbit Type: Elliptical" ends near x 139 on the row at y 673; "Orbit Type: Hyperbolic" near x 153 on the
    // row at y 647, where the elliptical layout has the "Epoch" field and its label (to x 419).
    EXPECT_NEAR(rightmostText(elliptic, 14, 670, 430, 688), 139, 4) << "Orbit Type: Elliptical";
    EXPECT_GT(rightmostText(elliptic, 14, 644, 430, 662), 400) << "the Epoch row";
    EXPECT_NEAR(rightmostText(hyperbolic, 14, 644, 430, 662), 153, 4) << "Orbit Type: Hyperbolic";

    // The ellipse crosses the view; the open arc is a small piece of it.
    const int closed = orangeLinePixels(elliptic), open = orangeLinePixels(hyperbolic);
    EXPECT_GT(closed, 400) << "Mars's elliptical orbit line";
    EXPECT_LT(open * 3, closed) << "closed " << closed << ", open " << open;
}
