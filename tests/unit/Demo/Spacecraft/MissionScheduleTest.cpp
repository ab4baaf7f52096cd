// The demo schedule's interpolation and the Apply plan decision.
#include "Demo/Spacecraft/MissionSchedule.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Demo;

namespace {

TimestepSetting setting(uint64_t timestep, double timeFactor, double distance, int32_t dominant = 0,
                        int32_t target = -1) {
    TimestepSetting s;
    s.timestep = timestep;
    s.timeFactor = timeFactor;
    s.camDir = {0.0, 0.0, distance / 10.0};
    s.camDistance = distance;
    s.dominantObject = dominant;
    s.targetObject = target;
    return s;
}

} // namespace

TEST(DemoSchedule, InterpolatesWithACosineEaseAndTheNextSettingsBodies) {
    std::vector<TimestepSetting> s = {setting(1000, 100.0, 10.0, 3, 28), setting(2000, 300.0, 30.0, 9, 5)};
    const float speed = 1.1f;
    DemoValues mid = interpolateSchedule(s, 1500, speed, {});
    EXPECT_NEAR(mid.timeFactor, 200.0 * double(speed), 1e-3);
    EXPECT_NEAR(mid.camDistance, 20.0, 1e-5);
    EXPECT_NEAR(mid.camDir.z, 2.0, 1e-6);
    EXPECT_EQ(mid.dominantObject, 9); // the next setting's bodies
    EXPECT_EQ(mid.targetObject, 5);
    DemoValues quarter = interpolateSchedule(s, 1250, speed, {});
    double w = (1.0 - std::cos(3.14159265358979 * 0.25)) / 2.0;
    EXPECT_NEAR(quarter.camDistance, 10.0 + 20.0 * w, 1e-5);
    // At a setting's own step it is prev, with the ease at 0: its values times speed.
    DemoValues at = interpolateSchedule(s, 1000, speed, {});
    EXPECT_NEAR(at.timeFactor, 100.0 * double(speed), 1e-9);
}

TEST(DemoSchedule, HoldsBeforeTheFirstAndAfterTheLastSettingWithoutSpeed) {
    std::vector<TimestepSetting> s = {setting(1000, 100.0, 10.0, 3, 28), setting(2000, 300.0, 30.0, 9, 5)};
    DemoValues before = interpolateSchedule(s, 10, 1.1f, {});
    EXPECT_EQ(before.timeFactor, 100.0);
    EXPECT_EQ(before.camDistance, 10.0);
    EXPECT_EQ(before.dominantObject, 3);
    DemoValues after = interpolateSchedule(s, 5000, 1.1f, {});
    EXPECT_EQ(after.timeFactor, 300.0);
    EXPECT_EQ(after.targetObject, 5);
    DemoDefaults defaults;
    DemoValues none = interpolateSchedule({}, 5000, 1.1f, defaults);
    EXPECT_EQ(none.timeFactor, 10000.0);
    EXPECT_EQ(none.camDir, Vec3d(0.0, 1.0, 0.0));
    EXPECT_EQ(none.camDistance, 200.0);
    EXPECT_EQ(none.dominantObject, 0);
    EXPECT_EQ(none.targetObject, -1);
}

TEST(DemoSchedule, EqualStepsPreferTheEarlierEntry) {
    std::vector<TimestepSetting> s = {setting(1000, 1.0, 1.0), setting(1000, 2.0, 2.0), setting(3000, 5.0, 5.0),
                                      setting(3000, 6.0, 6.0)};
    SchedulePair p = findSchedulePair(s, 2000);
    EXPECT_EQ(p.previous, 0);
    EXPECT_EQ(p.next, 2);
}

// Rows 13 and 14 of the built-in settings are out of time order: between 17210 and 24160 the demo goes from
// row 12 towards row 14, and from 24160 to 26070 from row 14 towards row 13.
TEST(DemoSchedule, BuiltInRowsOutOfOrderAreInterpolatedByTime) {
    std::vector<TimestepSetting> s = builtInSettings();
    ASSERT_EQ(s.size(), 67u);
    ASSERT_EQ(builtInManeuvers().size(), 16u);
    EXPECT_GT(s[12].timestep, s[13].timestep); // as the mission was written
    SchedulePair early = findSchedulePair(s, 20000);
    EXPECT_EQ(early.previous, 11);
    EXPECT_EQ(early.next, 13);
    SchedulePair late = findSchedulePair(s, 25000);
    EXPECT_EQ(late.previous, 13);
    EXPECT_EQ(late.next, 12);
    // The spacecraft's attitude turns towards the next setting's body before the camera arrives: Mars from 17210.
    EXPECT_EQ(interpolateSchedule(s, 17300, 1.1f, {}).dominantObject, 4);
    // The demo ends holding the last setting: time stands still.
    EXPECT_EQ(interpolateSchedule(s, 600000, 1.1f, {}).timeFactor, 0.0);
}

TEST(DemoSchedule, ApplyPlanRestartsInsideThePredictionOtherwiseResets) {
    // Edit at 5000: the state at 4488 is predicted (head 100000) and not behind the current step 3000.
    ApplyDecision inside = decideApplyPlan(5000, 100000, 0, 3000);
    EXPECT_TRUE(inside.restart);
    EXPECT_EQ(inside.stateStep, 4488u);
    // Behind the current step, beyond the head, before the first valid state: reset.
    EXPECT_FALSE(decideApplyPlan(3200, 100000, 0, 3000).restart);
    EXPECT_FALSE(decideApplyPlan(100600, 100000, 0, 3000).restart);
    EXPECT_FALSE(decideApplyPlan(5000, 100000, 4600, 3000).restart);
    // An edit in the first 512 steps starts from step 0; nothing pending resets.
    ApplyDecision early = decideApplyPlan(100, 100000, 0, 0);
    EXPECT_TRUE(early.restart);
    EXPECT_EQ(early.stateStep, 0u);
    EXPECT_FALSE(decideApplyPlan(NothingToApply, 100000, 0, 0).restart);
}
