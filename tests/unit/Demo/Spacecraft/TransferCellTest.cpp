// A porkchop cell pasted into the mission editor: the texts it reads and refuses, and the take into the plan
// with its undo.
#include "Demo/Spacecraft/TransferCell.h"
#include "Demo/Spacecraft/MissionEditing.h"

#include <gtest/gtest.h>

using namespace Demo;

namespace {

const std::string Line = "1000,1700,0.0013490985647043848,0.0017844484787334872,1.681345754533936e-05,yes,175,"
                         "0.5117019968251572,-0.30476601357903244,-0.8032924395338796,134.90985647043848";

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    return s.replace(s.find(from), from.size(), to);
}

} // namespace

TEST(TransferCell, ReadsACellLineOrItsMissionAndRefusesMalformedTextNamingWhy) {
    const std::string mission = "uint64 startTimeStep = 0;\n"
                                "scheduleManouver(200, 50, { 1, 0, 0 }, 3, 1, 3, 0);\n"
                                "scheduleManouver(1000, 175, { 0.51170199682515716, -0.30476601357903244, "
                                "-0.80329243953387963 }, 134.90985647043848, 1, 4, 0);\n";
    struct Case {
        const char* name;
        std::string text;
        int32_t from;
        uint64_t start;
        const char* error; // empty: read
    };
    const Case cases[] = {
        {"line", Line, 3, 0, ""},
        {"header and line, CRLF", std::string(PorkchopCsvHeader) + "\r\n" + Line + "\r\n\r\n", 3, 1000, ""},
        {"mission names its body", mission, -1, 0, ""},
        {"empty", " \n", 3, 0, "no porkchop line"},
        {"two lines", Line + "\n" + Line, 3, 0, "2 lines"},
        {"columns", "1000,1700,0.1,0.2", 3, 0, "11 columns expected, got 4"},
        {"not a number", replaced(Line, "134.90985647043848", "fast"), 3, 0, "thrust \"fast\" is not a number"},
        {"fractional step", replaced(Line, "yes,175,", "yes,17.5,"), 3, 0, "burn_length \"17.5\" is not a whole"},
        {"converged", replaced(Line, "yes", "maybe"), 3, 0, "neither yes nor no"},
        {"unconverged", replaced(Line, "yes", "no"), 3, 0, "did not converge"},
        {"thrust range", replaced(Line, "134.90985647043848", "2e4"), 3, 0, "thrust 20000 is out of range"},
        {"weight range", replaced(Line, "0.5117019968251572", "nan"), 3, 0, "prograde weight nan is out of range"},
        {"no length", replaced(Line, "yes,175,", "yes,0,"), 3, 0, "no length"},
        {"ends past the last step", replaced(Line, "1000,", "18446744073709551615,"), 3, 0, "past the last"},
        {"before the start", Line, 3, 1001, "before the plan's start step 1001"},
        {"no body", Line, -1, 0, "choose the body"},
        {"body past the system", Line, 30, 0, "choose the body"},
        {"mission body", replaced(mission, "1, 4, 0", "1, 31, 0"), 3, 0, "mission text, line 3:"},
        {"mission without burns", "uint64 startTimeStep = 5;", 3, 0, "has no burn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TransferText t = readTransferText(c.text, c.from, 30, c.start);
        if (*c.error) {
            EXPECT_NE(t.error.find(c.error), std::string::npos) << t.error;
            continue;
        }
        ASSERT_TRUE(t.ok()) << t.error;
        EXPECT_EQ(t.burn.time, 1000u);
        EXPECT_EQ(t.burn.burn, 175u);
        EXPECT_EQ(t.burn.thrust, 134.90985647043848);
        EXPECT_EQ(t.burn.direction.y, -0.30476601357903244);
        EXPECT_TRUE(t.burn.continuous);
        EXPECT_EQ(t.burn.dominantObject, t.fromMission ? 4 : 3);
        EXPECT_EQ(t.arrive, t.fromMission ? 0u : 1700u);
    }
}

TEST(TransferCell, TakeInsertsInTimeOrderSaysWhatFollowsAndUndoes) {
    const std::vector<Maneuver> plan = {departureBurn(500, 1000, {1, 0, 0}, 5, 3),
                                        departureBurn(3000, 10, {1, 0, 0}, 5, 3)};
    std::vector<Maneuver> list = plan;
    TransferPanel panel;
    panel.from = 3;
    int32_t selected = 0;
    panel.text = "1000,1700";
    PlanEdit e = takeTransfer(list, panel, 30, 0, 60.0, selected);
    EXPECT_FALSE(e.changed);
    EXPECT_TRUE(panel.messageIsError);
    EXPECT_EQ(list.size(), 2u);

    panel.text = Line;
    e = takeTransfer(list, panel, 30, 0, 60.0, selected);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1].time, 1000u);
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(e.from, 1000u);
    EXPECT_FALSE(panel.messageIsError);
    for (const char* part : {"Burn at step 1000 from the transfer departing 1000, arriving 1700, delta-v 0.00135",
                             "burn 2 of 3", "2 burns of the plan end after its start"})
        EXPECT_NE(panel.message.find(part), std::string::npos) << panel.message;

    // Undo removes the taken burn only while it is unchanged.
    std::vector<Maneuver> edited = list;
    edited[1].thrust = 1.0;
    TransferPanel again = panel;
    EXPECT_FALSE(undoTransfer(edited, again, selected).changed);
    EXPECT_EQ(edited.size(), 3u);
    e = undoTransfer(list, panel, selected);
    EXPECT_EQ(e.from, 1000u);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].time, plan[1].time);
    EXPECT_EQ(selected, -1);
    EXPECT_FALSE(undoTransfer(list, panel, selected).changed);
}
