#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Jupiter (radius 125) framed like every target: a disc of about 330 pixels radius in the middle of the
// 1920 x 1080 window; the measurements keep inside 300.
constexpr int CenterX = 960, CenterY = 540, DiscRadius = 300;

double luma(const unsigned char* p) {
    return 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2];
}

// Hue in degrees of a pixel with some colour in it.
double hue(const unsigned char* p) {
    double r = p[0], g = p[1], b = p[2];
    double hi = std::max({r, g, b}), lo = std::min({r, g, b});
    double h = hi == r ? (g - b) / (hi - lo) : hi == g ? 2.0 + (b - r) / (hi - lo) : 4.0 + (r - g) / (hi - lo);
    return std::fmod(h * 60.0 + 360.0, 360.0);
}

bool inDisc(int x, int y) {
    return (x - CenterX) * (x - CenterX) + (y - CenterY) * (y - CenterY) < DiscRadius * DiscRadius;
}

const unsigned char* at(const Picture& p, int x, int y) {
    return &p.rgb[(size_t(y) * p.width + x) * 3];
}

} // namespace

// The gas giant's clouds: a lit disc of horizontal bands in several hues, whose clouds move between a screenshot
// after 40 frames and one after 190. The clouds step with the frames' time: fixed steps of a quarter second make
// the same clouds however loaded the machine is (left to the clock, a slow machine's flow ran further and its
// borders had softened by frame 190).
TEST(PlanetJupiter, BandedCloudsInSeveralHuesThatMoveValidationClean) {
    std::string dir = makeWorkDir("gas-jupiter");
    RunResult r = runProgram(dir, "SKIP_DEMO --target Jupiter --fps 4 --frames 190 --screenshot late.png",
                             "40 screenshot early.png\n", {}, 900);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    Picture early, late;
    ASSERT_TRUE(early.load(dir + "/early.png")) << r.output;
    ASSERT_TRUE(late.load(dir + "/late.png")) << r.output;
    ASSERT_EQ(early.width, 1920);
    ASSERT_EQ(late.width, 1920);

    // Lit pixels of the disc, and per row of the disc the mean brightness of its lit pixels.
    std::vector<double> hues, rowMeans;
    long lit = 0, disc = 0;
    double change = 0.0;
    for (int y = CenterY - DiscRadius; y < CenterY + DiscRadius; y += 2) {
        double sum = 0.0;
        int count = 0;
        for (int x = CenterX - DiscRadius; x < CenterX + DiscRadius; ++x) {
            if (!inDisc(x, y))
                continue;
            ++disc;
            const unsigned char* p = at(late, x, y);
            double l = luma(p);
            if (l < 30.0)
                continue;
            ++lit;
            sum += l;
            ++count;
            if (std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 12)
                hues.push_back(hue(p));
            change += std::fabs(luma(at(early, x, y)) - l);
        }
        if (count > 40)
            rowMeans.push_back(sum / count);
    }
    ASSERT_GT(lit, disc / 5) << "lit pixels of the disc";

    // Bands: the rows' mean brightness steps up and down over a few rows at many places, where limb darkening
    // alone would change it smoothly (the band borders, curled by the flow, step by 4 to 10 over 6 pixels).
    ASSERT_GT(rowMeans.size(), 100u);
    int edges = 0;
    for (size_t k = 0; k + 3 < rowMeans.size(); k += 3)
        edges += std::fabs(rowMeans[k + 3] - rowMeans[k]) > 4.0;
    EXPECT_GE(edges, 6) << "band borders across the disc";

    // Several hues: the middle 80% of the coloured pixels' hues spans more than 12 degrees.
    ASSERT_GT(hues.size(), size_t(lit / 4));
    std::sort(hues.begin(), hues.end());
    double span = hues[hues.size() * 9 / 10] - hues[hues.size() / 10];
    if (span > 180.0) // the hues sit around red, across 0
        span = 360.0 - span;
    EXPECT_GT(span, 12.0) << "hue span";

    // The clouds moved between the two screenshots.
    EXPECT_GT(change / double(lit), 3.0) << "mean brightness change of the lit disc";
}
