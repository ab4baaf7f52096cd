#include "E2eSupport.h"

#include <gtest/gtest.h>

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
    // Stars are single pixels and the Sun, were it in view, a disc of about 1% of the picture.
    int lit = p.countBrighterThan(0, 0, p.width, p.height, 60);
    EXPECT_GT(lit, p.width * p.height / 25) << lit << " lit pixels of " << p.width * p.height;
}
