// The spacecraft's hot paths. Targets: one prediction step (gravity sum over 29 bodies and the Euler step, from
// a filled cache) in at most 70 ns; the prediction line of 262143 vertices in Dominant space rebuilt in at most
// 2 ms; the 29 orbit lines rebuilt in World space in at most 1 ms. The step and the cache worker's slot are also
// measured at 290 and 2900 synthetic bodies (both are linear in the body count). Every benchmark reports the
// allocations it made per step or per frame (none expected). Quote the medians of the repetitions.
#include "AllocationCounter.h"
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scenario/BodyVisualBuilder.h"
#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/OrbitRenderer.h"
#include "Demo/Spacecraft/PredictionLine.h"
#include "Demo/Spacecraft/PredictionWorker.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Plan/Aim.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace Demo;

namespace {

// The built-in solar system, headless (no device), at the start step.
struct Solar {
    Solar() {
        scene.services.bodyVisuals = &visuals;
        system = addSolarSystem(scene);
        system->timeStep = AstroSystem::StartTimeStep;
    }
    BodyVisualBuilder visuals;
    Scene scene;
    AstroSystem* system;
};

// `count` bodies: the solar system's 29 (the spacecraft last), repeated with small offsets beyond 29 so that
// every copy counts in the gravity sum as its original does. Positions for `slots` cache slots from the start
// step; orbits for the cache fill.
struct SyntheticBodies {
    SyntheticBodies(uint32_t count_, uint32_t slots_) : count(count_), slots(slots_) {
        Solar s;
        const std::vector<AstroObject*>& objects = s.system->objects;
        const uint32_t K = uint32_t(objects.size());
        auto original = [&](uint32_t i) { return i == count - 1 ? K - 1 : i % (K - 1); };
        gravity.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const AstroObject* o = objects[original(i)];
            gravity[i] = {{}, o->gravitationalParameter(), double(o->radius) * double(o->radius)};
        }
        cache.resize(size_t(count) * slots);
        for (uint32_t slot = 0; slot < slots; ++slot) {
            uint64_t step = AstroSystem::StartTimeStep + 4 * uint64_t(slot);
            for (uint32_t i = 0; i < count; ++i) {
                Vec3d p = s.system->computeObjectPos(objects[original(i)], step) +
                          Vec3d{1e-3 * double(i / (K - 1)), 0.0, 0.0};
                cache[size_t(slot) * count + i] = {p.x, p.y, p.z};
            }
        }
        AstroObject* craft = objects[K - 1];
        position = s.system->computeObjectPos(craft, AstroSystem::StartTimeStep);
        velocity = s.system->computeObjectVel(craft, AstroSystem::StartTimeStep);
        for (uint32_t i = 0; i < count; ++i) {
            const AstroObject* o = objects[original(i)];
            kernels.emplace_back(o->orbit, o->parentGravitationalParameter());
            const AstroObject* parent = o->parent;
            bool cachedParent =
                parent && parent != s.system && parent != s.system->scene->primaryStar && parent->index >= 0;
            parents.push_back(cachedParent ? int32_t(parent->index) : -1);
        }
    }
    uint32_t count, slots;
    std::vector<GravityBody> gravity;
    std::vector<CachedPosition> cache;
    std::vector<OrbitKernel> kernels;
    std::vector<int32_t> parents;
    Vec3d position, velocity;
};

// One step of the prediction as the worker makes it: the flight step itself (body positions from the ring every
// fourth step, the gravity sum skipping the craft, the burn cursor, the semi-implicit Euler step), the state into
// the ring.
void BM_PredictionStep(benchmark::State& state) {
    const uint32_t count = uint32_t(state.range(0));
    SyntheticBodies b(count, 256);
    std::vector<PredictedState> ring(4096);
    GravityField field;
    field.assign(b.gravity.data(), count);
    BodyCacheView view;
    view.entries = b.cache.data();
    view.slotCount = b.slots;
    view.objectCount = count;
    FlightRules rules;
    rules.craftIndex = int32_t(count - 1);
    FlightState flight;
    flight.position = b.position;
    flight.velocity = b.velocity;
    uint64_t t = 0;
    uint64_t allocations = allocationCount();
    for (auto _ : state) {
        FlightStepResult r = flightStep(flight, field, view, rules, t);
        PredictedState& s = ring[t & 4095];
        s.position[0] = flight.position.x, s.position[1] = flight.position.y, s.position[2] = flight.position.z;
        s.velocity[0] = flight.velocity.x, s.velocity[1] = flight.velocity.y, s.velocity[2] = flight.velocity.z;
        s.dominant = r.gravity.strongest;
        benchmark::ClobberMemory();
        ++t;
    }
    state.counters["bodies"] = count;
    state.counters["allocs_per_step"] = double(allocationCount() - allocations) / double(state.iterations());
}
BENCHMARK(BM_PredictionStep)->Arg(29)->Arg(290)->Arg(2900)->Repetitions(5)->ReportAggregatesOnly(true);

