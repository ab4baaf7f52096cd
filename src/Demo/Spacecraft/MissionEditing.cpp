#include "Demo/Spacecraft/MissionEditing.h"

#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/TransferCell.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

namespace Demo {

namespace {

constexpr uint64_t LastStep = std::numeric_limits<uint64_t>::max();

uint64_t addSaturated(uint64_t a, uint64_t b) {
    return b > LastStep - a ? LastStep : a + b;
}

uint64_t subtractSaturated(uint64_t a, uint64_t b) {
    return a > b ? a - b : 0;
}

// The record "New Before" and "New After" insert.
Maneuver insertedManeuver(uint64_t time) {
    return {time, 500, {1.0, 0.0, 0.0}, 0.0, true, 0, 256.0f};
}

bool validIndex(size_t size, int32_t index) {
    return index >= 0 && size_t(index) < size;
}

PlanEdit touches(uint64_t step) {
    return {true, step};
}

constexpr PlanEdit SettingsChanged{true, NothingToApply};

// The selection after the entry at `selected` was removed from a list now `size` long.
void selectAfterRemoval(int32_t& selected, size_t size) {
    if (size == 0)
        selected = -1;
    else if (size_t(selected) >= size)
        selected = int32_t(size - 1);
}

} // namespace

PlanEdit newLastManeuver(std::vector<Maneuver>& list) {
    uint64_t time = list.empty() ? 0 : addSaturated(list.back().time, list.back().burn);
    list.push_back({time, 1000, {1.0, 0.0, 0.0}, 0.0, false, 0, 0.0f});
    return touches(time);
}

PlanEdit newManeuverBefore(std::vector<Maneuver>& list, int32_t selected) {
    if (!validIndex(list.size(), selected))
        return {};
    uint64_t time = subtractSaturated(list[size_t(selected)].time, 1000);
    list.insert(list.begin() + selected, insertedManeuver(time));
    return touches(time);
}

PlanEdit newManeuverAfter(std::vector<Maneuver>& list, int32_t selected) {
    if (!validIndex(list.size(), selected))
        return {};
    const Maneuver& s = list[size_t(selected)];
    uint64_t time = addSaturated(addSaturated(s.time, s.burn), 1000);
    list.insert(list.begin() + selected + 1, insertedManeuver(time));
    return touches(time);
}

PlanEdit removeManeuver(std::vector<Maneuver>& list, int32_t& selected) {
    if (!validIndex(list.size(), selected))
        return {};
    uint64_t time = list[size_t(selected)].time;
    list.erase(list.begin() + selected);
    selectAfterRemoval(selected, list.size());
    return touches(time);
}

PlanEdit sortManeuvers(std::vector<Maneuver>& list, int32_t& selected) {
    std::vector<size_t> order(list.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return list[a].time < list[b].time; });
    PlanEdit edit;
    std::vector<Maneuver> sorted;
    sorted.reserve(list.size());
    int32_t newSelection = selected;
    for (size_t k = 0; k < order.size(); ++k) {
        sorted.push_back(list[order[k]]);
        if (order[k] != k)
            edit += touches(list[order[k]].time);
        if (int32_t(order[k]) == selected)
            newSelection = int32_t(k);
    }
    list.swap(sorted);
    selected = newSelection;
    return edit;
}

PlanEdit maneuverFieldEdit(const Maneuver& before, const Maneuver& after) {
    bool flightChanged = before.time != after.time || before.burn != after.burn ||
                         before.direction.x != after.direction.x || before.direction.y != after.direction.y ||
                         before.direction.z != after.direction.z || before.thrust != after.thrust ||
                         before.continuous != after.continuous || before.dominantObject != after.dominantObject;
    if (!flightChanged)
        return {};
    return touches(std::min(before.time, after.time));
}

PlanEdit newLastSetting(std::vector<TimestepSetting>& list) {
    TimestepSetting s;
    s.timestep = 0;
    s.timeFactor = 10000.0;
    s.camDir = {0.0, 1.0, 0.0};
    s.camDistance = 200.0;
    s.targetObject = -1;
    s.dominantObject = 0;
    list.push_back(s);
    return SettingsChanged;
}

PlanEdit newSettingBefore(std::vector<TimestepSetting>& list, int32_t selected) {
    if (!validIndex(list.size(), selected))
        return {};
    TimestepSetting copy = list[size_t(selected)];
    list.insert(list.begin() + selected, copy);
    return SettingsChanged;
}

PlanEdit newSettingAfter(std::vector<TimestepSetting>& list, int32_t& selected) {
    if (!validIndex(list.size(), selected))
        return {};
    TimestepSetting copy = list[size_t(selected)];
    copy.timestep = addSaturated(copy.timestep, 1000);
    list.insert(list.begin() + selected + 1, copy);
    ++selected;
    return SettingsChanged;
}

