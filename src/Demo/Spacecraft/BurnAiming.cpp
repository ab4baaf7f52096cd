#include "Demo/Spacecraft/BurnAiming.h"

namespace Demo {

double burnDeltaV(const Maneuver& m, double timeStepLength) {
    return m.thrust * 1e-7 * timeStepLength;
}

namespace {

bool sameSlot(const Maneuver& a, const Maneuver& b) {
    return a.time == b.time && a.burn == b.burn;
}

bool inList(const std::vector<Maneuver>& list, int32_t index) {
    return index >= 0 && size_t(index) < list.size();
}

} // namespace

bool takeAim(std::vector<Maneuver>& list, AimPanel& panel, const AimOutcome& outcome, double timeStepLength) {
    panel.running = false;
    panel.hasResult = true;
    panel.outcome = outcome;
    panel.deltaVChange = 0.0;
    const int32_t burn = panel.request.burn;
    if (!outcome.converged) {
        panel.message = outcome.cancelled ? "Aim cancelled; the burn is unchanged." : outcome.message;
        return false;
    }
    if (!inList(list, burn) || !sameSlot(list[size_t(burn)], outcome.aimed)) {
        panel.message = "The burn was edited while it was aimed; the aim was not taken.";
        panel.hasResult = false;
        return false;
    }
    Maneuver& m = list[size_t(burn)];
    panel.undo = m;
    panel.undoBurn = burn;
    panel.deltaVChange = burnDeltaV(outcome.aimed, timeStepLength) - burnDeltaV(m, timeStepLength);
    m.direction = outcome.aimed.direction;
    m.thrust = outcome.aimed.thrust;
    panel.message.clear();
    return true;
}

bool undoAim(std::vector<Maneuver>& list, AimPanel& panel) {
    const int32_t burn = panel.undoBurn;
    panel.undoBurn = -1;
    if (!inList(list, burn) || !sameSlot(list[size_t(burn)], panel.undo))
        return false;
    Maneuver& m = list[size_t(burn)];
    m.direction = panel.undo.direction;
    m.thrust = panel.undo.thrust;
    panel.hasResult = false;
    return true;
}

} // namespace Demo
