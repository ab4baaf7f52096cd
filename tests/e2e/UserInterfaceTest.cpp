#include "ConfigFileBytes.h"
#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Pixels of a rectangle within `tolerance` of the grey `level` in every channel.
int countGrey(const Picture& p, int x0, int y0, int x1, int y1, int level, int tolerance) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const unsigned char* c = &p.rgb[(size_t(y) * p.width + x) * 3];
            n += std::abs(c[0] - level) <= tolerance && std::abs(c[1] - level) <= tolerance &&
                 std::abs(c[2] - level) <= tolerance;
        }
    return n;
}

} // namespace

// The UI starts hidden; U shows the debug window (grey theme, white text, top left); its "Settings" button
// opens the centred settings panel; "Fullscreen Mode" set to "Windowed" and "Apply and save" write a 48-byte
// config.gcfg; U hides the UI again; the next start is windowed at the saved position. Click positions are those
// of the layout on a fresh 1920 x 1080 screen (debug window at ImGui's default place, panel centred).
TEST(UserInterface, DebugWindowSettingsPanelAndApplyAndSave) {
    std::string dir = makeWorkDir("user-interface");
    RunResult r = runUnderXvfb(dir, R"SH(
"$KESTRUNE" SKIP_DEMO > run.log 2>&1 &
pid=$!
wid=$(xdotool search --sync --name '^Kestrune$' | head -n 1)
# Keys and buttons are read once a frame: hold each for longer than a frame.
hold() { xdotool keydown "$1"; sleep 3; xdotool keyup "$1"; }
# Frames take up to a few seconds while planets generate: a click waits for frames to see the pointer over its
# target, the button down, the button up, and the window's answer (a popup opens one frame after its click).
click() { xdotool mousemove "$1" "$2"; sleep 4; xdotool mousedown 1; sleep 3; xdotool mouseup 1; sleep 5; }
shots() { ls screenshot-*.png 2> /dev/null | wc -l; }
shot() { hold F12; for i in $(seq 1 100); do [ "$(shots)" -ge "$1" ] && break; sleep 0.3; done; sleep 1; }
xdotool windowfocus --sync "$wid"
xdotool mousemove 1800 1000
sleep 2
shot 1
hold u
shot 2
click 97 166    # "Settings" in the debug window
xdotool mousemove 1800 1000
shot 3
click 846 438   # the "Fullscreen Mode" combo
click 700 465   # its "Windowed" item
click 1190 726  # "Apply and save"
for i in $(seq 1 100); do [ -f config.gcfg ] && break; sleep 0.3; done
hold u
shot 4
hold Escape
for i in $(seq 1 100); do kill -0 $pid 2> /dev/null || break; sleep 0.3; done
if kill -0 $pid 2> /dev/null; then echo "still running after Escape"; kill $pid; fi
wait $pid
code=$?
cat run.log
[ $code -ne 0 ] && exit $code
echo "config bytes: $(stat -c %s config.gcfg)"
"$KESTRUNE" SKIP_DEMO > run2.log 2>&1 &
pid=$!
wid=$(xdotool search --sync --name '^Kestrune$' | head -n 1)
sleep 1
xdotool getwindowgeometry "$wid"
hold Escape
wait $pid
code=$?
cat run2.log
exit $code
)SH",
                               500);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;

    std::vector<fs::path> shots;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind("screenshot-", 0) == 0)
            shots.push_back(entry.path());
    std::sort(shots.begin(), shots.end());
    ASSERT_EQ(shots.size(), 4u) << r.output;
    Picture hidden, debug, settings, hiddenAgain;
    ASSERT_TRUE(hidden.load(shots[0].string()));
    ASSERT_TRUE(debug.load(shots[1].string()));
    ASSERT_TRUE(settings.load(shots[2].string()));
    ASSERT_TRUE(hiddenAgain.load(shots[3].string()));

    // Debug window at (60, 60): the "Settings" button in the theme's button grey (0.39, 99 of 255) and white
    // text above it ("Framerate", "Rendered Objects"); none of it before U or after the second U.
    const int buttonGrey = countGrey(debug, 68, 156, 127, 178, 99, 3);
    EXPECT_GT(buttonGrey, 400) << "Settings button";
    EXPECT_GT(debug.countBrighterThan(64, 114, 260, 154, 200), 150) << "white text";
    for (const Picture* p : {&hidden, &hiddenAgain}) {
        EXPECT_LT(countGrey(*p, 68, 156, 127, 178, 99, 3), 40);
        EXPECT_LT(p->countBrighterThan(64, 114, 260, 154, 200), 40);
    }

    // The settings panel, 600 wide and centred: its buttons along the bottom, "Close" on the left and
    // "Apply and save" ending at the right edge, both in the button grey.
    EXPECT_GT(countGrey(settings, 668, 714, 720, 740, 99, 3), 500) << "Close";
    EXPECT_GT(countGrey(settings, 1128, 714, 1252, 740, 99, 3), 1000) << "Apply and save";
    EXPECT_GT(settings.countBrighterThan(880, 330, 1040, 365, 200), 100) << "the title \"Settings\"";

    // The saved file: 48 bytes, windowed at (50, 50) where leaving fullscreen put the window.
    EXPECT_NE(r.output.find("config bytes: 48"), std::string::npos) << r.output;
    std::ifstream file(dir + "/config.gcfg", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 48u);
    ConfigFileFields expected = windowedConfigAt(50, 50);
    std::string want = configFileBytes(expected);
    EXPECT_EQ(bytes.substr(4, 4), want.substr(4, 4)) << "window mode";
    EXPECT_EQ(bytes[16], 0) << "not fullscreen";
    EXPECT_EQ(bytes.substr(20, 8), want.substr(20, 8)) << "position";
    // The next start honours it.
    EXPECT_NE(r.output.find("Position: 50,50"), std::string::npos) << r.output;
}

// The UI font is part of the installation: without it the program stops with a message naming the file and exit
// code 1, not with an assertion of the UI library.
TEST(UserInterface, MissingFontStopsWithExitCodeOneNamingTheFile) {
    std::string dir = makeWorkDir("no-font");
    fs::path assets = fs::path(dir) / "assets";
    fs::remove(assets);
    fs::create_directory(assets);
    for (const auto& entry : fs::directory_iterator(fs::path(KESTRUNE_RUN_DIR) / "assets"))
        if (entry.path().filename() != "Roboto-Medium.ttf")
            fs::create_symlink(entry.path(), assets / entry.path().filename());
    RunResult r = runUnderXvfb(dir, "\"$KESTRUNE\" SKIP_DEMO --frames 5");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("UI font \"assets/Roboto-Medium.ttf\" is missing"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Assertion"), std::string::npos) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}
