#include "Plan/BackgroundAimer.h"

namespace Plan {

BackgroundAimer::BackgroundAimer(std::function<Ephemeris()> snapshot_, unsigned threads_)
    : snapshot(std::move(snapshot_)), threads(threads_) {}

BackgroundAimer::~BackgroundAimer() {
    cancel();
    if (worker.joinable())
        worker.join();
}

bool aimTargetOf(const Demo::AimRequest& request, const Demo::MissionData& mission, size_t bodyCount,
                 int32_t craftIndex, AimTarget& target, std::string& error) {
    if (request.burn < 0 || size_t(request.burn) >= mission.maneuvers.size()) {
        error = "there is no burn " + std::to_string(request.burn + 1) + " to aim";
        return false;
    }
    const Demo::Maneuver& burn = mission.maneuvers[size_t(request.burn)];
    if (burn.burn == 0) {
        error = "burn " + std::to_string(request.burn + 1) +
                " has a length of 0 steps: its thrust cannot change the flight";
        return false;
    }
    if (request.body < 0 || size_t(request.body) >= bodyCount || request.body == craftIndex) {
        error = "choose a body to aim at";
        return false;
    }
    if (!(request.distance > 0.0)) {
        error = "the distance to aim at must be a positive number of world units";
        return false;
    }
    if (request.kind == Demo::AimKind::ArriveAtStep && request.step <= burn.end()) {
        error = "the arrival step must come after the burn's end (step " + std::to_string(burn.end()) + ")";
        return false;
    }
    target.kind = request.kind == Demo::AimKind::ArriveAtStep ? AimKind::Arrive : AimKind::Pass;
    target.body = request.body;
    target.distance = request.distance;
    target.step = request.kind == Demo::AimKind::ArriveAtStep ? request.step : 0;
    return true;
}

bool BackgroundAimer::start(const Demo::MissionData& mission, const Demo::AimRequest& request, std::string& error) {
    if (running.load()) {
        error = "an aim is already running";
        return false;
    }
    if (worker.joinable())
        worker.join();
    Ephemeris eph = snapshot();
    AimTarget target;
    if (!aimTargetOf(request, mission, eph.bodies.size(), eph.craftIndex, target, error))
        return false;
    cancelFlag.store(false);
    done.store(false);
    progressValue.store(0.0f);
    running.store(true);
    worker = std::thread([this, eph = std::move(eph), mission, target, burn = size_t(request.burn)]() mutable {
        AimOptions options;
        options.threads = threads;
        options.cancel = &cancelFlag;
        const int iterations = options.maxIterations;
        options.progress = [this, iterations](int iteration, double) {
            progressValue.store(std::min(1.0f, float(iteration) / float(iterations)), std::memory_order_relaxed);
        };
        Demo::AimOutcome outcome;
        try {
            AimResult r = aimBurn(eph, mission, burn, target, options);
            outcome.converged = r.ok;
            outcome.cancelled = !r.ok && cancelFlag.load();
            outcome.message = r.message;
            outcome.aimed = r.ok ? r.burn : mission.maneuvers[burn];
            outcome.missBefore = r.missBefore;
            outcome.missAfter = r.missAfter;
        } catch (const std::exception& e) {
            outcome.message = std::string("aiming failed: ") + e.what();
        }
        result = std::move(outcome);
        progressValue.store(1.0f);
        done.store(true, std::memory_order_release);
    });
    return true;
}

bool BackgroundAimer::finished(Demo::AimOutcome& outcome) {
    if (!running.load() || !done.load(std::memory_order_acquire))
        return false;
    worker.join();
    outcome = std::move(result);
    running.store(false);
    return true;
}

} // namespace Plan
