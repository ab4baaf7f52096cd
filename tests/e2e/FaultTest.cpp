#include "ConfigFileBytes.h"
#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

TEST(Faults, MissingVulkanDriverStopsWithAClearMessage) {
    std::string dir = makeWorkDir("nodriver");
    RunResult r = runUnderXvfb(dir, "VK_ICD_FILENAMES=/nonexistent/icd.json \"$KESTRUNE\" SKIP_DEMO --frames 5");
    EXPECT_EQ(r.exitCode, 1) << r.output; // a reported failure, not a crash
    EXPECT_NE(r.output.find("ERROR: Unable to create the Vulkan instance"), std::string::npos) << r.output;
}

TEST(Faults, CorruptConfigFileFallsBackToDefaults) {
    std::string dir = makeWorkDir("badconfig");
    {
        std::ofstream config(std::filesystem::path(dir) / "config.gcfg", std::ios::binary);
        config << "garbage"; // 7 bytes of nonsense
    }
    RunResult r = runUnderXvfb(dir, "\"$KESTRUNE\" SKIP_DEMO --frames 5");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("config.gcfg has 7 bytes"), std::string::npos) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}

TEST(Faults, WindowedConfigRestartsWindowedAtItsPosition) {
    std::string dir = makeWorkDir("windowed");
    ConfigFileFields windowed = windowedConfigAt(200, 100);
    windowed.refreshMode = 1; // V-Sync
    windowed.width = 800;     // never used: windowed starts at 1920 x 1080
    windowed.height = 600;
    windowed.refreshRate = 60;
    writeConfigFileBytes(dir + "/config.gcfg", configFileBytes(windowed));
    RunResult r = runUnderXvfb(dir, R"(
"$KESTRUNE" SKIP_DEMO > run.log 2>&1 &
pid=$!
wid=$(xdotool search --sync --name '^Kestrune$' | head -n 1)
sleep 1
xdotool getwindowgeometry "$wid"
xdotool keydown --window "$wid" Escape; sleep 0.3; xdotool keyup --window "$wid" Escape
for i in $(seq 1 300); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
kill $pid 2>/dev/null
wait $pid
code=$?
cat run.log
exit $code
)");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    // The stored size is never used: windowed restarts at 1920 x 1080 (clamped by the 1920 x 1080 screen).
    EXPECT_NE(r.output.find("Position: 200,100"), std::string::npos) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}
