// The prediction worker on its own thread against a synthetic body cache whose progress the test controls
// (these also run under ThreadSanitizer).
#include "Demo/Spacecraft/PredictionWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

using namespace Demo;

namespace {

constexpr double StepLength = 100.0;

// `bodies` bodies standing still on a ring of radius 1000 around the origin (the heavy one first), and the
// craft's own entry last. The cache's progress is published by the test.
struct SyntheticCache {
    explicit SyntheticCache(uint32_t bodies, uint64_t slots = 65536) : count(bodies + 1), slotCount(slots) {
        entries.resize(size_t(count) * slots);
        for (uint64_t s = 0; s < slots; ++s)
            for (uint32_t i = 0; i < count; ++i) {
                double angle = 0.37 * double(i);
                entries[size_t(s) * count + i] = {1000.0 * std::cos(angle) * (i > 0), 0.0,
                                                  1000.0 * std::sin(angle) * (i > 0)};
            }
        gravity.resize(count);
        for (uint32_t i = 0; i < count; ++i)
            gravity[i] = {{}, i == 0 ? 3e-4 : 1e-9, i == 0 ? 100.0 * 100.0 : 1.0};
        gravity[count - 1] = {}; // the craft
    }
    BodyCacheView view() const {
        BodyCacheView v;
        v.entries = entries.data();
        v.slotCount = slotCount;
        v.objectCount = count;
        v.cachedUpTo = &upTo;
        v.timeStepLength = StepLength;
        return v;
    }
    PredictionRestart restart(uint64_t step, Vec3d position, Vec3d velocity) const {
        PredictionRestart r;
        r.start = {position, velocity, step};
        r.bodies = gravity;
        return r;
    }
    uint32_t count;
    uint64_t slotCount;
    std::vector<CachedPosition> entries;
    std::vector<GravityBody> gravity;
    std::atomic<uint64_t> upTo{0};
};

bool waitFor(const std::function<bool()>& done, int seconds = 60) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The same flight integrated here, step by step, as the worker must do it.
std::vector<PredictedState> integrateHere(const SyntheticCache& c, const StartData& start, uint64_t steps) {
    std::vector<GravityBody> bodies = c.gravity;
    Vec3d p = start.position, v = start.velocity;
    std::vector<PredictedState> out(steps);
    for (uint64_t k = 0; k < steps; ++k) {
        uint64_t t = start.timeStep + k;
        const CachedPosition* slot = c.view().slot(t);
        for (uint32_t i = 0; i < c.count; ++i)
            bodies[i].position = {slot[i].x, slot[i].y, slot[i].z};
        GravityResult g = gravitySum(p, bodies.data(), bodies.size(), int32_t(c.count - 1));
        eulerStep(p, v, g.acceleration, StepLength);
        out[k] = {{p.x, p.y, p.z}, {v.x, v.y, v.z}, g.strongest};
    }
    return out;
}

void expectSameState(const PredictedState& a, const PredictedState& b, uint64_t step) {
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(a.position[k], b.position[k]) << "step " << step;
        ASSERT_EQ(a.velocity[k], b.velocity[k]) << "step " << step;
    }
    ASSERT_EQ(a.dominant, b.dominant) << "step " << step;
}

} // namespace

