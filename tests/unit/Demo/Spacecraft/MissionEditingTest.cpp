// The mission editor's list rules: what New Last / Before / After and Remove make, where the selection goes,
// sorting, and from which step an edit changes the flight (applyFrom).
#include "Demo/Spacecraft/MissionEditing.h"
#include "Demo/Spacecraft/MissionPlan.h"

#include <gtest/gtest.h>

using namespace Demo;

TEST(MissionEditing, ManeuverListEntriesAndSelection) {
    std::vector<Maneuver> list;
    PlanEdit e = newLastManeuver(list);
    ASSERT_EQ(list.size(), 1u);
    const Maneuver& first = list[0];
    EXPECT_EQ(first.time, 0u);
    EXPECT_EQ(first.burn, 1000u);
    EXPECT_EQ(first.direction.x, 1.0);
    EXPECT_EQ(first.thrust, 0.0);
    EXPECT_FALSE(first.continuous);
    EXPECT_EQ(first.dominantObject, 0);
    EXPECT_EQ(first.rotationSpeed, 0.0f);
    EXPECT_TRUE(e.changed);
    EXPECT_EQ(e.from, 0u);
    list[0].time = 5000;
    newLastManeuver(list); // after the last entry: its time + burn
    EXPECT_EQ(list[1].time, 6000u);

    int32_t selected = 1;
    e = newManeuverBefore(list, selected);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(selected, 1); // the same index, now the new entry
    EXPECT_EQ(list[1].time, 5000u);
    EXPECT_EQ(list[1].burn, 500u);
    EXPECT_TRUE(list[1].continuous);
    EXPECT_EQ(list[1].rotationSpeed, 256.0f);
    EXPECT_EQ(e.from, 5000u);
    e = newManeuverAfter(list, selected);
    EXPECT_EQ(list[2].time, 5000u + 500u + 1000u);
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(e.from, 6500u);

    // Times saturate instead of wrapping.
    list[0].time = 300;
    selected = 0;
    newManeuverBefore(list, selected);
    EXPECT_EQ(list[0].time, 0u);
    list.back().time = UINT64_MAX - 10;
    selected = int32_t(list.size() - 1);
    newManeuverAfter(list, selected);
    EXPECT_EQ(list.back().time, UINT64_MAX);

    // Remove: the last entry moves the selection to the new last one; the only entry leaves none.
    selected = int32_t(list.size() - 1);
    e = removeManeuver(list, selected);
    EXPECT_EQ(selected, int32_t(list.size() - 1));
    EXPECT_EQ(e.from, UINT64_MAX);
    list.resize(1);
    selected = 0;
    removeManeuver(list, selected);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(selected, -1);
    EXPECT_FALSE(newManeuverBefore(list, selected).changed);
    EXPECT_FALSE(removeManeuver(list, selected).changed);
}

TEST(MissionEditing, SortKeepsTheSelectedBurnAndChangesFromTheFirstMoved) {
    std::vector<Maneuver> list = builtInManeuvers();
    std::swap(list[3], list[9]); // 15619 and 171960
    int32_t selected = 3;        // the burn at 171960
    PlanEdit e = sortManeuvers(list, selected);
    EXPECT_TRUE(e.changed);
    EXPECT_EQ(e.from, 15619u);
    EXPECT_EQ(list[size_t(selected)].time, 171960u);
    for (size_t k = 1; k < list.size(); ++k)
        EXPECT_LE(list[k - 1].time, list[k].time);
    e = sortManeuvers(list, selected);
    EXPECT_FALSE(e.changed); // already sorted
    EXPECT_EQ(e.from, NothingToApply);
}

TEST(MissionEditing, ApplyFromFollowsTheFlightNotTheRotationSpeedNorTheSettings) {
    MissionPlan plan(nullptr);
    plan.autoApply = false;
    plan.maneuvers = builtInManeuvers();
    plan.settings = builtInSettings();

    Maneuver edited = plan.maneuvers[4];
    edited.rotationSpeed = 99.0f;
    PlanEdit e = maneuverFieldEdit(plan.maneuvers[4], edited);
    EXPECT_FALSE(e.changed);
    finishPlanEdits(plan, e);
    EXPECT_EQ(plan.applyFrom, NothingToApply);

    // A settings-only change marks the plan changed but leaves applyFrom: applying resets the mission.
    int32_t selected = 2;
    e = newSettingAfter(plan.settings, selected);
    EXPECT_TRUE(e.changed);
    EXPECT_EQ(selected, 3);
    EXPECT_EQ(plan.settings[3].timestep, plan.settings[2].timestep + 1000);
    e += newSettingBefore(plan.settings, selected);
    EXPECT_EQ(selected, 3);
    e += removeSetting(plan.settings, selected);
    e += newLastSetting(plan.settings);
    EXPECT_EQ(plan.settings.back().timeFactor, 10000.0);
    EXPECT_EQ(plan.settings.back().targetObject, -1);
    finishPlanEdits(plan, e);
    EXPECT_EQ(plan.applyFrom, NothingToApply);

    // Thrust of the burn at 52610: from its time. Moving a burn later changes the flight from its old time.
    edited = plan.maneuvers[4];
    edited.thrust += 0.2;
    finishPlanEdits(plan, maneuverFieldEdit(plan.maneuvers[4], edited));
    EXPECT_EQ(plan.applyFrom, 52610u);
    edited = plan.maneuvers[2];
    edited.time = 20000;
    finishPlanEdits(plan, maneuverFieldEdit(plan.maneuvers[2], edited));
    EXPECT_EQ(plan.applyFrom, 13869u);
    // Apply clears it (without a spacecraft the reset does nothing else).
    plan.applyPlan();
    EXPECT_EQ(plan.applyFrom, NothingToApply);

    EXPECT_FLOAT_EQ(timeFactorField(2101590.0), 210.159f);
    EXPECT_DOUBLE_EQ(timeFactorFromField(2.0f), 20000.0);
}
