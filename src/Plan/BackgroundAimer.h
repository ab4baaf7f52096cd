#pragma once
// The mission editor's solver: aims one burn on a worker thread over a snapshot of the system taken when the
// aim starts, so edits made meanwhile neither race with it nor change what it flies.
#include "Demo/Spacecraft/BurnAiming.h"
#include "Plan/Aim.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace Plan {

class BackgroundAimer : public Demo::BurnAimer {
public:
    // `snapshot` builds the system as it stands (called on the thread that starts an aim).
    explicit BackgroundAimer(std::function<Ephemeris()> snapshot, unsigned threads = 2);
    ~BackgroundAimer() override;

    bool start(const Demo::MissionData& mission, const Demo::AimRequest& request, std::string& error) override;
    float progress() const override { return progressValue.load(std::memory_order_relaxed); }
    void cancel() override { cancelFlag.store(true, std::memory_order_relaxed); }
    bool finished(Demo::AimOutcome& outcome) override;

private:
    std::function<Ephemeris()> snapshot;
    unsigned threads;
    std::thread worker;
    std::atomic<bool> running{false}, done{false}, cancelFlag{false};
    std::atomic<float> progressValue{0.0f};
    Demo::AimOutcome result; // written by the worker before `done`, read after it
};

// The request's target in the solver's terms, or the reason it is refused at once.
bool aimTargetOf(const Demo::AimRequest& request, const Demo::MissionData& mission, size_t bodyCount,
                 int32_t craftIndex, AimTarget& target, std::string& error);

} // namespace Plan
