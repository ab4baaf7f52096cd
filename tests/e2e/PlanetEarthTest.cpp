#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// Coarse colour classes of lit ground: ocean blue, vegetation green, bare brown or tan, snow and rock grey.
int colourClass(const unsigned char* p) {
    int r = p[0], g = p[1], b = p[2];
    int hi = std::max({r, g, b}), lo = std::min({r, g, b});
    if (hi - lo < 30)
        return 3; // grey to white
    if (b >= r && b >= g)
        return 0;
    if (g >= r && g >= b)
        return 1;
    return 2;
}

// Brightest over darkest of the disc's vertical and horizontal strips: the lit side against the night side.
double dayNightRatio(const Picture& picture) {
    double best = 0.0;
    for (int vertical = 0; vertical < 2; ++vertical) {
        const int strips = 10, width = 2 * DiscRadius / strips;
        double hi = 0.0, lo = 1e9;
        for (int s = 1; s < strips - 1; ++s) {
            int a = (vertical ? CenterX : CenterY) - DiscRadius + s * width;
            double mean = vertical ? picture.meanLuma(a, CenterY - 100, a + width, CenterY + 100)
                                   : picture.meanLuma(CenterX - 100, a, CenterX + 100, a + width);
            hi = std::max(hi, mean);
            lo = std::min(lo, mean);
        }
        best = std::max(best, hi / std::max(lo, 0.5));
    }
    return best;
}

} // namespace

// The first frames: Earth's map is generated nearest first, the planet is drawn, lit from the star's side.
TEST(PlanetEarth, FocusedEarthIsDrawnLitAfterItsFirstFramesValidationClean) {
    std::string dir = makeWorkDir("planet-earth-frames");
    RunResult r = runUnderXvfb(dir, "\"$KESTRUNE\" SKIP_DEMO --target Earth --frames 10 --screenshot earth.png");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    Picture picture;
    ASSERT_TRUE(picture.load((fs::path(dir) / "earth.png").string())) << r.output;
    // Whatever side the start view shows, part of the disc (out to its rim) is day, with ocean on it, and the
    // day is far brighter than the night.
    long lit = 0, litOcean = 0;
    double litSum = 0.0, allSum = 0.0;
    long all = 0;
    const int rim = 340;
    for (int y = CenterY - rim; y < CenterY + rim; ++y)
        for (int x = CenterX - rim; x < CenterX + rim; ++x) {
            if ((x - CenterX) * (x - CenterX) + (y - CenterY) * (y - CenterY) >= rim * rim)
                continue;
            const unsigned char* p = &picture.rgb[(size_t(y) * picture.width + x) * 3];
            double l = luma(p);
            allSum += l;
            ++all;
            if (l > 40.0) {
                ++lit;
                litSum += l;
                litOcean += colourClass(p) == 0;
            }
        }
    EXPECT_GT(lit, all / 200) << "lit pixels of the disc";
    EXPECT_GT(litOcean, lit / 20) << "ocean on the day side";
    ASSERT_GT(lit, 0);
    EXPECT_GT(litSum / double(lit), 3.0 * allSum / double(all)) << "the disc is mostly night";

    // The atmosphere, in the ring between the disc's edge (about 333 pixels out) and the top of its air (about
    // 360): a bright blue rim along the lit limb, and orange light where sunlight grazes the limb towards the
    // terminator. Without the atmosphere the ring shows only the sky's stars (a few dozen such pixels).
    long ring = 0, blueRim = 0, orangeRim = 0;
    for (int y = CenterY - 360; y < CenterY + 360; ++y)
        for (int x = CenterX - 360; x < CenterX + 360; ++x) {
            double d = std::hypot(x + 0.5 - CenterX, y + 0.5 - CenterY);
            if (d < 336.0 || d > 356.0)
                continue;
            const unsigned char* p = &picture.rgb[(size_t(y) * picture.width + x) * 3];
            ++ring;
            blueRim += p[2] > p[0] + 15 && luma(p) > 60.0;
            orangeRim += p[0] > p[2] + 15 && luma(p) > 20.0;
        }
    EXPECT_GT(blueRim, ring / 20) << "bright blue rim pixels of " << ring;
    EXPECT_GT(orangeRim, ring / 100) << "orange rim pixels of " << ring;
}