PlanEdit removeSetting(std::vector<TimestepSetting>& list, int32_t& selected) {
    if (!validIndex(list.size(), selected))
        return {};
    list.erase(list.begin() + selected);
    selectAfterRemoval(selected, list.size());
    return SettingsChanged;
}

namespace {

bool sameBurn(const Maneuver& a, const Maneuver& b) {
    return a.time == b.time && a.burn == b.burn && a.direction.x == b.direction.x && a.direction.y == b.direction.y &&
           a.direction.z == b.direction.z && a.thrust == b.thrust && a.continuous == b.continuous &&
           a.dominantObject == b.dominantObject && a.rotationSpeed == b.rotationSpeed;
}

} // namespace

PlanEdit takeTransfer(std::vector<Maneuver>& list, TransferPanel& panel, size_t bodyCount, uint64_t startTimeStep,
                      double timeStepLength, int32_t& selected) {
    const TransferText t = readTransferText(panel.text, panel.from, bodyCount, startTimeStep);
    if (!t.ok()) {
        panel.message = "Not taken: " + t.error + ".";
        panel.messageIsError = true;
        return {};
    }
    const Maneuver& b = t.burn;
    size_t later = 0;
    for (const Maneuver& m : list)
        later += m.end() > b.time;
    const size_t index = insertByTime(list, b);
    selected = int32_t(index);
    panel.taken = b;
    panel.canUndo = true;
    char what[160];
    if (t.fromMission)
        std::snprintf(what, sizeof what, "Burn at step %llu (delta-v %.3g) from the mission text's departure burn",
                      (unsigned long long)b.time, std::abs(b.thrust) * 1e-7 * timeStepLength);
    else
        std::snprintf(what, sizeof what,
                      "Burn at step %llu from the transfer departing %llu, arriving %llu, delta-v %.3g",
                      (unsigned long long)b.time, (unsigned long long)b.time, (unsigned long long)t.arrive, t.deltaV);
    panel.message = std::string(what) + ": inserted in time order as burn " + std::to_string(index + 1) + " of " +
                    std::to_string(list.size()) + ".";
    if (later > 0)
        panel.message.append(" ")
            .append(std::to_string(later))
            .append(later == 1 ? " burn" : " burns")
            .append(" of the plan end after its start; the transfer was computed without them.");
    panel.messageIsError = false;
    return touches(b.time);
}

PlanEdit undoTransfer(std::vector<Maneuver>& list, TransferPanel& panel, int32_t& selected) {
    if (!panel.canUndo)
        return {};
    panel.canUndo = false;
    auto at = std::find_if(list.begin(), list.end(), [&](const Maneuver& m) { return sameBurn(m, panel.taken); });
    if (at == list.end()) {
        panel.message = "The taken burn was edited or removed since; nothing to undo.";
        panel.messageIsError = true;
        return {};
    }
    const int32_t index = int32_t(at - list.begin());
    list.erase(at);
    if (selected == index)
        selected = -1;
    else if (selected > index)
        --selected;
    panel.message = "Transfer burn at step " + std::to_string(panel.taken.time) + " removed again.";
    panel.messageIsError = false;
    return touches(panel.taken.time);
}

void finishPlanEdits(MissionPlan& plan, const PlanEdit& edits) {
    if (edits.from < plan.applyFrom)
        plan.applyFrom = edits.from;
    if (edits.changed && plan.autoApply)
        plan.applyPlan();
}

MissionData missionDataOf(const MissionPlan& plan) {
    MissionData m;
    m.startTimeStep = plan.startTimeStep;
    m.maneuvers = plan.maneuvers;
    m.settings = plan.settings;
    m.defaultTimeFactor = plan.defaultTimeFactor;
    m.defaultCamDir = plan.defaultCamDir;
    m.defaultCamDistance = plan.defaultCamDistance;
    m.speed = plan.speed;
    return m;
}

void replaceMission(MissionPlan& plan, const MissionData& mission) {
    PlanEdit edit{true, NothingToApply};
    for (const Maneuver& b : plan.maneuvers)
        edit += touches(b.time);
    for (const Maneuver& b : mission.maneuvers)
        edit += touches(b.time);
    plan.maneuvers = mission.maneuvers;
    plan.settings = mission.settings;
    plan.defaultTimeFactor = mission.defaultTimeFactor;
    plan.defaultCamDir = mission.defaultCamDir;
    plan.defaultCamDistance = mission.defaultCamDistance;
    plan.speed = mission.speed;
    if (mission.startTimeStep != plan.startTimeStep) {
        plan.chooseStartTimeStep(mission.startTimeStep);
        plan.applyFrom = NothingToApply;
        return;
    }
    finishPlanEdits(plan, edit);
}

} // namespace Demo
