// Missions as text: the editor's clipboard text of the built-in mission, saved files that load back bit for bit,
// and texts that are refused as a whole with the line that is wrong (these run under AddressSanitizer too).
#include "Demo/Spacecraft/MissionText.h"
#include "Demo/Panels/MissionEditor.h"
#include "Demo/Spacecraft/MissionEditing.h"
#include "Demo/Spacecraft/MissionPlan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include <unistd.h>

using namespace Demo;

namespace {

MissionData builtInMission() {
    MissionData m;
    m.maneuvers = builtInManeuvers();
    m.settings = builtInSettings();
    return m;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
bool sameBits(const Vec3d& a, const Vec3d& b) {
    return sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.z, b.z);
}

void expectIdentical(const MissionData& a, const MissionData& b) {
    EXPECT_EQ(a.startTimeStep, b.startTimeStep);
    EXPECT_TRUE(sameBits(a.defaultTimeFactor, b.defaultTimeFactor));
    EXPECT_TRUE(sameBits(a.defaultCamDir, b.defaultCamDir));
    EXPECT_TRUE(sameBits(a.defaultCamDistance, b.defaultCamDistance));
    EXPECT_TRUE(sameBits(a.speed, b.speed));
    ASSERT_EQ(a.maneuvers.size(), b.maneuvers.size());
    for (size_t k = 0; k < a.maneuvers.size(); ++k) {
        const Maneuver &x = a.maneuvers[k], &y = b.maneuvers[k];
        EXPECT_TRUE(x.time == y.time && x.burn == y.burn && sameBits(x.direction, y.direction) &&
                    sameBits(x.thrust, y.thrust) && x.continuous == y.continuous &&
                    x.dominantObject == y.dominantObject && sameBits(x.rotationSpeed, y.rotationSpeed))
            << "manoeuvre " << k;
    }
    ASSERT_EQ(a.settings.size(), b.settings.size());
    for (size_t k = 0; k < a.settings.size(); ++k) {
        const TimestepSetting &x = a.settings[k], &y = b.settings[k];
        EXPECT_TRUE(x.timestep == y.timestep && sameBits(x.timeFactor, y.timeFactor) && sameBits(x.camDir, y.camDir) &&
                    sameBits(x.camDistance, y.camDistance) && x.targetObject == y.targetObject &&
                    x.dominantObject == y.dominantObject)
            << "setting " << k;
    }
}

} // namespace

TEST(MissionText, ClipboardTextOfTheBuiltInMission) {
    std::vector<std::string> lines = linesOf(missionClipboardText(builtInMission()));
    // Start block (6 lines and an empty one), 16 burns, an empty line, 67 settings.
    ASSERT_EQ(lines.size(), 7u + 16u + 1u + 67u);
    EXPECT_EQ(lines[0], "uint64 startTimeStep = 0;");
    EXPECT_EQ(lines[1], "startData = {");
    EXPECT_EQ(lines[2], "    system->computeObjectPos(craft, startTimeStep),");
    EXPECT_EQ(lines[3], "    system->computeObjectVel(craft, startTimeStep),");
    EXPECT_EQ(lines[4], "    startTimeStep");
    EXPECT_EQ(lines[5], "};");
    EXPECT_EQ(lines[6], "");
    EXPECT_EQ(lines[7], "scheduleManouver(3900, 499, { 0.143, -1, 0 }, 53.2, 1, 3, 300);");
    EXPECT_EQ(lines[21], "scheduleManouver(435010, 3039, { -0.411953, 0.816798, -0.403902 }, 59.6822, 0, 5, 512);");
    EXPECT_EQ(lines[22], "scheduleManouver(550000, 3707, { 0.88001, -0.00974543, -0.474855 }, 65.5664, 1, 5, 0);");
    EXPECT_EQ(lines[23], "");
    EXPECT_EQ(lines[24], "scheduleSetting(0, 50340, false, { 0, -1, 0 }, 500, 28, 3);");
    EXPECT_EQ(lines[24 + 42], "scheduleSetting(200750, 2.10159e+06, false, { 0, -0.2, 1 }, 9, 28, 5);");
    EXPECT_EQ(lines.back(), "scheduleSetting(540000, 0, false, { 0, 0.3, 1 }, 100.5, 28, 5);");
    int manoeuvres = 0, settings = 0;
    for (const std::string& line : lines) {
        manoeuvres += line.rfind("scheduleManouver(", 0) == 0;
        settings += line.rfind("scheduleSetting(", 0) == 0;
    }
    EXPECT_EQ(manoeuvres, 16);
    EXPECT_EQ(settings, 67);

    // The copied text reads back (at its six digits) as the same lists, start step 0.
    MissionParse back = parseMissionText(missionClipboardText(builtInMission()), MissionData{});
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(back.mission.maneuvers.size(), 16u);
    EXPECT_EQ(back.mission.settings.size(), 67u);
    EXPECT_DOUBLE_EQ(back.mission.settings[42].timeFactor, 2101590.0);
}

