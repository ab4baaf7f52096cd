// Taking an aimed burn into the plan and undoing it: only a converged aim of the burn as it was asked for
// changes the list, and only its direction and thrust.
#include "Demo/Spacecraft/BurnAiming.h"

#include <gtest/gtest.h>

using namespace Demo;

namespace {

Maneuver burnAt(uint64_t time, double thrust) {
    Maneuver m;
    m.time = time;
    m.burn = 500;
    m.direction = {1.0, 0.0, 0.0};
    m.thrust = thrust;
    m.dominantObject = 3;
    return m;
}

} // namespace

TEST(BurnAiming, OnlyAConvergedAimOfTheAskedBurnIsTakenAndUndone) {
    struct Case {
        const char* name;
        bool converged, cancelled;
        uint64_t aimedTime; // the aimed burn's start: another than 4000 means the burn was edited meanwhile
        bool taken;
        const char* message;
        bool movedBeforeUndo = false; // a burn moved after its aim was taken is not undone
    };
    const Case cases[] = {
        {"converged", true, false, 4000, true, ""},
        {"converged, then moved", true, false, 4000, true, "", true},
        {"failed", false, false, 4000, false, "burn 2: no convergence towards Mars"},
        {"cancelled", false, true, 4000, false, "Aim cancelled; the burn is unchanged."},
        {"edited meanwhile", true, false, 4100, false,
         "The burn was edited while it was aimed; the aim was not taken."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Maneuver> list = {burnAt(1000, 10.0), burnAt(4000, 30.0)};
        const std::vector<Maneuver> original = list;
        AimPanel panel;
        panel.request.burn = 1;
        panel.running = true;
        AimOutcome outcome;
        outcome.converged = c.converged;
        outcome.cancelled = c.cancelled;
        outcome.message = c.converged || c.cancelled ? "" : c.message;
        outcome.aimed = burnAt(c.aimedTime, 42.0);
        outcome.aimed.direction = {0.0, 0.6, 0.8};
        outcome.aimed.dominantObject = 7; // not the solver's to change

        EXPECT_EQ(takeAim(list, panel, outcome, 100.0), c.taken);
        EXPECT_FALSE(panel.running);
        EXPECT_EQ(panel.message, c.message);
        if (!c.taken) {
            EXPECT_EQ(list[1].thrust, 30.0);
            EXPECT_EQ(panel.undoBurn, -1);
            EXPECT_FALSE(undoAim(list, panel));
            continue;
        }
        EXPECT_EQ(list[1].thrust, 42.0);
        EXPECT_EQ(list[1].direction, outcome.aimed.direction);
        EXPECT_EQ(list[1].time, 4000u);
        EXPECT_EQ(list[1].dominantObject, 3);
        EXPECT_NEAR(panel.deltaVChange, 12.0 * 1e-7 * 100.0, 1e-15);
        if (c.movedBeforeUndo) {
            list[1].time = 4200;
            EXPECT_FALSE(undoAim(list, panel));
            EXPECT_EQ(list[1].thrust, 42.0);
            continue;
        }
        EXPECT_TRUE(undoAim(list, panel));
        EXPECT_EQ(list[1].thrust, original[1].thrust);
        EXPECT_EQ(list[1].direction, original[1].direction);
        EXPECT_FALSE(undoAim(list, panel)); // once
    }
}
