// The simulation's hot paths: the orbit position operation, the cache worker's fill rate and one frame of the
// astro system's update. Targets: under 100 ns per position (29 bodies' elements), at least 400000 cache slots
// of 29 bodies per second on one core, one frame's update under 50 microseconds.
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/Scene.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <pthread.h>
#include <thread>
#include <vector>

using namespace Demo;

namespace {

// The built-in solar system, headless (no device: the GPU parts stay detached).
struct HeadlessSolarSystem {
    HeadlessSolarSystem() { system = addSolarSystem(scene); }
    Scene scene;
    AstroSystem* system;
};

struct Elements {
    Orbit orbit;
    double mu;
};

std::vector<Elements> bodyElements() {
    HeadlessSolarSystem s;
    std::vector<Elements> elements;
    for (AstroObject* o : s.system->objects)
        elements.push_back({o->orbit, o->parentGravitationalParameter()});
    return elements;
}

// orbitPosition over the 29 bodies' elements at successive time steps.
void BM_OrbitPosition(benchmark::State& state) {
    std::vector<Elements> elements = bodyElements();
    double t = 8192.0 * 100.0;
    for (auto _ : state) {
        for (const Elements& e : elements)
            benchmark::DoNotOptimize(orbitPosition(e.orbit, t, e.mu));
        t += 100.0;
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(elements.size()));
    state.counters["ns_per_position"] =
        benchmark::Counter(double(state.iterations()) * double(elements.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_OrbitPosition);

// The worker's inner step: a prepared kernel evaluated at successive time steps.
void BM_OrbitKernelPosition(benchmark::State& state) {
    std::vector<OrbitKernel> kernels;
    for (const Elements& e : bodyElements())
        kernels.emplace_back(e.orbit, e.mu);
    double t = 8192.0 * 100.0;
    for (auto _ : state) {
        for (const OrbitKernel& k : kernels)
            benchmark::DoNotOptimize(k.position(t));
        t += 400.0;
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kernels.size()));
}
BENCHMARK(BM_OrbitKernelPosition);

double threadCpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The cache worker on its own core: time for it to fill 65536 slots of all 29 bodies (pages touched first time
// included), measured from its published progress. slots_per_cpu_second divides by the worker thread's own CPU
// time, which a busy machine does not inflate.
void BM_CacheWorkerFill(benchmark::State& state) {
    HeadlessSolarSystem s;
    s.system->Start();
    clockid_t workerClock{};
    pthread_getcpuclockid(s.system->worker.native_handle(), &workerClock);
    const uint64_t slotsPerIteration = 65536;
    uint64_t firstStep = s.system->cachedUpTo.load(std::memory_order_acquire);
    double cpu0 = threadCpuSeconds(workerClock);
    for (auto _ : state) {
        uint64_t from = s.system->cachedUpTo.load(std::memory_order_acquire);
        auto t0 = std::chrono::steady_clock::now();
        while (s.system->cachedUpTo.load(std::memory_order_acquire) < from + 4 * slotsPerIteration)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        auto t1 = std::chrono::steady_clock::now();
        uint64_t filled = (s.system->cachedUpTo.load(std::memory_order_acquire) - from) / 4;
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count() * slotsPerIteration / double(filled));
    }
    double cpu = threadCpuSeconds(workerClock) - cpu0;
    uint64_t slots = (s.system->cachedUpTo.load(std::memory_order_acquire) - firstStep) / 4;
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(slotsPerIteration));
    state.counters["bodies"] = double(s.system->cacheObjectCount);
    state.counters["slots_per_cpu_second"] = double(slots) / cpu;
    s.system->shutdownWorker();
}
// 16 × 65536 slots stay well inside the ring, so the worker never throttles while measured.
BENCHMARK(BM_CacheWorkerFill)->UseManualTime()->Iterations(16)->Unit(benchmark::kMillisecond);

// One frame of the system's update at 60 frames per second: time advance and the placement of all bodies.
void BM_AstroSystemFrameUpdate(benchmark::State& state) {
    HeadlessSolarSystem s;
    s.system->timeStep = AstroSystem::StartTimeStep;
    Demo::FrameInput input;
    input.frameTime = 16.6f;
    Demo::FrameContext frame{s.scene.services, input};
    for (auto _ : state)
        s.system->Update(frame);
    state.counters["time_step"] = double(s.system->timeStep);
}
BENCHMARK(BM_AstroSystemFrameUpdate)->Unit(benchmark::kMicrosecond);

// The whole scene's per-frame passes over the system and its 29 bodies (spin, placement, blocks).
void BM_AstroSceneFrame(benchmark::State& state) {
    HeadlessSolarSystem s;
    s.system->timeStep = AstroSystem::StartTimeStep;
    Demo::FrameInput input;
    input.frameTime = 16.6f;
    Demo::FrameContext frame{s.scene.services, input};
    for (auto _ : state) {
        s.scene.update(frame);
        s.scene.updateUniforms(frame);
    }
}
BENCHMARK(BM_AstroSceneFrame)->Unit(benchmark::kMicrosecond);

} // namespace
