#pragma once
// How far ahead the spacecraft's prediction reaches, shown in the navigation panel and as a line at the bottom of
// the screen while the user interface is visible: the predicted time steps past the current one and the simulated
// days they span, whether the worker waits for the body cache, and (in amber) whether it is still rebuilding
// after a restart.
#include <cstdint>
#include <string>

namespace Demo {

class Spacecraft;

struct HorizonInput {
    uint64_t head = 0;       // first time step not yet predicted
    uint64_t now = 0;        // the system's time step
    uint64_t cachedUpTo = 0; // first time step the body cache has not computed
    uint64_t readStep = 0;   // the craft's step as the worker sees it
    uint64_t ringSize = 0;   // states per ring
    double timeStepLength = 100.0;
    bool restartPending = false;
    uint64_t restartStep = 0;       // start step of the last restart
    uint64_t headBeforeRestart = 0; // how far the prediction reached when it was restarted
    uint64_t cacheReach = 0;        // time steps past the current one the body cache runs at most
};

struct PredictionHorizon {
    int64_t steps = 0; // head − now; 0 or less: nothing predicted ahead
    double days = 0.0; // simulated days of those steps
    bool waitingOnCache = false;
    bool restarting = false;
};

// The worker waits on the cache while it is within its look-ahead margin of the cache's end and the cache (not
// the ring) is the nearer limit. It is restarting from a restart request until it again reaches as far as before
// the restart, or as far as the ring and the cache allow.
PredictionHorizon predictionHorizon(const HorizonInput& in);
// "Prediction: 245760 steps ahead (284.4 days)", with ", waiting on the body cache" and ", restarting" when they
// apply; "Prediction: nothing ahead" without steps.
std::string describeHorizon(const PredictionHorizon& horizon);

// The craft's prediction as it stands (takes the worker's restart lock briefly).
HorizonInput horizonInputOf(Spacecraft& craft);
// The line at the bottom centre of the screen; nothing outside a UI frame.
void drawHorizonOverlay(Spacecraft& craft);
// The text line in the current window, amber while restarting.
void horizonText(const PredictionHorizon& horizon);

} // namespace Demo
