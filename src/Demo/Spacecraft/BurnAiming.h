#pragma once
// What the mission editor's "Aim" section asks of a burn-aiming solver and what it gets back, and the editor's
// rules for taking an answer and undoing it. The solver turns one burn (direction and thrust; its start and
// length stay) so that the craft meets a body, judging every candidate with the flight step the navigation flies;
// it works in the background, reports progress and can be cancelled. The editor holds it through this interface
// and without one shows the section with "Aim" disabled.
#include "Demo/Spacecraft/MissionText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Demo {

enum class AimKind : uint32_t {
    ArriveAtStep = 0,   // at `step` the craft is `distance` from the body
    PassAtDistance = 1, // the closest approach to the body after the burn is `distance`
};
inline constexpr const char* AimKindLabels[2] = {"Arrive at step", "Pass at distance"};

struct AimRequest {
    int32_t burn = -1; // index in the plan's manoeuvre list
    int32_t body = -1; // index in the system's body list
    AimKind kind = AimKind::PassAtDistance;
    double distance = 0.0; // world units from the body's centre
    uint64_t step = 0;     // ArriveAtStep only
};

struct AimOutcome {
    bool converged = false;
    bool cancelled = false;
    std::string message;                      // why it stopped short, naming the burn and the body
    Maneuver aimed;                           // the burn as aimed; only direction and thrust differ
    double missBefore = 0.0, missAfter = 0.0; // world units off the asked distance
};

class BurnAimer {
public:
    virtual ~BurnAimer() = default;
    // Starts aiming in the background on a copy of `mission`; false, with the reason in `error`, for a request it
    // refuses at once (a burn of zero length, a body or step out of range) or while one is running.
    virtual bool start(const MissionData& mission, const AimRequest& request, std::string& error) = 0;
    virtual float progress() const = 0; // [0, 1]
    virtual void cancel() = 0;
    // True once the running aim has ended (converged, failed or cancelled): `outcome` is filled, once.
    virtual bool finished(AimOutcome& outcome) = 0;
};

// The "Aim" section's state, kept by the window across frames.
struct AimPanel {
    AimRequest request;
    bool running = false;
    bool hasResult = false;
    AimOutcome outcome;
    double deltaVChange = 0.0; // world units per second, aimed minus before
    int32_t undoBurn = -1;     // the burn the last taken aim changed, -1 when there is nothing to undo
    Maneuver undo;             // that burn before the aim
    std::string message;       // the last refusal or failure
};

// Velocity change of a burn (world units per second) for steps of `timeStepLength` seconds.
double burnDeltaV(const Maneuver& m, double timeStepLength);

// Takes an ended aim into the list: a converged one replaces the burn's direction and thrust (its start, length
// and frame stay) and can be undone; otherwise the list is untouched and the panel keeps the message. The burn
// must still be the one asked for (same start and length): edits made meanwhile win. True when the list changed.
bool takeAim(std::vector<Maneuver>& list, AimPanel& panel, const AimOutcome& outcome, double timeStepLength);
// Gives the burn of the last taken aim back the direction and thrust it had before, while it keeps its start and
// length; true when the list changed. Either way there is nothing left to undo.
bool undoAim(std::vector<Maneuver>& list, AimPanel& panel);

} // namespace Demo
