#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Earth (radius 15) seen from three radii away with a 60 degree vertical field of view fills a disc of about
// 330 pixels radius in the middle of a 1920 x 1080 window; the measurements keep inside 300.
constexpr int CenterX = 960, CenterY = 540, DiscRadius = 300;

double luma(const unsigned char* p) {
    return 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2];
}

struct DiscPixel {
    int x, y;
    const unsigned char* rgb;
};

std::vector<DiscPixel> discPixels(const Picture& picture) {
    std::vector<DiscPixel> pixels;
    for (int y = CenterY - DiscRadius; y < CenterY + DiscRadius; ++y)
        for (int x = CenterX - DiscRadius; x < CenterX + DiscRadius; ++x)
            if ((x - CenterX) * (x - CenterX) + (y - CenterY) * (y - CenterY) < DiscRadius * DiscRadius)
                pixels.push_back({x, y, &picture.rgb[(size_t(y) * picture.width + x) * 3]});
    return pixels;
}

// Coarse colour classes of lit ground: ocean blue, vegetation green, bare brown or tan, snow and rock grey. The
// air's blue haze pales bare ground; its warmth (red over green and blue) remains.
int colourClass(const unsigned char* p) {
    int r = p[0], g = p[1], b = p[2];
    int hi = std::max({r, g, b}), lo = std::min({r, g, b});
    if (r >= g && r > b + 10)
        return 2;
    if (hi - lo < 30)
        return 3; // grey to white
    if (b >= r && b >= g)
        return 0;
    if (g >= r && g >= b)
        return 1;
    return 2;
}

// Hue in twelve sectors of 30 degrees for pixels with a clear colour, -1 for greys and dark pixels.
int hueSector(const unsigned char* c) {
    int r = c[0], g = c[1], b = c[2];
    int hi = std::max({r, g, b}), lo = std::min({r, g, b});
    if (hi < 40 || hi - lo < 25)
        return -1;
    double d = hi - lo, h;
    if (hi == r)
        h = std::fmod((g - b) / d + 6.0, 6.0);
    else if (hi == g)
        h = (b - r) / d + 2.0;
    else
        h = (r - g) / d + 4.0;
    return int(h * 2.0) % 12;
}

// O shows every orbit line and the craft's predicted path at once: thin coloured curves appear over an otherwise
// unchanged picture (time runs at 10 simulated seconds a second, so nothing else moves); O again hides them.
// Around Earth these are the craft's path and Kepler orbit just outside the disc, the Moon's orbit and Earth's own.
void expectLinesShownThenHidden(const Picture& hidden, const Picture& shown, const Picture& hiddenAgain) {
    int w = shown.width, h = shown.height;
    std::vector<unsigned char> changed(size_t(w) * h, 0);
    int changedCount = 0, coloured = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* a = &hidden.rgb[(size_t(y) * w + x) * 3];
            const unsigned char* b = &shown.rgb[(size_t(y) * w + x) * 3];
            int d = std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
            if (d < 60)
                continue;
            changed[size_t(y) * w + x] = 1;
            ++changedCount;
            coloured += hueSector(b) >= 0 ? 1 : 0;
        }
    EXPECT_GT(changedCount, 800) << "no lines appeared";
    EXPECT_GT(coloured, 300) << "no coloured line";
    // Curves, not areas: few changed pixels have a changed 7 x 7 neighbourhood all around.
    int interior = 0;
    for (int y = 3; y < h - 3; ++y)
        for (int x = 3; x < w - 3; ++x) {
            if (!changed[size_t(y) * w + x])
                continue;
            bool all = true;
            for (int dy = -3; dy <= 3 && all; ++dy)
                for (int dx = -3; dx <= 3 && all; ++dx)
                    all = changed[size_t(y + dy) * w + x + dx] != 0;
            interior += all ? 1 : 0;
        }
    EXPECT_LT(interior, changedCount / 10) << "the change is not made of thin lines";
    double difference = 0.0;
    for (size_t i = 0; i < hidden.rgb.size() && i < hiddenAgain.rgb.size(); ++i)
        difference += std::abs(int(hidden.rgb[i]) - int(hiddenAgain.rgb[i]));
    EXPECT_LT(difference / double(std::max<size_t>(1, hidden.rgb.size())), 0.5) << "O again hides every line";
}

} // namespace

