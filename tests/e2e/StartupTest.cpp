#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

// Start-up through the validation layer, --profile's quality and pass lines, and Escape from a script: it goes through
// the same keyboard snapshot as a key press, so the frame is rendered and its shot saved, then the program shuts down
// cleanly with exit code 0.
TEST(Startup, RunsValidationCleanAndEscapeEndsTheProgramWithExitCodeZero) {
    std::string dir = makeWorkDir("startup");
    std::ofstream(dir + "/quality.txt") << "high\n";
    RunResult r =
        runProgram(dir, "SKIP_DEMO --profile --screenshot last.png", "20 key Escape\n", "VK_LOADER_DEBUG=layer");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("vkCreateInstance: 0"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("vkEnumeratePhysicalDevices: 0"), std::string::npos);
    EXPECT_NE(r.output.find("glfwCreateWindowSurface: 0"), std::string::npos);
    EXPECT_NE(r.output.find("\nVK_KHR_surface\n"), std::string::npos) << "instance extension names are listed";
    EXPECT_NE(r.output.find("VK_KHR_xcb_surface"), std::string::npos);
    // The layer changes no exit code: prove it was really loaded.
    EXPECT_NE(r.output.find("VK_LAYER_KHRONOS_validation"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("libVkLayer_khronos_validation.so"), std::string::npos);
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    // --profile: one line a pass of the render pass list, GPU and CPU milliseconds.
    EXPECT_NE(r.output.find("GPU ms"), std::string::npos) << r.output;
    // The quality kept beside the config file is this run's, named before the table.
    EXPECT_NE(r.output.find("Quality: high\nPer-pass timings"), std::string::npos) << r.output;
    for (const char* pass :
         {"\ncompute ", "\nmain ", "\natmosphere ", "\nlayer ", "\nbloom ", "\npostProcess ", "\nframeCpu "})
        EXPECT_NE(r.output.find(pass), std::string::npos) << pass << "\n" << r.output;
    EXPECT_NE(r.output.find("Screenshot saved: last.png"), std::string::npos) << r.output;
}

// A windowed config file opens the window where it says (the stored size is never used: windowed starts at
// 1920 x 1080); an unknown word in quality.txt means Medium, named on one line. Resizes, a minimised window (nothing
// rendered, the simulation goes on) and its restoration, all from a script: every size change rebuilds the swap chain
// once, the program stays validation-clean and exits 0.
TEST(Startup, ResizesAndMinimiseKeepTheProgramRunning) {
    std::string dir = makeWorkDir("resize");
    writeConfig(dir, 0, 50, 50); // windowed: without a window manager the server honours the resizes
    std::ofstream(dir + "/quality.txt") << "ultra\n";
    RunResult r = runProgram(dir, "SKIP_DEMO", R"(
# frame command
3 resize 1280 720
5 resize 800 600
6 resize 1600 900
8 minimize
14 restore
18 resize 1024 768
22 screenshot after.png
23 quit
)");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Window: windowed 1920 x 1080 at (50, 50)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("quality.txt: not \"low\", \"medium\" or \"high\"; using medium"), std::string::npos);
    EXPECT_GE(countOccurrences(r.output, "Recreating swapchain!"), 4) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    Picture after;
    ASSERT_TRUE(after.load(dir + "/after.png")) << r.output;
    EXPECT_EQ(after.width, 1024);
    EXPECT_EQ(after.height, 768);
}

// The one test that drives the program with real X input: a resize from outside and a key press.
TEST(Startup, RealXInputResizesAndQuits) {
    std::string dir = makeWorkDir("xinput");
    writeConfig(dir, 0, 50, 50);
    RunResult r = runUnderXvfb(dir, R"(
"$KESTRUNE" SKIP_DEMO > run.log 2>&1 &
pid=$!
wid=$(xdotool search --sync --name '^Kestrune$' | head -n 1)
xdotool windowsize "$wid" 1280 720
xdotool key --window "$wid" Escape
wait $pid
code=$?
cat run.log
exit $code
)");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_GE(countOccurrences(r.output, "Recreating swapchain!"), 1) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}

// Taps of a key while a frame takes seconds (a CPU-only device under load): each tap counts. The script holds
// frame 5 for a few seconds; three F12 taps sent by X meanwhile save three screenshots.
TEST(Startup, RealXKeyTapsDuringASlowFrameAreEachSeen) {
    std::string dir = makeWorkDir("xinput-slow-frame");
    writeConfig(dir, 0, 50, 50);
    {
        std::ofstream script(dir + "/slow.script");
        script << "5 stall 5000\n20 quit\n";
    }
    RunResult r = runUnderXvfb(dir, R"(
"$KESTRUNE" SKIP_DEMO --script slow.script > run.log 2>&1 &
pid=$!
wid=$(xdotool search --sync --name '^Kestrune$' | head -n 1)
while kill -0 $pid 2>/dev/null && ! grep -q "stalls for" run.log; do sleep 0.05; done
xdotool key --window "$wid" F12 F12 F12
wait $pid
code=$?
cat run.log
exit $code
)");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(countOccurrences(r.output, "Screenshot saved: screenshot-"), 3) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    int pictures = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().rfind("screenshot-", 0) == 0) {
            Picture p;
            EXPECT_TRUE(p.load(entry.path().string())) << entry.path();
            ++pictures;
        }
    EXPECT_EQ(pictures, 3);
}