TEST(MissionText, SavedMissionLoadsBackBitForBit) {
    MissionData m = builtInMission();
    m.startTimeStep = 123456789012345ull;
    m.maneuvers[0].thrust = 0.1 + 0.2;
    m.maneuvers[1].direction = {1.0 / 3.0, -2.0 / 7.0, -0.0};
    m.maneuvers[2].rotationSpeed = 256.7f;
    m.maneuvers[3].dominantObject = -1;
    m.maneuvers[4].direction = {0.0, 0.0, 0.0}; // an editor can hold a burn without direction
    m.maneuvers[5].time = std::numeric_limits<uint64_t>::max() - 10;
    m.maneuvers[5].burn = 10;
    m.settings[0].timeFactor = 98765432.101234567;
    m.settings[1].camDistance = 4.9406564584124654e-324; // the smallest subnormal
    m.defaultTimeFactor = 12345.678901234567;
    m.defaultCamDir = {0.1, -0.7, std::nextafter(1.0, 2.0)};
    m.defaultCamDistance = 0.30000000000000004;
    m.speed = 1.1f;

    const std::string text = missionFileText(m);
    MissionParse back = parseMissionText(text, MissionData{});
    ASSERT_TRUE(back.ok()) << back.error;
    expectIdentical(back.mission, m);
    // Saving what was loaded gives the same file.
    EXPECT_EQ(missionFileText(back.mission), text);

    // Fields a text does not set keep the base's values; the lists are always the text's.
    MissionData base;
    base.speed = 3.5f;
    base.startTimeStep = 77;
    base.maneuvers = builtInManeuvers();
    MissionParse partial = parseMissionText("// two lines\nscheduleManouver(10, 5, { 1, 0, 0 }, 2, true, 3, 0);\n"
                                            "\n   scheduleManouver(20,5,{0,1,0},+2.5e1,false,-1,7.5); // end\n",
                                            base);
    ASSERT_TRUE(partial.ok()) << partial.error;
    EXPECT_EQ(partial.mission.speed, 3.5f);
    EXPECT_EQ(partial.mission.startTimeStep, 77u);
    ASSERT_EQ(partial.mission.maneuvers.size(), 2u);
    EXPECT_TRUE(partial.mission.settings.empty());
    EXPECT_EQ(partial.mission.maneuvers[1].thrust, 25.0);
    EXPECT_FALSE(partial.mission.maneuvers[1].continuous);
    EXPECT_EQ(partial.maneuverLines, (std::vector<uint32_t>{2, 4}));
}

