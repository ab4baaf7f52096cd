// Tests that run the cache worker (also run under ThreadSanitizer).
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scenario/AstroFactory.h"
#include "Demo/Scenario/AstroPresets.h"
#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Scene/Scene.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <stdexcept>
#include <thread>

using namespace Demo;

namespace {

struct RunningSystem : ::testing::Test {
    RunningSystem() { system = addSolarSystem(scene); }
    // Waits until the worker has published progress past `step`; false after the deadline.
    bool waitForCache(uint64_t step, int seconds = 60) const {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (system->cachedUpTo.load(std::memory_order_acquire) <= step) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    void expectCacheMatchesDirectPositions(uint64_t step) const {
        ASSERT_EQ(step % 4, 0u);
        for (const AstroObject* o : system->objects) {
            Vec3d direct = system->computeObjectPos(o, step);
            for (uint64_t offset = 0; offset < 4; ++offset) {
                Vec3d cached = system->cachedPosition(step + offset, uint32_t(o->index));
                EXPECT_EQ(cached.x, direct.x) << o->name << " at " << step + offset;
                EXPECT_EQ(cached.y, direct.y) << o->name << " at " << step + offset;
                EXPECT_EQ(cached.z, direct.z) << o->name << " at " << step + offset;
            }
        }
    }
    Scene scene;
    AstroSystem* system;
};

} // namespace

TEST_F(RunningSystem, WorkerCacheEntriesEqualDirectPositions) {
    system->Start();
    EXPECT_EQ(system->timeStep, AstroSystem::StartTimeStep);
    EXPECT_GE(system->cachedUpTo.load(), AstroSystem::StartTimeStep);
    EXPECT_EQ(system->cacheObjectCount, 29u);
    // Entries before the start step are valid from the start.
    expectCacheMatchesDirectPositions(0);
    expectCacheMatchesDirectPositions(4096);
    ASSERT_TRUE(waitForCache(AstroSystem::StartTimeStep + 3 * 512));
    for (uint64_t step = AstroSystem::StartTimeStep; step < AstroSystem::StartTimeStep + 3 * 512; step += 4 * 37)
        expectCacheMatchesDirectPositions(step);
    // Moons are cached in world coordinates: a moon's entry is away from the origin by about its planet's orbit.
    Vec3d luna = system->cachedPosition(AstroSystem::StartTimeStep, 9);
    EXPECT_GT(length(luna), 2000.0);
    EXPECT_TRUE(system->shutdownWorker());
}

TEST_F(RunningSystem, WorkerRestartsAtSetTimeStepRoundedToFour) {
    system->Start();
    ASSERT_TRUE(waitForCache(AstroSystem::StartTimeStep + 512));
    system->setTimeStep(1001);
    EXPECT_EQ(system->timeStep, 1001u);
    EXPECT_EQ(system->previousTimeStep.load(), 1001u);
    ASSERT_TRUE(waitForCache(1000));
    // Progress is published batch by batch from the restart step.
    EXPECT_EQ((system->cachedUpTo.load(std::memory_order_acquire) - 1000) % 512, 0u);
    expectCacheMatchesDirectPositions(1000);
    expectCacheMatchesDirectPositions(1000 + 4 * 100);
    EXPECT_TRUE(system->shutdownWorker());
}

TEST_F(RunningSystem, WorkerStallSlowsTimeInsteadOfOutrunningTheCache) {
    system->Start();
    system->advanceTime(16.0f, false, false); // previousTimeStep catches up with the start step
    system->timeFactor = 1e9;
    system->advanceTime(1000.0f, false, false);
    uint64_t steps = system->timeStep - system->previousTimeStep.load();
    EXPECT_LT(system->timeFactor, 1e9);
    EXPECT_GT(system->timeFactor, 0.0);
    double quarters = std::log(1e9 / system->timeFactor) / std::log(4.0);
    EXPECT_NEAR(quarters, std::round(quarters), 1e-9); // lowered by whole factors of 4
    EXPECT_LT(system->previousTimeStep.load() + 4096 + 2 * steps, system->cachedUpTo.load());
    EXPECT_TRUE(system->shutdownWorker());
}

// A jump empties the cache; the frame after it must not take that for a slow worker and cut the time factor.
TEST_F(RunningSystem, JumpWaitsForTheRefilledCacheAndKeepsTheTimeFactor) {
    system->Start();
    system->advanceTime(16.0f, false, false);
    system->timeFactor = 2560.0;
    system->jumpToTimeStep(500001);
    EXPECT_EQ(system->timeStep, 500001u);
    system->advanceTime(1000.0f, false, false); // 2560 s and what was left of the first frame: 25 or 26 steps
    EXPECT_EQ(system->timeFactor, 2560.0);
    EXPECT_GE(system->timeStep, 500001u + 25u);
    EXPECT_LE(system->timeStep, 500001u + 26u);
    expectCacheMatchesDirectPositions(500000 + 4 * 16);
    EXPECT_TRUE(system->shutdownWorker());
}

TEST_F(RunningSystem, WorkerStopsWhenAskedAndStartsOnlyOnce) {
    system->Start();
    EXPECT_TRUE(system->workerRunning());
    EXPECT_THROW(system->startWorker(), std::runtime_error);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(system->shutdownWorker());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_FALSE(system->workerRunning());
    EXPECT_FALSE(system->stopWorker.load()); // acknowledged
    EXPECT_TRUE(system->shutdownWorker());   // nothing left to stop
}

TEST_F(RunningSystem, WorkerFrameLoopKeepsBodiesOnCachedOrbits) {
    system->Start();
    for (int frame = 0; frame < 20; ++frame) {
        system->advanceTime(16.0f, false, false);
        system->placeBodies();
    }
    EXPECT_EQ(system->timeFactor, 10.0); // the worker is far ahead: no stall
    uint64_t step = system->timeStep & ~uint64_t(3);
    AstroObject* earth = system->objects[3];
    Vec3d cached = system->cachedPosition(step, 3);
    EXPECT_EQ(cached, system->computeObjectPos(earth, step));
    // The scene is destroyed with the worker running: the system stops it before its bodies go.
}

TEST_F(RunningSystem, WorkerLayoutIsFixedOnceStarted) {
    system->Start();
    PlanetSolidCreateInfo late = solidCreateInfo("Late", scene.primaryStar, 5.0f, 1.0);
    size_t count = system->objects.size();
    EXPECT_THROW(AstroFactory::BuildSolidPlanet(late, system), std::runtime_error);
    EXPECT_EQ(system->objects.size(), count);
    EXPECT_EQ(system->cacheObjectCount, count);
    for (size_t k = 0; k < count; ++k)
        EXPECT_EQ(system->objects[k]->index, int(k));
    EXPECT_TRUE(system->shutdownWorker());
}

// A fixed-step frame ahead of the cache waits for the worker instead of slowing time.
TEST_F(RunningSystem, FixedStepFrameWaitsForTheWorkerWithTheFactorKept) {
    system->Start();
    system->timeFactor = 1e9;
    const uint64_t start = system->timeStep;
    system->advanceTimeSeconds(1.0 / 30.0, false, false, true);
    EXPECT_EQ(system->timeFactor, 1e9);
    EXPECT_NEAR(double(system->timeStep - start) + system->stepFraction, 1e9 / 30.0 / 100.0, 1e-6);
    EXPECT_GT(system->cachedUpTo.load(), system->timeStep); // the frame shows cached steps
    EXPECT_TRUE(system->shutdownWorker());
}