// --target Earth frames the day side: most of the disc is lit ground, the centre far brighter than the sky, with
// several biomes, the map generated in the first frames. From frame 30 on, the surface no longer changes: O shows
// the orbit and prediction lines and hides them again. Then relief on the lit ground; T switches the solid planets
// to wireframe and F12 saves it as screenshot-<date>-<time>.png; a right-button drag turns the camera around Earth.
// Validation-clean throughout.
TEST(PlanetEarth, LitSideOrbitLinesReliefThenWireframeAfterTThenTurnedByADrag) {
    std::string dir = makeWorkDir("planet-earth");
    RunResult r = runProgram(dir, "SKIP_DEMO --target Earth", R"(
10 screenshot earth.png
12 screenshot filled.png
30 screenshot hidden.png
31 key O
35 screenshot shown.png
36 key O
40 screenshot hiddenAgain.png
41 key T
43 key F12
44 drag right 700 540 600 0 8
58 screenshot turned.png
59 quit
)");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    Picture picture;
    ASSERT_TRUE(picture.load((fs::path(dir) / "earth.png").string())) << r.output;
    {
        double centre = picture.meanLuma(CenterX - 120, CenterY - 120, CenterX + 120, CenterY + 120);
        double sky = picture.meanLuma(40, 40, 240, 240);
        EXPECT_GT(centre, 40.0) << "the centre is lit";
        EXPECT_GT(centre, 3.0 * sky) << "centre " << centre << ", sky " << sky;
        size_t litCount = 0, discCount = 0;
        for (const DiscPixel& p : discPixels(picture)) {
            ++discCount;
            litCount += luma(p.rgb) > 40.0;
        }
        EXPECT_GT(litCount, discCount * 3 / 5) << "lit pixels of the disc (a night-side view leaves only a rim)";

        std::vector<DiscPixel> lit;
        for (const DiscPixel& p : discPixels(picture))
            if (luma(p.rgb) > 40.0)
                lit.push_back(p);
        int classes[4] = {};
        for (const DiscPixel& p : lit)
            ++classes[colourClass(p.rgb)];
        int distinct = 0;
        for (int c : classes)
            distinct += c > int(lit.size() / 100);
        EXPECT_GE(distinct, 4) << "blue " << classes[0] << ", green " << classes[1] << ", brown " << classes[2]
                               << ", grey " << classes[3] << " of " << lit.size();
    }

    {
        Picture hidden, shown, hiddenAgain;
        ASSERT_TRUE(hidden.load(dir + "/hidden.png"));
        ASSERT_TRUE(shown.load(dir + "/shown.png"));
        ASSERT_TRUE(hiddenAgain.load(dir + "/hiddenAgain.png"));
        expectLinesShownThenHidden(hidden, shown, hiddenAgain);
    }

    std::vector<fs::path> shots;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind("screenshot-", 0) == 0)
            shots.push_back(entry.path());
    ASSERT_EQ(shots.size(), 1u) << "F12 writes screenshot-<date>-<time>.png\n" << r.output;

    Picture filled, wire, turned;
    ASSERT_TRUE(filled.load((fs::path(dir) / "filled.png").string()));
    ASSERT_TRUE(wire.load(shots[0].string()));
    ASSERT_TRUE(turned.load((fs::path(dir) / "turned.png").string()));
    ASSERT_EQ(filled.width, 1920);
    ASSERT_EQ(filled.height, 1080);

    std::vector<DiscPixel> lit;
    for (const DiscPixel& p : discPixels(filled))
        if (luma(p.rgb) > 40.0)
            lit.push_back(p);
    ASSERT_GT(lit.size(), discPixels(filled).size() / 3) << "lit pixels of the disc";

    // Relief: shading from the height map makes neighbouring lit pixels differ far more than on a smooth ball
    // (on land well above the 3 luma levels that biome borders and albedo grain give alone).
    // Measured over land: the ocean is smooth by design, and how much of it faces the camera depends on the day.
    double steps = 0.0;
    long pairs = 0;
    for (const DiscPixel& p : lit) {
        const unsigned char* right = p.rgb + 3;
        if (luma(right) > 40.0 && colourClass(p.rgb) != 0 && colourClass(right) != 0) {
            steps += std::fabs(luma(right) - luma(p.rgb));
            ++pairs;
        }
    }
    ASSERT_GT(pairs, 0);
    EXPECT_GT(steps / double(pairs), 4.5) << "mean luma step between neighbouring lit pixels";

    // Wireframe: over the same lit land the air shows between the lines, which are still lit; it is darker than
    // the ground (over the ocean its blue is the sea's, so only land is measured).
    long land = 0, darker = 0, bright = 0;
    for (const DiscPixel& p : lit) {
        if (colourClass(p.rgb) == 0)
            continue;
        double l = luma(&wire.rgb[(size_t(p.y) * wire.width + p.x) * 3]);
        ++land;
        darker += l < 0.75 * luma(p.rgb);
        bright += l > 40.0;
    }
    EXPECT_GT(darker, land / 4) << "wireframe gaps over the lit land, of " << land;
    EXPECT_GT(bright, land / 10) << "wireframe lines";

    // The drag turned the camera about the planet: the disc shows other ground in other light.
    double change = 0.0;
    std::vector<DiscPixel> disc = discPixels(wire);
    for (const DiscPixel& p : disc)
        change += std::fabs(luma(p.rgb) - luma(&turned.rgb[(size_t(p.y) * turned.width + p.x) * 3]));
    EXPECT_GT(change / double(disc.size()), 8.0) << "mean luma change inside the disc after the drag";
}