TEST(MissionTextMalformed, RefusedAsAWholeNamingTheLine) {
    MissionData base = builtInMission();
    const std::string good = "scheduleManouver(10, 5, { 1, 0, 0 }, 2, 1, 3, 0);\n";
    struct Case {
        std::string text;
        uint32_t line;
        std::string reason;
    } cases[] = {
        {good +
             "scheduleManouver(10, 5, { 1, 0, 0 }, 2, 1, 3, 0)\nscheduleSetting(0, 1, false, { 0, 1, 0 }, 9, -1, 0);",
         3, "expected ';' after scheduleManouver(...), found \"scheduleSetting\""},
        {good + "\nlaunch(3);\n", 3, "unknown statement \"launch\""},
        {good + "scheduleManouver(10, -5, { 1, 0, 0 }, 2, 1, 3, 0);\n", 2, "the burn length -5 is negative"},
        {good + "scheduleManouver(10, 2.5, { 1, 0, 0 }, 2, 1, 3, 0);\n", 2, "must be a whole number of time steps"},
        {good + "scheduleManouver(10, 5, { 1, 0, 0 }, inf, 1, 3, 0);\n", 2, "the thrust is not a finite number"},
        {good + "scheduleManouver(10, 5, { nan, 0, 0 }, 1, 1, 3, 0);\n", 2, "not a finite number"},
        {good + "scheduleSetting(0, 1e999, false, { 0, 1, 0 }, 9, -1, 0);\n", 2, "out of the range of a double"},
        // Finite but beyond what the flight and the picture can hold.
        {good + "scheduleManouver(10, 5, { 1, 0, 0 }, 1e39, 1, 3, 0);\n", 2,
         "the thrust 1e39 is out of range [-10000, 10000]"},
        {good + "scheduleManouver(10, 5, { 1, 0, 0 }, 1, 1, 3, 1e39);\n", 2, "the rotation speed 1e39 is out of range"},
        {good + "scheduleManouver(10, 5, { 1e300, 0, 0 }, 1, 1, 3, 0);\n", 2, "(first value) 1e300 is out of range"},
        {good + "defaultCamDistance = 1e12;\n", 2, "defaultCamDistance 1e12 is out of range [0, 150000]"},
        {good + "scheduleSetting(0, 1, false, { 0, 1, 0 }, -9, -1, 0);\n", 2, "the camera distance -9 is out of range"},
        {good + "scheduleSetting(0, -1, false, { 0, 1, 0 }, 9, -1, 0);\n", 2, "the time factor -1 is out of range"},
        {good + "defaultTimeFactor = 1e9;\n", 2, "defaultTimeFactor 1e9 is out of range [0, 1e+08]"},
        {good + "speed = 1000;\n", 2, "speed 1000 is out of range [0, 100]"},
        {good + "scheduleManouver(18446744073709551616, 5, { 1, 0, 0 }, 1, 1, 3, 0);\n", 2, "is too large"},
        {good + "scheduleManouver(18446744073709551610, 6, { 1, 0, 0 }, 1, 1, 3, 0);\n", 2,
         "the burn ends past the last time step"},
        {good + "scheduleManouver(10, 5, { 1, 0, 0 }, 1, 2, 3, 0);\n", 2, "continuous must be 0, 1, true or false"},
        {"speed = 2;\n" + good + "speed = 3;\n", 3, "speed is given twice (first on line 1)"},
        {"uint64 startTimeStep = 0;\nstartData = {\n    system->computeObjectPos(craft, 5),\n};\n", 3,
         "in the startData block"},
        {good + "scheduleManouver(10, 5, { 1, 0, 0 }, 1, 1, 3, 0); @\n", 2, "unexpected character '@'"},
        {good + "speed = 1;\n" + std::string("\xff", 1), 3, "unexpected character byte 0xFF"},
        {good + std::string("\0", 1), 2, "unexpected character byte 0x00"},
        {good + "\n\nscheduleSetting(0, 1, false,", 4, "found the end of the text"},
    };
    for (const Case& c : cases) {
        MissionParse parse = parseMissionText(c.text, base);
        ASSERT_FALSE(parse.ok()) << c.text;
        EXPECT_EQ(parse.error.rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << parse.error;
        EXPECT_NE(parse.error.find(c.reason), std::string::npos) << parse.error;
        // Nothing of a refused text comes through.
        expectIdentical(parse.mission, base);
    }

    // Body indices are checked against the system: -1 or a body (29 in the solar system).
    struct BodyCase {
        std::string text;
        std::string reason;
    } bodies[] = {
        {good + good + "scheduleManouver(10, 5, { 1, 0, 0 }, 2, 1, 29, 0);\n", "line 3: unknown body index 29"},
        {"\nscheduleSetting(0, 1, false, { 0, 1, 0 }, 9, -2, 0);\n",
         "line 2: unknown body index -2 for the camera target"},
        {"scheduleSetting(0, 1, false, { 0, 1, 0 }, 9, 28, 40);\n", "line 1: unknown body index 40"},
    };
    for (const BodyCase& c : bodies) {
        MissionParse parse = parseMission(c.text, base, 29);
        EXPECT_EQ(parse.error.rfind(c.reason, 0), 0u) << parse.error;
        expectIdentical(parse.mission, base);
    }
    EXPECT_TRUE(parseMission(good + "scheduleSetting(0, 1, false, { 0, 1, 0 }, 9, -1, 28);\n", base, 29).ok());

    // More than 10000 entries of a kind.
    std::string many;
    for (int k = 0; k <= 10000; ++k)
        many += "scheduleSetting(" + std::to_string(k) + ", 1, false, { 0, 1, 0 }, 9, -1, 0);\n";
    MissionParse tooMany = parseMissionText(many, base);
    EXPECT_EQ(tooMany.error, "line 10001: more than 10000 timestep settings");
    many.resize(many.rfind("scheduleSetting"));
    EXPECT_TRUE(parseMissionText(many, base).ok());
}

TEST(MissionTextMalformed, PlanAndFilesStayUntouchedWhenRefused) {
    MissionPlan plan(nullptr); // no spacecraft: resets and applies change nothing else
    plan.autoApply = false;
    for (const Maneuver& m : builtInManeuvers())
        plan.maneuvers.push_back(m);
    plan.settings = builtInSettings();
    MissionData before = missionDataOf(plan);
    MissionFilePanel panel;

    pasteMission(plan, 29, "scheduleManouver(1, 2, { 1, 0, 0 }, 3, 1, 0, 0);\nscheduleManouver(1, 2);\n", panel);
    EXPECT_TRUE(panel.messageIsError);
    EXPECT_NE(panel.message.find("line 2: expected ','"), std::string::npos) << panel.message;
    expectIdentical(missionDataOf(plan), before);

    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("kestrune-mission-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::snprintf(panel.path, sizeof panel.path, "%s", dir.string().c_str());
    loadMissionFile(plan, 29, panel); // a directory
    EXPECT_NE(panel.message.find("is not a file"), std::string::npos) << panel.message;
    std::snprintf(panel.path, sizeof panel.path, "%s", (dir / "missing.txt").string().c_str());
    loadMissionFile(plan, 29, panel);
    EXPECT_NE(panel.message.find("does not exist"), std::string::npos) << panel.message;
    expectIdentical(missionDataOf(plan), before);

    // Saved and loaded through a file, with a start step: the plan takes the file's mission.
    std::snprintf(panel.path, sizeof panel.path, "%s", (dir / "saved.txt").string().c_str());
    MissionData other = before;
    other.maneuvers.resize(2);
    other.maneuvers[1].thrust = 1.0 / 3.0;
    other.speed = 7.25f;
    std::string error;
    ASSERT_TRUE(writeMissionFile(panel.path, missionFileText(other), error)) << error;
    loadMissionFile(plan, 29, panel);
    EXPECT_FALSE(panel.messageIsError) << panel.message;
    expectIdentical(missionDataOf(plan), other);
    saveMissionFile(plan, panel);
    std::string text;
    ASSERT_TRUE(readMissionFile(panel.path, text, error)) << error;
    EXPECT_EQ(text, missionFileText(other));
    fs::remove_all(dir);
}
