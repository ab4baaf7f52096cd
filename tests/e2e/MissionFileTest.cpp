#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Status {
    unsigned long long step = 0;
    double speed = 0.0;
};

// The script's "status" lines: "status: frame F, time step S, spacecraft position (...), velocity (...), speed V".
std::vector<Status> statusLines(const std::string& output) {
    std::vector<Status> lines;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("status: frame", 0) != 0)
            continue;
        Status s;
        const size_t step = line.find("time step "), speed = line.find("speed ");
        if (step == std::string::npos || speed == std::string::npos)
            continue;
        s.step = std::stoull(line.substr(step + 10));
        s.speed = std::stod(line.substr(speed + 6));
        lines.push_back(s);
    }
    return lines;
}

// Time factor x4 six times (40960 simulated seconds a second, at most 410 steps a frame since frame times are
// capped at one second), then the spacecraft's state every frame: every stretch of more than 410 steps without a
// burn holds a status line. On the CPU driver the program draws a few frames a second, so 100 frames reach well
// past step 1600.
std::string flightScript() {
    std::string script = "2 status\n";
    for (int frame = 3; frame <= 13; frame += 2)
        script += std::to_string(frame) + " key period\n";
    for (int frame = 14; frame <= 100; ++frame)
        script += std::to_string(frame) + " status\n";
    return script + "101 quit\n";
}

// The largest change of speed between consecutive status lines that both lie in [from, to).
double largestSpeedChange(const std::vector<Status>& lines, unsigned long long from, unsigned long long to) {
    double largest = 0.0;
    for (size_t k = 1; k < lines.size(); ++k)
        if (lines[k - 1].step >= from && lines[k].step < to)
            largest = std::max(largest, std::abs(lines[k].speed - lines[k - 1].speed));
    return largest;
}

} // namespace

// A hand-written mission of two burns flies those burns: the spacecraft's speed jumps across each burn by what
// the burn adds, far more than it changes between status lines while the craft coasts.
TEST(MissionFile, HandWrittenTwoBurnMissionFliesItsBurns) {
    std::string dir = makeWorkDir("mission-two-burns");
    std::ofstream(dir + "/two-burns.txt") << R"(// Two prograde burns from Earth orbit.
uint64 startTimeStep = 0;
scheduleManouver(300, 100, { 1, 0, 0 }, 1000, 1, 3, 0);   // steps 300 to 399
scheduleManouver(1500, 100, { 1, 0, 0 }, 1000, 1, 3, 0);  // steps 1500 to 1599
)";
    RunResult flown = runProgram(dir, "SKIP_DEMO --mission two-burns.txt", flightScript());
    ASSERT_EQ(flown.exitCode, 0) << flown.output;
    EXPECT_EQ(validationMessageCount(flown.output), 0) << flown.output;
    EXPECT_NE(flown.output.find("Mission \"two-burns.txt\": 2 manoeuvres and 0 timestep settings"), std::string::npos)
        << flown.output;

    std::vector<Status> f = statusLines(flown.output);
    ASSERT_GE(f.size(), 10u) << flown.output;
    // The mission starts at step 0 and the run gets past the second burn.
    EXPECT_LT(f.front().step, 300u) << flown.output;
    ASSERT_GT(f.back().step, 1600u) << flown.output;

    // Speed before the first burn, between the burns and after the second: each burn adds about the same amount.
    auto speedAt = [](const std::vector<Status>& lines, unsigned long long from, unsigned long long to) {
        for (const Status& s : lines)
            if (s.step >= from && s.step < to)
                return s.speed;
        return std::nan("");
    };
    const double before = f.front().speed;
    const double between = speedAt(f, 400, 1500);
    const double after = speedAt(f, 1600, ~0ull);
    ASSERT_FALSE(std::isnan(between)) << "no status line between the burns\n" << flown.output;
    const double coast = std::max(largestSpeedChange(f, 400, 1500), largestSpeedChange(f, 1600, ~0ull));
    const double firstBurn = between - before, secondBurn = after - between;
    // A burn adds thrust x 1e-7 per second over its 100 steps of 100 s: 0.01 world units per second here.
    EXPECT_NEAR(firstBurn, 0.01, 0.001) << flown.output;
    EXPECT_NEAR(secondBurn, 0.01, 0.001) << flown.output;
    EXPECT_GT(firstBurn, 10.0 * coast) << "largest change while coasting " << coast << "\n" << flown.output;
    EXPECT_GT(secondBurn, 10.0 * coast) << "largest change while coasting " << coast << "\n" << flown.output;
}

// A mission naming a body that does not exist stops the program with exit code 1 and the line, once the system
// is built, validation-clean (the mission text tests hold the other faults of a file).
TEST(MissionFile, MissionNamingAnUnknownBodyExitsOneNamingTheLine) {
    std::string dir = makeWorkDir("mission-malformed");
    std::ofstream(dir + "/body.txt") << "scheduleManouver(300, 100, { 1, 0, 0 }, 10, 1, 3, 0);\n"
                                        "scheduleSetting(0, 10000, false, { 0, 1, 0 }, 200, 29, 3);\n";
    RunResult body = runProgram(dir, "SKIP_DEMO --frames 5 --mission body.txt");
    EXPECT_EQ(body.exitCode, 1) << body.output;
    EXPECT_NE(body.output.find("Mission \"body.txt\", line 2:"), std::string::npos) << body.output;
    EXPECT_EQ(validationMessageCount(body.output), 0) << body.output;
}