// The real worker on its own thread over a filled cache of the 29 bodies: wall-clock nanoseconds per predicted
// step while this thread sleeps (batches, ring stores and the restart lock included).
void BM_PredictionWorkerStep(benchmark::State& state) {
    const uint32_t slots = 65536;
    SyntheticBodies b(29, slots);
    std::atomic<uint64_t> upTo{4 * uint64_t(slots)};
    BodyCacheView view;
    view.entries = b.cache.data();
    view.slotCount = slots;
    view.objectCount = 29;
    view.cachedUpTo = &upTo;
    PredictionWorker worker(4 * uint64_t(slots) + 32768);
    PredictionRestart r;
    r.start = {b.position, b.velocity, 0};
    r.bodies = b.gravity;
    worker.restart(r);
    worker.start(view, 28);
    for (auto _ : state) {
        uint64_t from = worker.headStep();
        auto t0 = std::chrono::steady_clock::now();
        while (worker.headStep() < from + 32768 && worker.headStep() + 4096 < 4 * uint64_t(slots))
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        auto t1 = std::chrono::steady_clock::now();
        uint64_t steps = worker.headStep() - from;
        if (steps == 0) {
            worker.restart(r); // the ring's end: go round again
            continue;
        }
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count() / double(steps));
    }
    worker.stop();
}
BENCHMARK(BM_PredictionWorkerStep)->UseManualTime()->Iterations(6)->Unit(benchmark::kNanosecond);

// One slot of the cache worker: every body's position on its orbit, moons placed on their planet's entry.
void BM_CacheSlot(benchmark::State& state) {
    const uint32_t count = uint32_t(state.range(0));
    SyntheticBodies b(count, 1);
    std::vector<CachedPosition> slot(count);
    double seconds = double(AstroSystem::StartTimeStep) * 100.0;
    uint64_t allocations = allocationCount();
    for (auto _ : state) {
        for (uint32_t k = 0; k < count; ++k) {
            Vec3d p = b.kernels[k].position(seconds);
            int32_t parent = b.parents[k];
            if (parent >= 0 && uint32_t(parent) < k) {
                p.x += slot[size_t(parent)].x;
                p.y += slot[size_t(parent)].y;
                p.z += slot[size_t(parent)].z;
            }
            slot[k] = {p.x, p.y, p.z};
        }
        benchmark::ClobberMemory();
        seconds += 400.0;
    }
    state.counters["bodies"] = count;
    state.counters["allocs_per_slot"] = double(allocationCount() - allocations) / double(state.iterations());
}
BENCHMARK(BM_CacheSlot)->Arg(29)->Arg(290)->Arg(2900)->Repetitions(5)->ReportAggregatesOnly(true);

