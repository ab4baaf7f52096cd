#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

namespace {

struct Box {
    int x0, y0, x1, y1;
};

// The middle of a 1920 x 1080 picture: in the target modes the camera looks at its target, which sits here.
constexpr Box Middle{960 - 300, 540 - 220, 960 + 300, 540 + 220};

const unsigned char* pixel(const Picture& p, int x, int y) {
    return &p.rgb[(size_t(y) * p.width + x) * 3];
}

// Exhaust and the hull lit by the engines: red to orange (hue below 30 degrees) and clearly bright.
bool exhaustColoured(const unsigned char* c) {
    int r = c[0], g = c[1], b = c[2];
    return r >= 100 && r - std::min(g, b) >= 25 && g <= r && (g - b) * 2 < r - b;
}

// Gold foil in light: a saturated warm colour.
bool litGold(const unsigned char* c) {
    int r = c[0], g = c[1], b = c[2];
    return 0.2126 * r + 0.7152 * g + 0.0722 * b > 60 && r >= g && g >= b && r - b >= 40;
}

// White and grey surfaces in light.
bool litNeutral(const unsigned char* c) {
    int hi = std::max({c[0], c[1], c[2]}), lo = std::min({c[0], c[1], c[2]});
    return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2] > 80 && hi - lo < 25;
}

int countWhere(const Picture& p, Box b, bool (*test)(const unsigned char*)) {
    int n = 0;
    for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x)
            n += test(pixel(p, x, y)) ? 1 : 0;
    return n;
}

double meanAbsoluteDifference(const Picture& a, const Picture& b) {
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i)
        sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    return sum / double(std::max<size_t>(1, a.rgb.size()));
}

// Velocity change of a finished burn as the program reports it, or -1 when the line is missing.
double reportedDeltaV(const std::string& output, int burn, unsigned long* endStep = nullptr) {
    std::smatch m;
    std::regex line("Burn " + std::to_string(burn) + " ended at time step ([0-9]+): delta-v ([0-9.e+-]+)");
    if (!std::regex_search(output, m, line))
        return -1.0;
    if (endStep)
        *endStep = std::stoul(m[1].str());
    return std::stod(m[2].str());
}

} // namespace

// The demonstration plays by default: the mission starts, the craft flies the first burn of the plan (a velocity
// change of thrust 53.2 × 1e-7 × 100 s, whatever the burn's length), and the camera keys switch away from the tour
// to the follow, focus and prograde / radial / normal modes. 300 frames of the tour at 5 a second, validation-clean.
TEST(Flight, DemoTourFliesTheFirstBurnAndTheCameraModesTakeOver) {
    std::string dir = makeWorkDir("flight-tour");
    // A quarter of the full-screen pixels keeps 300 frames on the CPU driver within the test's time. Fixed
    // time steps put the craft at the same point of its orbit however fast frames come: on a loaded machine
    // it was otherwise in Earth's shadow by the camera keys, drawn dark. Steps of a fifth of a second reach the
    // burn in half the frames of tenths.
    writeConfig(dir, 0, 0, 0);
    RunResult r = runProgram(dir, "--frames 300 --fps 5", R"(
2 resize 960 540
150 screenshot tour.png
280 key F3
283 screenshot prograde.png
284 key F3
287 screenshot radial.png
288 key F3
291 screenshot normal.png
292 key F2
295 screenshot focus.png
296 key F1
299 screenshot follow.png
)");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    EXPECT_NE(r.output.find("Start time\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Load Manouvers\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Burn 1 started at time step 3900 "), std::string::npos) << r.output;
    unsigned long endStep = 0;
    double deltaV = reportedDeltaV(r.output, 1, &endStep);
    EXPECT_EQ(endStep, 4399u) << r.output;
    EXPECT_NEAR(deltaV, 53.2e-7 * 100.0, 1e-3 * 53.2e-7 * 100.0) << r.output;

    std::vector<Picture> views(6);
    const char* names[] = {"tour", "prograde", "radial", "normal", "focus", "follow"};
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(views[i].load(dir + "/" + names[i] + ".png")) << names[i] << "\n" << r.output;
        const Picture& v = views[i];
        EXPECT_GE(v.countBrighterThan(0, 0, v.width, v.height, 40), 20) << names[i] << " is black";
    }
    // The prograde, radial, normal and focus modes look at the craft: it is drawn lit in the middle.
    for (int i = 1; i < 5; ++i) {
        const Picture& v = views[i];
        int cx = v.width / 2, cy = v.height / 2, dx = v.width / 8, dy = v.height / 8;
        EXPECT_GE(v.countBrighterThan(cx - dx, cy - dy, cx + dx, cy + dy, 60), 100)
            << "no craft in the middle of " << names[i];
    }
    // Prograde, radial and normal look at the craft from three perpendicular sides: three different pictures.
    for (int i = 1; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
            EXPECT_GT(meanAbsoluteDifference(views[i], views[j]), 1.0) << names[i] << " vs " << names[j];
}

// Close to the craft (--target Voyager), in sunlight half an orbit before the first burn, the model is drawn lit and
// textured: gold foil and white surfaces in the middle of the picture, and no exhaust. In the first burn of the
// mission (a jump just past its start, the craft in Earth's shadow) the main engines' exhaust glows there.
TEST(Flight, CraftIsDrawnLitAndFiresItsEnginesInTheFirstBurn) {
    std::string dir = makeWorkDir("flight-burn");
    // Time factor 10 × 4^5: at most 103 steps a frame, so the screenshot two frames after the jump to step 3905
    // is inside the burn (steps 3900 to 4398).
    RunResult r = runProgram(dir, "SKIP_DEMO --target Voyager", R"(
2 key period
4 key period
6 key period
8 key period
10 key period
14 timestep 1900
16 screenshot closeup.png
17 timestep 3905
19 screenshot burn.png
20 quit
)");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    EXPECT_NE(r.output.find("Burn 1 started at time step 3905 "), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Burn 1 ended"), std::string::npos) << "the burn was over before the screenshot";

    Picture closeup, burn;
    ASSERT_TRUE(closeup.load(dir + "/closeup.png"));
    ASSERT_TRUE(burn.load(dir + "/burn.png"));
    // The craft seen from about three of its radii fills roughly this box around the middle.
    const Box craft{860, 440, 1060, 640};
    EXPECT_GT(countWhere(closeup, craft, litGold), 500) << "no lit gold foil: the craft is dark or untextured";
    EXPECT_GT(countWhere(closeup, craft, litNeutral), 500) << "no lit white surfaces";

    int exhaustBefore = countWhere(closeup, Middle, exhaustColoured);
    int exhaustDuring = countWhere(burn, Middle, exhaustColoured);
    EXPECT_GT(exhaustDuring, 2000) << "no exhaust in the burn";
    EXPECT_GT(exhaustDuring, 5 * exhaustBefore + 500) << "before " << exhaustBefore << ", during " << exhaustDuring;
}
