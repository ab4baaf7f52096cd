#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>
#include <string>

namespace {

struct BurnLine {
    unsigned long step = 0;
    std::string body;
    double distance = 0.0, radii = 0.0;
};

std::string readCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

} // namespace

// The tour as a user tries it (no demo, a jump a few steps before each burn, time factor 10 × 4^5): every "Burn N
// started" line is the planner's report of the same mission to the printed digit, and every burn starts within
// 30 radii of its reference body (Phobos: within 30 units).
TEST(Tour, TheProgramsBurnLinesAreThePlannersTableAndReachTheirBodies) {
    const std::string report = readCommand(std::string(KESTRUNE_RUN_DIR) + "/kestrune-plan report --json");
    std::map<int, BurnLine> planned;
    std::regex entry(
        R"re(\{"burn": (\d+), "step": (\d+), "body": "([^"]+)", "distance": ([0-9.]+), "radii": ([0-9.]+))re");
    for (auto it = std::sregex_iterator(report.begin(), report.end(), entry); it != std::sregex_iterator(); ++it)
        planned[std::stoi((*it)[1])] = {std::stoul((*it)[2]), (*it)[3], std::stod((*it)[4]), std::stod((*it)[5])};
    ASSERT_EQ(planned.size(), 16u) << report;

    std::string script = "2 resize 960 540\n3 key period\n5 key period\n7 key period\n9 key period\n11 key period\n";
    int frame = 40;
    for (const auto& [burn, line] : planned) {
        script += std::to_string(frame) + " timestep " + std::to_string(line.step - 8) + "\n";
        frame += 6;
    }
    script += std::to_string(frame) + " quit\n";
    std::string dir = makeWorkDir("tour-burns");
    writeConfig(dir, 0, 0, 0);
    RunResult r = runProgram(dir, "SKIP_DEMO", script);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;

    std::regex started(R"re(Burn (\d+) started at time step (\d+) \((.+?): distance ([0-9.]+),)re");
    std::map<int, BurnLine> flown;
    for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), started); it != std::sregex_iterator(); ++it)
        flown[std::stoi((*it)[1])] = {std::stoul((*it)[2]), (*it)[3], std::stod((*it)[4]), 0.0};
    for (const auto& [burn, p] : planned) {
        ASSERT_TRUE(flown.count(burn)) << "no start line of burn " << burn << "\n" << r.output;
        const BurnLine& f = flown[burn];
        EXPECT_EQ(f.step, p.step) << "burn " << burn;
        EXPECT_EQ(f.body, p.body) << "burn " << burn;
        EXPECT_NEAR(f.distance, p.distance, 0.0005 + 1e-9 * p.distance) << "burn " << burn;
        if (p.body.rfind("Phobos", 0) == 0)
            EXPECT_LT(p.distance, 30.0) << "burn " << burn;
        else
            EXPECT_LT(p.radii, 30.0) << "burn " << burn << " at " << p.distance << " from " << p.body;
    }
}

// The demo tour in its Jupiter phase (a jump just before the last burn, the demo camera on the craft in Jupiter's
// frame): the planet fills a large part of the picture instead of the craft hanging alone among the stars.
TEST(Tour, TheDemoSeesJupiterLargeInItsPhase) {
    std::string dir = makeWorkDir("tour-jupiter");
    RunResult r = runProgram(dir, "", "20 timestep 549900\n26 screenshot jupiter.png\n27 quit\n");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    Picture p;
    ASSERT_TRUE(p.load(dir + "/jupiter.png"));
    // The lit part of the body, in blocks of 8 x 8 pixels more than half lit (stars are single pixels): its extent
    // spans the disc, whatever the phase. The distant Sun is a small disc.
    int x0 = p.width, y0 = p.height, x1 = -1, y1 = -1;
    for (int y = 0; y + 8 <= p.height; y += 8)
        for (int x = 0; x + 8 <= p.width; x += 8)
            if (p.countBrighterThan(x, y, x + 8, y + 8, 40) > 32) {
                x0 = std::min(x0, x), y0 = std::min(y0, y);
                x1 = std::max(x1, x + 8), y1 = std::max(y1, y + 8);
            }
    EXPECT_GT(std::max(x1 - x0, y1 - y0), p.height / 4)
        << "lit extent " << x0 << "," << y0 << " to " << x1 << "," << y1;
}