// The prediction line of 262143 vertices in Dominant space over a full-size ring (8388608 states, 470 MB) and a
// full-size position cache of 29 bodies (2097152 slots, 1.46 GB). Argument 1: from the line samples, as the
// program builds it; 0: from the states and the cache.
void BM_PredictionLineRebuild(benchmark::State& state) {
    const uint64_t ringSize = PredictionWorker::DefaultRingSize + 1024;
    const uint64_t slots = AstroSystem::DefaultCacheSlotCount;
    const uint32_t K = 29;
    std::unique_ptr<PredictedState[]> ring(new PredictedState[ringSize]);
    std::unique_ptr<CachedPosition[]> cache(new CachedPosition[slots * K]);
    const int32_t dominants[] = {3, 9, 3, 0, 4, 10, 4, 0, 2, 0, 5, 14, 5, 12, 5};
    for (uint64_t s = 0; s < ringSize; ++s) {
        PredictedState& p = ring[s];
        p.position[0] = 2500.0 + 1e-4 * double(s), p.position[1] = 3.0, p.position[2] = -1e-4 * double(s);
        p.velocity[0] = p.velocity[1] = p.velocity[2] = 1e-3;
        p.dominant = dominants[(s / 600000) % 15];
    }
    for (uint64_t k = 0; k < slots * K; ++k)
        cache[k] = {double(k % K) * 100.0, 1.0, double(k / K) * 1e-3};
    std::atomic<uint64_t> upTo{4 * slots};
    std::vector<float> bodyNow(3 * K, 1.0f);
    std::unique_ptr<float[]> out(new float[3 * size_t(MaxLineVertices)]);
    std::vector<LineSegment> segments;
    segments.reserve(64);

    // The worker's line samples (every 32nd state, dense); without them every vertex reads a state and a cache
    // entry far from the previous ones.
    const bool withSamples = state.range(0) != 0;
    std::unique_ptr<LineSample[]> samples(new LineSample[ringSize / LineStride]);
    for (uint64_t k = 0; k < ringSize / LineStride; ++k) {
        const PredictedState& p = ring[k * LineStride];
        LineSample& sample = samples[k];
        for (int c = 0; c < 3; ++c)
            sample.position[c] = float(p.position[c]);
        sample.dominant = p.dominant;
        const CachedPosition& d = cache[((k * LineStride / 4) % slots) * K + uint64_t(p.dominant)];
        sample.dominantPosition[0] = float(d.x), sample.dominantPosition[1] = float(d.y);
        sample.dominantPosition[2] = float(d.z);
        sample.unused = 0.0f;
    }

    PredictionLineInput in;
    in.ring = {ring.get(), 262143ull * LineStride, 0, withSamples ? samples.get() : nullptr};
    in.ringSize = ringSize;
    in.now = 0;
    in.space = SpaceDominant;
    in.cache.entries = cache.get();
    in.cache.slotCount = slots;
    in.cache.objectCount = K;
    in.cache.cachedUpTo = &upTo;
    in.cachedUpTo = upTo.load();
    in.bodyNow = bodyNow.data();
    in.bodyCount = K;
    in.renderOffset = {0.1, 0.2, 0.3};
    uint32_t vertices = buildPredictionLine(in, out.get(), segments); // warm: pages mapped
    uint64_t allocations = allocationCount();
    for (auto _ : state) {
        vertices = buildPredictionLine(in, out.get(), segments);
        benchmark::DoNotOptimize(out.get());
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = vertices;
    state.counters["segments"] = double(segments.size());
    state.counters["allocs_per_frame"] = double(allocationCount() - allocations) / double(state.iterations());
}
BENCHMARK(BM_PredictionLineRebuild)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// All orbit lines of the solar system rebuilt in World space, as the orbit renderers do every frame (without a
// device there is no upload; it is a 3 KB copy per line).
void BM_OrbitLinesWorld(benchmark::State& state) {
    Solar s;
    std::vector<OrbitRenderer*> lines;
    for (AstroObject* o : s.system->objects) {
        o->orbitRenderer->space = OrbitWorld;
        lines.push_back(o->orbitRenderer);
    }
    uint64_t allocations = allocationCount();
    for (auto _ : state) {
        for (OrbitRenderer* line : lines)
            line->rebuild();
        benchmark::ClobberMemory();
        s.system->timeStep += 3;
    }
    state.counters["lines"] = double(lines.size());
    state.counters["allocs_per_frame"] = double(allocationCount() - allocations) / double(state.iterations());
}
BENCHMARK(BM_OrbitLinesWorld)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

// Aiming one interplanetary burn of the built-in tour (Mars to Venus, 90000 steps of flight per candidate) at a
// new arrival distance, with the planner's two threads; the whole solve, wall clock. Target: at most 5 s.
void BM_AimInterplanetaryBurn(benchmark::State& state) {
    Plan::Ephemeris eph = Plan::Ephemeris::solarSystem();
    MissionData mission;
    mission.maneuvers = builtInManeuvers();
    Plan::AimTarget target{Plan::AimKind::Arrive, eph.find("Venus"), 150.0, 165340};
    for (auto _ : state) {
        Plan::AimResult r = Plan::aimBurn(eph, mission, 7, target);
        if (!r.ok)
            state.SkipWithError(r.message.c_str());
        state.counters["flights"] = double(r.flights);
        state.counters["iterations"] = r.iterations;
    }
}
BENCHMARK(BM_AimInterplanetaryBurn)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();