TEST(PredictionWorker, NeverRunsPastTheBodyCacheAndStopJoins) {
    SyntheticCache cache(8);
    PredictionWorker worker(1 << 16);
    worker.restart(cache.restart(0, {500.0, 0.0, 0.0}, {0.0, 0.0, 7e-4}));
    cache.upTo.store(2000, std::memory_order_release);
    worker.start(cache.view(), int32_t(cache.count - 1));
    // A batch starts only 512 steps short of the cache: the last one from 1408, so the head stops at 1536.
    ASSERT_TRUE(waitFor([&] { return worker.headStep() >= 1536; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(worker.headStep(), 1536u);
    uint64_t batches = worker.batchesComputed();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(worker.batchesComputed(), batches); // waiting, not computing
    cache.upTo.store(20000, std::memory_order_release);
    ASSERT_TRUE(waitFor([&] { return worker.headStep() >= 19584; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(worker.headStep(), 19584u);

    auto t0 = std::chrono::steady_clock::now();
    worker.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    EXPECT_FALSE(worker.running());
    worker.stop(); // nothing left to stop
    // The states match an integration made here, bit for bit.
    std::vector<PredictedState> here = integrateHere(cache, {{500.0, 0.0, 0.0}, {0.0, 0.0, 7e-4}, 0}, 19456);
    for (uint64_t s = 0; s < 19456; s += 97) {
        PredictedState state;
        ASSERT_TRUE(worker.stateAt(s, state)) << s;
        expectSameState(state, here[s], s);
    }
}

TEST(PredictionWorker, RestartMidBatchDiscardsTheBatchAndKeepsEarlierStates) {
    // Many bodies make a batch slow, so the restart lands while one is being computed.
    SyntheticCache cache(3000, 8192);
    PredictionWorker worker(1 << 15);
    const StartData first{{500.0, 0.0, 0.0}, {0.0, 0.0, 7e-4}, 0};
    worker.restart(cache.restart(first.timeStep, first.position, first.velocity));
    cache.upTo.store(4 * 8192, std::memory_order_release);
    worker.start(cache.view(), int32_t(cache.count - 1));
    ASSERT_TRUE(waitFor([&] { return worker.headStep() >= 1024; }));

    const uint64_t S = 777; // not a batch boundary
    const StartData second{{-400.0, 30.0, 0.0}, {0.0, 1e-4, -6e-4}, S};
    ASSERT_EQ(worker.batchesDiscarded(), 0u);
    worker.restart(cache.restart(S, second.position, second.velocity));
    EXPECT_EQ(worker.headStep(), S);
    ASSERT_TRUE(waitFor([&] { return worker.headStep() >= S + 4 * PredictionWorker::BatchSteps; }));
    EXPECT_EQ((worker.headStep() - S) % PredictionWorker::BatchSteps, 0u);
    // The batch in flight (or, if the restart came while one was being published, the next) was thrown away.
    EXPECT_EQ(worker.batchesDiscarded(), 1u);
    worker.stop();

    std::vector<PredictedState> before = integrateHere(cache, first, S);
    std::vector<PredictedState> after = integrateHere(cache, second, 4 * PredictionWorker::BatchSteps);
    PredictedState state;
    for (uint64_t s = 0; s < S; s += 37) {
        ASSERT_TRUE(worker.stateAt(s, state)) << s;
        expectSameState(state, before[s], s);
    }
    for (uint64_t k = 0; k < after.size(); k += 13) {
        ASSERT_TRUE(worker.stateAt(S + k, state)) << S + k;
        expectSameState(state, after[k], S + k);
    }
}

TEST(PredictionWorker, KeepsTheFinishedPredictionAsideWhenAskedAndGuardsOldStates) {
    SyntheticCache cache(8);
    PredictionWorker worker(8192);
    worker.restart(cache.restart(0, {500.0, 0.0, 0.0}, {0.0, 0.0, 7e-4}));
    cache.upTo.store(4 * 65536, std::memory_order_release);
    worker.setReadStep(0);
    worker.start(cache.view(), int32_t(cache.count - 1));
    // The ring holds at most ring size − history (2048 here) steps ahead of the craft: the last batch starts at
    // 5632 (512 short of 6144).
    const uint64_t firstHead = 5760;
    ASSERT_TRUE(waitFor([&] { return worker.headStep() >= firstHead; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(worker.headStep(), firstHead);

    PredictionRestart keep = cache.restart(2000, {0.0, 0.0, 600.0}, {6e-4, 0.0, 0.0});
    keep.keepFinishedPrediction = true;
    worker.restart(keep);
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard<std::mutex> lock(worker.bufferMutex);
        return worker.previousLocked().head == firstHead && worker.headStep() >= 2512;
    }));
    {
        std::lock_guard<std::mutex> lock(worker.bufferMutex);
        PredictionWorker::RingView previous = worker.previousLocked(), current = worker.currentLocked();
        EXPECT_EQ(previous.validFrom, 0u);
        EXPECT_EQ(current.validFrom, 2000u);
        EXPECT_TRUE(worker.isValid(previous, 1999));
        EXPECT_FALSE(worker.isValid(current, 1999)); // the new ring starts at the restart
        EXPECT_TRUE(worker.isValid(current, 2000));
        EXPECT_NE(previous.ring, current.ring);
    }
    // Far behind the craft states may be rewritten by the next lap: not handed out.
    worker.setReadStep(6000);
    PredictedState state;
    EXPECT_FALSE(worker.stateAt(1000, state));
    worker.stop();
}