// The atmosphere, seen with the terminator on the disc (a drag turns the camera about Earth until the night side
// shows on the right): in the ring between the disc's edge (about 333 pixels out) and the top of its air (about
// 360), a bright blue rim along the day limb, and warm twilight (red above blue in dim light) where sunlight grazes
// the limb towards the terminator. Without the atmosphere the ring shows only the sky's stars.
TEST(PlanetEarth, BlueRimOnTheDayLimbAndWarmTwilightTowardsTheTerminator) {
    std::string dir = makeWorkDir("planet-earth-air");
    RunResult r = runProgram(dir, "SKIP_DEMO --target Earth", R"(
10 drag right 700 540 -900 0 8
30 screenshot turned.png
31 quit
)");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    Picture picture;
    ASSERT_TRUE(picture.load((fs::path(dir) / "turned.png").string())) << r.output;
    ASSERT_EQ(picture.width, 1920);

    long ring = 0, blueRim = 0, warmTwilight = 0;
    for (int y = CenterY - 360; y < CenterY + 360; ++y)
        for (int x = CenterX - 360; x < CenterX + 360; ++x) {
            double d = std::hypot(x + 0.5 - CenterX, y + 0.5 - CenterY);
            if (d < 330.0 || d > 356.0)
                continue;
            const unsigned char* p = &picture.rgb[(size_t(y) * picture.width + x) * 3];
            double l = luma(p);
            ++ring;
            blueRim += p[2] > p[0] + 15 && l > 60.0;
            warmTwilight += p[0] > p[2] && l > 6.0 && l < 40.0;
        }
    EXPECT_GT(blueRim, ring / 10) << "bright blue rim pixels of " << ring;
    EXPECT_GT(warmTwilight, ring / 50) << "warm twilight pixels of " << ring;
}
