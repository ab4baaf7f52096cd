#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// A windowed configuration record (look sensitivity 1, V-Sync on, monitor 0) at the given position and size.
void writeWindowedConfig(const std::string& dir, int32_t x, int32_t y, int32_t width, int32_t height) {
    unsigned char bytes[48] = {};
    float one = 1.0f;
    int32_t fields[] = {0, 1, 0};
    std::memcpy(bytes, &one, 4);
    std::memcpy(bytes + 4, fields, 12);
    int32_t window[] = {x, y, width, height, 60};
    std::memcpy(bytes + 20, window, sizeof window);
    std::ofstream(fs::path(dir) / "config.gcfg", std::ios::binary).write(reinterpret_cast<const char*>(bytes), 48);
}

std::string contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream s;
    s << file.rdbuf();
    return s.str();
}

} // namespace

// A stored position far off every monitor opens the window on the screen; while the window is unmapped the
// program neither renders nor spins (one update every 20 ms), and it renders again once mapped.
TEST(WindowAndScreenshots, FarOffPositionComesOnScreenAndAnUnmappedWindowRestsTheCpu) {
    std::string dir = makeWorkDir("unmapped");
    writeWindowedConfig(dir, 2000000000, -2000000000, 800, 600);
    RunResult r = runUnderXvfb(dir, R"SH(
"$KESTRUNE" SKIP_DEMO > run.log 2>&1 &
pid=$!
wid=$(xdotool search --sync --name '^Kestrune$' | head -n 1)
for i in $(seq 1 600); do grep -q "vkEnumeratePhysicalDevices" run.log && break; sleep 0.1; done
sleep 3
xdotool getwindowgeometry "$wid"
cpu() { awk '{print $14 + $15}' /proc/$pid/stat; }
xdotool windowunmap --sync "$wid"
# Frames already queued finish first: take the quietest two seconds of the next thirty.
quietest=100000
for i in $(seq 1 15); do
  t0=$(cpu); sleep 2; t1=$(cpu)
  [ $((t1 - t0)) -lt $quietest ] && quietest=$((t1 - t0))
  [ $quietest -lt 10 ] && break
done
echo "unmapped cpu ticks: $quietest"
xdotool windowmap --sync "$wid"
# Rendering resumes: a shot needs a rendered frame.
xdotool keydown --window "$wid" F12; sleep 0.1; xdotool keyup --window "$wid" F12
for i in $(seq 1 600); do grep -q 'Screenshot saved' run.log && break; sleep 0.1; done
xdotool keydown --window "$wid" Escape; sleep 0.3; xdotool keyup --window "$wid" Escape
for i in $(seq 1 300); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
kill $pid 2>/dev/null
wait $pid
code=$?
cat run.log
exit $code
)SH");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.output, m, std::regex("Position: (-?\\d+),(-?\\d+)"))) << r.output;
    int x = std::stoi(m[1]), y = std::stoi(m[2]);
    EXPECT_TRUE(x >= 0 && x + 100 <= 1920 && y >= 0 && y + 50 <= 1080) << r.output;
    ASSERT_TRUE(std::regex_search(r.output, m, std::regex("unmapped cpu ticks: (\\d+)"))) << r.output;
    int unmapped = std::stoi(m[1]);
    // Ticks are 1/100 s over 2 s: rendering keeps both cores busy (about 400), resting costs a few percent of one.
    EXPECT_LT(unmapped, 40) << r.output;
    EXPECT_EQ(countOccurrences(r.output, "Screenshot saved: "), 1) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}

// F12 writes one new file a press. Every timestamped name the run could use already exists (another instance in
// the same directory): none of them is touched, each shot is numbered instead.
TEST(WindowAndScreenshots, EveryF12PressWritesItsOwnFileAndNoOtherFileIsReplaced) {
    std::string dir = makeWorkDir("f12");
    std::set<std::string> taken;
    std::time_t now = std::time(nullptr);
    for (int s = 0; s < 900; ++s) {
        std::time_t t = now + s;
        std::tm local = *std::localtime(&t);
        char name[64];
        std::strftime(name, sizeof name, "screenshot-%Y%m%d-%H%M%S.png", &local);
        std::ofstream(fs::path(dir) / name) << "another instance";
        taken.insert(name);
    }
    const int presses = 4;
    RunResult r = runUnderXvfb(dir, R"SH(
"$KESTRUNE" SKIP_DEMO > run.log 2>&1 &
pid=$!
wid=$(xdotool search --sync --name '^Kestrune$' | head -n 1)
for i in $(seq 1 600); do grep -q "vkEnumeratePhysicalDevices" run.log && break; sleep 0.1; done
sleep 2
for press in $(seq 1 )SH" + std::to_string(presses) +
                                        R"SH(); do
  xdotool keydown --window "$wid" F12; sleep 0.1; xdotool keyup --window "$wid" F12
  for i in $(seq 1 600); do
    [ "$(grep -c 'Screenshot saved' run.log)" -ge "$press" ] && break
    grep -q 'Unable to write screenshot' run.log && break
    sleep 0.1
  done
done
xdotool keydown --window "$wid" Escape; sleep 0.3; xdotool keyup --window "$wid" Escape
for i in $(seq 1 300); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
kill $pid 2>/dev/null
wait $pid
code=$?
cat run.log
exit $code
)SH");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(countOccurrences(r.output, "Screenshot saved: "), presses) << r.output;
    EXPECT_EQ(countOccurrences(r.output, "Unable to write screenshot"), 0) << r.output;
    int shots = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (taken.count(name)) {
            EXPECT_EQ(contents(entry.path()), "another instance") << name;
        } else if (entry.path().extension() == ".png") {
            ++shots;
            EXPECT_NE(r.output.find("Screenshot saved: " + name), std::string::npos) << name;
            EXPECT_EQ(contents(entry.path()).substr(1, 3), "PNG") << name;
        }
    }
    EXPECT_EQ(shots, presses);
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}

// A requested screenshot that cannot be written is reported and ends the run, after a normal shutdown, with a
// failure status.
TEST(WindowAndScreenshots, ScreenshotThatCannotBeWrittenFailsTheRun) {
    std::string dir = makeWorkDir("shotfails");
    RunResult r = runProgram(dir, "SKIP_DEMO --frames 3 --screenshot missing-dir/shot.png");
    EXPECT_NE(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("missing-dir/shot.png"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Screenshot saved"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("GLFW error"), std::string::npos) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}
