#include "E2eSupport.h"

#include <gtest/gtest.h>

namespace {
// Small bright points (stars) in a rectangle: pixels brighter than their surroundings by a clear margin.
int countStars(const Picture& p, int x0, int y0, int x1, int y1) {
    int stars = 0;
    auto luma = [&](int x, int y) {
        const unsigned char* c = &p.rgb[(size_t(y) * p.width + x) * 3];
        return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
    };
    for (int y = y0 + 3; y < y1 - 3; ++y)
        for (int x = x0 + 3; x < x1 - 3; ++x) {
            double centre = luma(x, y);
            if (centre < 60)
                continue;
            double ring = (luma(x - 3, y) + luma(x + 3, y) + luma(x, y - 3) + luma(x, y + 3)) / 4.0;
            bool peak = centre >= luma(x - 1, y) && centre >= luma(x + 1, y) && centre >= luma(x, y - 1) &&
                        centre > luma(x, y + 1);
            if (peak && centre > ring + 30)
                ++stars;
        }
    return stars;
}

// The start view: Earth's night side fills the left of the frame (its limb runs near 40 % of the width, 42 % in
// the middle third of the rows), the stars the right. No star may show through the disc, up to a few dozen
// pixels inside the limb: a missing or wrongly culled patch lets them through.
void expectStarFieldBesideEarth(const Picture& p) {
    int w = p.width, h = p.height;
    EXPECT_GT(p.meanLuma(0, 0, w, h), 1.0) << "picture is black";
    for (int q = 0; q < 2; ++q)
        EXPECT_GE(countStars(p, w / 2, q * h / 2, w, (q + 1) * h / 2), 10) << "right half, part " << q;
    EXPECT_EQ(countStars(p, 0, 0, w * 3 / 10, h), 0) << "stars inside Earth's disc";
    EXPECT_EQ(countStars(p, w * 3 / 10 - 6, h / 3, w * 38 / 100, h * 2 / 3), 0) << "stars inside Earth's limb";
}
} // namespace

TEST(Sky, StarFieldIsDrawnBesideAWholeEarthAndSurvivesAResize) {
    std::string dir = makeWorkDir("sky");
    writeConfig(dir, 0, 0, 0); // windowed, so the window manager-less server honours the resize
    RunResult r = runProgram(dir, "SKIP_DEMO", R"(
20 screenshot before.png
21 resize 1280 720
40 screenshot after.png
41 quit
)");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    EXPECT_EQ(countOccurrences(r.output, "Recreating swapchain!"), 1) << r.output;
    Picture before, after;
    ASSERT_TRUE(before.load(dir + "/before.png"));
    EXPECT_EQ(before.width, 1920);
    expectStarFieldBesideEarth(before);
    ASSERT_TRUE(after.load(dir + "/after.png"));
    EXPECT_EQ(after.width, 1280);
    EXPECT_EQ(after.height, 720);
    expectStarFieldBesideEarth(after);
}
