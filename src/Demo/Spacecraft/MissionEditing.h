#pragma once
// The rules of the mission editor as plain functions over the plan's lists: the entries "New Last", "New
// Before", "New After" and "Remove" make, where the selection goes, and from which time step an edit changes the
// flight (the plan's `applyFrom`). Also the whole-plan operations of the mission files: taking the plan as
// mission data and replacing it by a loaded one.
#include "Demo/Spacecraft/MissionText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Demo {

class MissionPlan;

// What one edit did to the plan: whether it changed it, and the earliest time step whose flight it changes
// (NothingToApply when it moves no burn: the timestep settings, "Rotation speed").
struct PlanEdit {
    bool changed = false;
    uint64_t from = NothingToApply;

    PlanEdit& operator+=(const PlanEdit& other) {
        changed = changed || other.changed;
        from = from < other.from ? from : other.from;
        return *this;
    }
};

// Manoeuvre list. Times saturate at 0 and at the last time step instead of wrapping.
// Appends {time = last entry's time + burn (0 for an empty list), burn 1000, direction (1, 0, 0), thrust 0,
// fixed frame, body 0, rotation speed 0}.
PlanEdit newLastManeuver(std::vector<Maneuver>& list);
// Inserts {time = selected time − 1000, burn 500, (1, 0, 0), thrust 0, continuous, body 0, rotation speed 256}
// before the selected entry; the selection keeps its index (now the new entry).
PlanEdit newManeuverBefore(std::vector<Maneuver>& list, int32_t selected);
// Inserts the same record at selected time + burn + 1000 after the selected entry; the selection stays.
PlanEdit newManeuverAfter(std::vector<Maneuver>& list, int32_t selected);
// Removes the selected entry; a selection past the end moves to the new last entry (-1 for an empty list).
PlanEdit removeManeuver(std::vector<Maneuver>& list, int32_t& selected);
// Sorts by time (equal times keep their order) and keeps the selected manoeuvre selected. The flight changes
// from the earliest entry that moved (the first active burn wins where burns overlap).
PlanEdit sortManeuvers(std::vector<Maneuver>& list, int32_t& selected);
// A field edit of one manoeuvre: every field but the rotation speed changes the flight, from the earlier of the
// burn's time before and after the edit (a burn moved later no longer flies at its old time).
PlanEdit maneuverFieldEdit(const Maneuver& before, const Maneuver& after);

// Timestep-setting list; every change marks the plan as changed without touching `applyFrom`.
// Appends {timestep 0, time factor 10000, camera direction (0, 1, 0), distance 200, target -1, body 0}.
PlanEdit newLastSetting(std::vector<TimestepSetting>& list);
// Inserts a copy of the selected setting before it; the selection keeps its index (now the copy).
PlanEdit newSettingBefore(std::vector<TimestepSetting>& list, int32_t selected);
// Inserts a copy 1000 steps later after the selected setting and selects the copy.
PlanEdit newSettingAfter(std::vector<TimestepSetting>& list, int32_t& selected);
PlanEdit removeSetting(std::vector<TimestepSetting>& list, int32_t& selected);

// The "Take a transfer" section: a porkchop cell pasted as text (see TransferCell.h), its burn put into the plan.
struct TransferPanel {
    std::string text;
    int32_t from = -1; // the body a CSV line's transfer departs from; preset to the craft's dominant body
    std::string message;
    bool messageIsError = false;
    bool canUndo = false;
    Maneuver taken; // the burn the last take inserted
};
// Reads the panel's text and inserts its burn in time order (after the burns starting at the same step), selects
// it and says in the message what was taken, where it went and how many burns of the plan end after its start
// (the planner computed the transfer without them). A refused text leaves the list as it was.
PlanEdit takeTransfer(std::vector<Maneuver>& list, TransferPanel& panel, size_t bodyCount, uint64_t startTimeStep,
                      double timeStepLength, int32_t& selected);
// Removes the burn the last take inserted while it is in the list unchanged (edits made meanwhile win).
PlanEdit undoTransfer(std::vector<Maneuver>& list, TransferPanel& panel, int32_t& selected);

// The "Timefac##ts" field shows the time factor in units of 10000.
inline float timeFactorField(double timeFactor) {
    return float(timeFactor * 0.0001);
}
inline double timeFactorFromField(float field) {
    return double(field) * 10000.0;
}

// The end of the editor's frame: the edits' earliest step lowers `applyFrom`; with "Auto apply" on, a changed
// plan is applied at once.
void finishPlanEdits(MissionPlan& plan, const PlanEdit& edits);

MissionData missionDataOf(const MissionPlan& plan);
// Replaces the plan by a loaded mission, then makes it take effect as an edit would: a new start step restarts
// the mission there; otherwise the flight changes from the earliest burn of the old or the new list and, with
// "Auto apply" on, the plan is applied (the whole plan is pending until "Apply plan" otherwise).
void replaceMission(MissionPlan& plan, const MissionData& mission);

} // namespace Demo
