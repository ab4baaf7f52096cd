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
    RunResult r = runProgram(dir, "SKIP_DEMO", R"(
3 move 1800 1000
5 screenshot hidden.png
6 key U
9 screenshot debug.png
# a right-button drag over the debug window belongs to the window, not to the camera
10 drag right 120 90 120 0 4
17 screenshot dragged.png
18 click left 97 166      # "Settings" in the debug window, above the pass table
20 move 1800 1000
22 screenshot settings.png
23 click left 846 438     # the "Fullscreen Mode" combo
26 click left 700 465     # its "Windowed" item
29 click left 1190 726    # "Apply and save"
32 key U
35 screenshot hidden-again.png
36 quit
)");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    RunResult next = runProgram(dir, "SKIP_DEMO --frames 2");
    ASSERT_EQ(next.exitCode, 0) << next.output;
    EXPECT_NE(next.output.find("Window: windowed 1920 x 1080 at (50, 50)"), std::string::npos) << next.output;

    Picture hidden, debug, dragged, settings, hiddenAgain;
    ASSERT_TRUE(hidden.load(dir + "/hidden.png"));
    ASSERT_TRUE(debug.load(dir + "/debug.png"));
    ASSERT_TRUE(dragged.load(dir + "/dragged.png"));
    ASSERT_TRUE(settings.load(dir + "/settings.png"));
    ASSERT_TRUE(hiddenAgain.load(dir + "/hidden-again.png"));

    // The camera did not turn under the drag: the sky beside the window is where it was.
    double skyChange = 0.0;
    for (int y = 300; y < 700; y += 2)
        for (int x = 1300; x < 1800; x += 2)
            for (int c = 0; c < 3; ++c)
                skyChange += std::abs(debug.rgb[(size_t(y) * debug.width + x) * 3 + c] -
                                      dragged.rgb[(size_t(y) * dragged.width + x) * 3 + c]);
    EXPECT_LT(skyChange / (200.0 * 250.0 * 3.0), 2.0) << "mean channel change of the sky";

    // Debug window at (60, 60): the "Settings" button above the pass table in the theme's button grey (0.39, 99
    // of 255) and white text at the top ("Framerate", "Rendered Objects"); none of it before U or after the second U.
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
    std::ifstream file(dir + "/config.gcfg", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 48u);
    ConfigFileFields expected = windowedConfigAt(50, 50);
    std::string want = configFileBytes(expected);
    EXPECT_EQ(bytes.substr(4, 4), want.substr(4, 4)) << "window mode";
    EXPECT_EQ(bytes[16], 0) << "not fullscreen";
    EXPECT_EQ(bytes.substr(20, 8), want.substr(20, 8)) << "position";
}

// A work directory whose assets are the run directory's but for the UI font.
static std::string workDirWithoutFont(const std::string& name) {
    std::string dir = makeWorkDir(name);
    fs::path assets = fs::path(dir) / "assets";
    fs::remove(assets);
    fs::create_directory(assets);
    for (const auto& entry : fs::directory_iterator(fs::path(KESTRUNE_RUN_DIR) / "assets"))
        if (entry.path().filename() != "Roboto-Medium.ttf")
            fs::create_symlink(entry.path(), assets / entry.path().filename());
    return dir;
}

// The UI font is part of the installation: without it the program stops with a message naming the file and exit
// code 1, not with an assertion of the UI library (the font file tests hold damaged fonts).
TEST(UserInterface, MissingFontStopsWithExitCodeOneNamingTheFile) {
    RunResult r = runProgram(workDirWithoutFont("no-font"), "SKIP_DEMO --frames 5");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("UI font \"assets/Roboto-Medium.ttf\" is missing"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Assertion"), std::string::npos) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}

// Every window closed with its own close button (the cross of Debug, Astro settings and Demo camera, "Close" of
// the settings panel) comes back from the menu bar's "Windows" menu. The layout is pinned by an imgui.ini in the
// work directory, so the crosses are where the script clicks.
TEST(UserInterface, ClosedWindowsComeBackFromTheMenuBar) {
    std::string dir = makeWorkDir("menu-bar");
    std::ofstream(dir + "/imgui.ini") << "[Window][Debug]\nPos=60,60\nSize=240,300\nCollapsed=0\n\n"
                                         "[Window][Astro Object Settings (AstroSystem)]\nPos=10,400\nSize=560,600\n"
                                         "Collapsed=0\n\n"
                                         "[Window][Demo Camera (MainCamera)]\nPos=1400,40\nSize=382,160\nCollapsed=0\n";
    RunResult r = runProgram(dir, "SKIP_DEMO", R"(
3 move 1000 1000
4 key U
8 click left 30 10      # "Windows"
11 click left 40 58     # its "Settings"
14 move 1000 1000
17 screenshot open.png
18 click left 287 71    # the cross of "Debug"
21 click left 557 411   # the cross of the astro settings
24 click left 1769 51   # the cross of the demo camera
27 click left 694 727   # "Close" of the settings panel
30 move 1000 1000
33 screenshot closed.png
34 click left 30 10
37 click left 40 38     # "Debug"
40 click left 30 10
43 click left 40 58     # "Settings"
46 click left 30 10
49 click left 40 82     # "Astro settings"
52 click left 30 10
55 click left 40 121    # "Demo camera"
58 move 1000 1000
61 screenshot back.png
62 quit
)");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    Picture open, closed, back;
    ASSERT_TRUE(open.load(dir + "/open.png"));
    ASSERT_TRUE(closed.load(dir + "/closed.png"));
    ASSERT_TRUE(back.load(dir + "/back.png"));

    // White text inside each window: its labels while shown, at most a few stars once closed.
    struct Region {
        const char* name;
        int x0, y0, x1, y1;
    };
    const Region windows[] = {{"Debug", 64, 114, 260, 154},
                              {"Astro settings", 20, 430, 560, 600},
                              {"Demo camera", 1400, 60, 1780, 250},
                              {"Settings", 880, 330, 1040, 365}};
    for (const Region& w : windows) {
        EXPECT_GT(open.countBrighterThan(w.x0, w.y0, w.x1, w.y1, 200), 150) << w.name << " before closing";
        EXPECT_LT(closed.countBrighterThan(w.x0, w.y0, w.x1, w.y1, 200), 40) << w.name << " closed";
        EXPECT_GT(back.countBrighterThan(w.x0, w.y0, w.x1, w.y1, 200), 150) << w.name << " back from the menu";
    }
    // The menu bar stays along the top: "Windows" and "Keys" in white on its grey.
    EXPECT_GT(closed.countBrighterThan(8, 2, 120, 20, 200), 60) << "menu bar";
}