// Earth turned towards its day side with the right mouse button: a lit disc with relief and several biomes and a
// dark night side (F12); T switches the solid planets to wireframe (F12 again); Escape ends the program.
TEST(PlanetEarth, LitDiscWithReliefAndBiomesThenWireframeAfterT) {
    std::string dir = makeWorkDir("planet-earth");
    RunResult r = runUnderXvfb(dir, R"SH(
"$KESTRUNE" SKIP_DEMO --target Earth > run.log 2>&1 &
pid=$!
wid=$(xdotool search --sync --name '^Kestrune$' | head -n 1)
# Keys and buttons are read once a frame: hold each for longer than a frame.
hold() { xdotool keydown "$1"; sleep 3; xdotool keyup "$1"; }
shots() { ls screenshot-*.png 2> /dev/null | wc -l; }
# Focused, the window captures the cursor while the right button turns the camera: the capture warps the
# cursor from x = 400 to the centre, which with the 700 pixels of motion turns the view about 2.5 radians.
xdotool windowfocus --sync "$wid"
sleep 1
xdotool mousemove --window "$wid" 400 540
xdotool mousedown 3
# Let a frame see the button and capture the cursor before it moves.
sleep 5
for i in $(seq 1 20); do xdotool mousemove_relative -- 35 0; sleep 0.3; done
sleep 2
xdotool mouseup 3
sleep 4
hold F12
for i in $(seq 1 100); do [ "$(shots)" -ge 1 ] && break; sleep 0.3; done
sleep 1
hold t
hold F12
for i in $(seq 1 100); do [ "$(shots)" -ge 2 ] && break; sleep 0.3; done
hold Escape
for i in $(seq 1 100); do kill -0 $pid 2> /dev/null || break; sleep 0.3; done
if kill -0 $pid 2> /dev/null; then echo "still running after Escape"; kill $pid; fi
wait $pid
code=$?
cat run.log
exit $code
)SH",
                               400);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;

    std::vector<fs::path> shots;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind("screenshot-", 0) == 0)
            shots.push_back(entry.path());
    ASSERT_EQ(shots.size(), 2u) << "F12 writes screenshot-<date>-<time>.png\n" << r.output;
    std::sort(shots.begin(), shots.end()); // the names sort by time
    EXPECT_EQ(shots[0].filename().string().size(), std::string("screenshot-20260101-120000.png").size());

    Picture filled, wire;
    ASSERT_TRUE(filled.load(shots[0].string()));
    ASSERT_TRUE(wire.load(shots[1].string()));
    ASSERT_EQ(filled.width, 1920);
    ASSERT_EQ(filled.height, 1080);

    // A lit disc: a good part of it is bright, and one side is far darker than the other.
    std::vector<DiscPixel> disc = discPixels(filled);
    std::vector<DiscPixel> lit;
    for (const DiscPixel& p : disc)
        if (luma(p.rgb) > 40.0)
            lit.push_back(p);
    // The drag's turn varies a little with frame timing, so the day side may show partly.
    EXPECT_GT(lit.size(), disc.size() / 5) << "lit pixels of the disc";
    EXPECT_GT(dayNightRatio(filled), 4.0);

    // At least three biome colours, each on at least 2% of the lit ground.
    int classes[4] = {};
    for (const DiscPixel& p : lit)
        ++classes[colourClass(p.rgb)];
    int distinct = 0;
    for (int c : classes)
        distinct += c > int(lit.size() / 50);
    EXPECT_GE(distinct, 3) << "blue " << classes[0] << ", green " << classes[1] << ", brown " << classes[2] << ", grey "
                           << classes[3] << " of " << lit.size();

    // Relief: shading from the height map makes neighbouring lit pixels differ far more than on a smooth ball
    // (about 7 luma levels against 3 from the biome borders and albedo grain alone).
    double steps = 0.0;
    long pairs = 0;
    for (const DiscPixel& p : lit) {
        const unsigned char* right = p.rgb + 3;
        if (luma(right) > 40.0) {
            steps += std::fabs(luma(right) - luma(p.rgb));
            ++pairs;
        }
    }
    ASSERT_GT(pairs, 0);
    EXPECT_GT(steps / double(pairs), 4.5) << "mean luma step between neighbouring lit pixels";

    // Wireframe: over the same lit ground the background shows between the lines, which are still lit.
    long darker = 0, bright = 0;
    for (const DiscPixel& p : lit) {
        double l = luma(&wire.rgb[(size_t(p.y) * wire.width + p.x) * 3]);
        darker += l < 0.75 * luma(p.rgb);
        bright += l > 40.0;
    }
    EXPECT_GT(darker, long(lit.size() * 3 / 10)) << "wireframe gaps over the lit ground";
    EXPECT_GT(bright, long(lit.size() / 10)) << "wireframe lines";
}
