#include "E2eSupport.h"

#include <gtest/gtest.h>

TEST(Startup, RunsThirtyFramesValidationCleanAndExitsZero) {
    std::string dir = makeWorkDir("startup");
    RunResult r = runUnderXvfb(dir, "VK_LOADER_DEBUG=layer \"$KESTRUNE\" SKIP_DEMO --frames 30");
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
}

TEST(Startup, ResizeRebuildsTheSwapChainAndKeepsRunning) {
    std::string dir = makeWorkDir("resize");
    RunResult r = runUnderXvfb(dir, R"(
"$KESTRUNE" SKIP_DEMO --frames 60 > run.log 2>&1 &
pid=$!
wid=$(xdotool search --sync --name '^Kestrune$' | head -n 1)
sleep 2
xdotool windowsize "$wid" 1280 720
sleep 2
wait $pid
code=$?
cat run.log
exit $code
)");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_GE(countOccurrences(r.output, "Recreating swapchain!"), 1) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}

TEST(Startup, EscapeEndsTheProgramWithExitCodeZero) {
    std::string dir = makeWorkDir("escape");
    RunResult r = runUnderXvfb(dir, R"(
"$KESTRUNE" SKIP_DEMO > run.log 2>&1 &
pid=$!
wid=$(xdotool search --sync --name '^Kestrune$' | head -n 1)
sleep 2
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool keydown --window "$wid" Escape; sleep 0.3; xdotool keyup --window "$wid" Escape
for i in $(seq 1 300); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
if kill -0 $pid 2>/dev/null; then echo "still running after Escape"; kill $pid; fi
wait $pid
code=$?
cat run.log
exit $code
)");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.find("still running after Escape"), std::string::npos) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}
