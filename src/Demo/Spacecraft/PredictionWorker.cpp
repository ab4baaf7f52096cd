#include "Demo/Spacecraft/PredictionWorker.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace Demo {

BodyCacheView BodyCacheView::of(AstroSystem& system) {
    BodyCacheView v;
    v.entries = system.stateCache.get();
    v.slotCount = system.cacheSlotCount;
    v.objectCount = uint32_t(system.cacheObjectCount);
    v.cachedUpTo = &system.cachedUpTo;
    v.mutex = &system.cacheMutex;
    v.timeStepLength = system.timeStepLength;
    return v;
}

void PredictionWorker::FreeDeleter::operator()(void* p) const {
    std::free(p);
}

// Large pages where available: the line rebuild reads across the whole ring.
template <class T> PredictionWorker::Untouched<T> PredictionWorker::allocateUntouched(uint64_t count) {
    constexpr size_t Alignment = size_t(2) << 20;
    size_t bytes = size_t(count) * sizeof(T);
    bytes = (bytes + Alignment - 1) / Alignment * Alignment;
    void* p = std::aligned_alloc(Alignment, bytes);
    if (!p)
        throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(p, bytes, MADV_HUGEPAGE);
#endif
    return Untouched<T>(static_cast<T*>(p));
}

static uint64_t ringSizeFor(uint64_t requested) {
    uint64_t size = std::max<uint64_t>(requested, 4 * PredictionWorker::LookAheadMargin);
    return (size + LineSampleStride - 1) / LineSampleStride * LineSampleStride;
}

PredictionWorker::PredictionWorker(uint64_t ringSize_) : size(ringSizeFor(ringSize_)) {}

PredictionWorker::~PredictionWorker() {
    stop();
}

void PredictionWorker::setRingSize(uint64_t ringSize_) {
    if (rings[0])
        throw std::runtime_error("PredictionWorker.setRingSize(): the rings are allocated already!");
    size = ringSizeFor(ringSize_);
}

void PredictionWorker::start(const BodyCacheView& cache_, int32_t craftIndex_) {
    if (thread.joinable())
        throw std::runtime_error("PredictionWorker.start(): the prediction worker is already running!");
    if (!cache_.entries || !cache_.cachedUpTo || cache_.slotCount == 0)
        throw std::runtime_error("PredictionWorker.start(): the astro system's position cache does not exist!");
    cache = cache_;
    craftIndex = craftIndex_;
    rules.craftIndex = craftIndex;
    if (!rings[0]) {
        for (int k = 0; k < 2; ++k) {
            rings[k] = allocateUntouched<PredictedState>(size);
            sampleRings[k] = allocateUntouched<LineSample>(size / LineSampleStride);
        }
    }
    {
        std::lock_guard<std::mutex> restartLock(restartMutex);
        std::lock_guard<std::mutex> bufferLock(bufferMutex);
        currentBuffer = rings[0].get();
        previousBuffer = rings[1].get();
        currentSamples = sampleRings[0].get();
        previousSamples = sampleRings[1].get();
    }
    flight.bodies.assign(cache.objectCount, GravityBody{});
    field.assign(flight.bodies.data(), flight.bodies.size());
    stopRequested.store(false, std::memory_order_relaxed);
    thread = std::thread(&PredictionWorker::loop, this);
}

void PredictionWorker::stop() {
    if (!thread.joinable())
        return;
    stopRequested.store(true, std::memory_order_relaxed);
    thread.join();
}

void PredictionWorker::restart(const PredictionRestart& r) {
    std::lock_guard<std::mutex> lock(restartMutex);
    request.start = r.start;
    request.maneuvers.assign(r.maneuvers.begin(), r.maneuvers.end());
    request.bodies.assign(r.bodies.begin(), r.bodies.end());
    request.keepFinishedPrediction = r.keepFinishedPrediction;
    request.useOrbitNormal = r.useOrbitNormal;
    request.orbitNormal = r.orbitNormal;
    request.fallbackNose = r.fallbackNose;
    uint64_t oldHead = head.load(std::memory_order_relaxed);
    uint64_t S = r.start.timeStep;
    {
        std::lock_guard<std::mutex> bufferLock(bufferMutex);
        headBeforeRestart = oldHead;
        validFromBeforeRestart = validFrom;
        // States before the restart step stay valid when they belong to the same computed stretch.
        if (S > oldHead || S < validFrom)
            validFrom = S;
        head.store(S, std::memory_order_release);
    }
    restartPending = true;
}

PredictionWorker::RestartInfo PredictionWorker::lastRestart() {
    std::lock_guard<std::mutex> lock(restartMutex);
    return {restartPending, request.start.timeStep, headBeforeRestart};
}

// Called with restartMutex held.
void PredictionWorker::applyRestartLocked() {
    std::lock_guard<std::mutex> bufferLock(bufferMutex);
    flight.start = request.start;
    flight.maneuvers = request.maneuvers;
    // Walked by a cursor in time order, whatever order the plan lists them in.
    std::stable_sort(flight.maneuvers.begin(), flight.maneuvers.end(),
                     [](const Maneuver& a, const Maneuver& b) { return a.time < b.time; });
    for (size_t k = 0; k < flight.bodies.size(); ++k)
        flight.bodies[k] = k < request.bodies.size() ? request.bodies[k] : GravityBody{};
    field.assign(flight.bodies.data(), flight.bodies.size());
    flight.useOrbitNormal = request.useOrbitNormal;
    flight.orbitNormal = request.orbitNormal;
    flight.fallbackNose = request.fallbackNose;
    rules.maneuvers = flight.maneuvers.data();
    rules.maneuverCount = flight.maneuvers.size();
    rules.craftIndex = craftIndex;
    rules.orbitNormal = flight.useOrbitNormal ? &flight.orbitNormal : nullptr;
    rules.fallbackNose = flight.fallbackNose;
    state = FlightState{};
    state.position = request.start.position;
    state.velocity = request.start.velocity;
    restartPending = false;
    if (request.keepFinishedPrediction) {
        std::swap(currentBuffer, previousBuffer);
        std::swap(currentSamples, previousSamples);
        previousHead = headBeforeRestart;
        previousValidFrom = validFromBeforeRestart;
        validFrom = request.start.timeStep;
    }
}

void PredictionWorker::loop() {
    uint64_t t;
    {
        // A restart asked for before the thread ran (the mission's start) is taken up at once.
        std::lock_guard<std::mutex> lock(restartMutex);
        if (restartPending)
            applyRestartLocked();
        t = head.load(std::memory_order_relaxed);
    }
    while (!stopRequested.load(std::memory_order_relaxed)) {
        bool computed = false;
        {
            // The cache cannot jump back under the batch: a time jump waits for it to end.
            std::unique_lock<std::mutex> cacheLock;
            if (cache.mutex)
                cacheLock = std::unique_lock<std::mutex>(*cache.mutex);
            uint64_t cachedUpTo = cache.cachedUpTo->load(std::memory_order_acquire);
            uint64_t ringLimit = readStep.load(std::memory_order_relaxed) + size - std::min(HistorySteps, size / 4);
            if (t + LookAheadMargin <= std::min(cachedUpTo, ringLimit)) {
                computeBatch(t);
                computed = true;
            }
        }
        if (!computed)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::lock_guard<std::mutex> lock(restartMutex);
        if (restartPending) {
            // A batch computed meanwhile is discarded: head stays at the restart step.
            if (computed)
                discarded.fetch_add(1, std::memory_order_relaxed);
            applyRestartLocked();
        } else if (computed)
            head.store(t + BatchSteps, std::memory_order_release);
        t = head.load(std::memory_order_relaxed);
    }
}

void PredictionWorker::computeBatch(uint64_t t) {
    batches.fetch_add(1, std::memory_order_relaxed);
    PredictedState* ring = currentBuffer; // only the worker swaps them
    LineSample* samples = currentSamples;
    const uint64_t sampleCount = size / LineSampleStride;
    // The cache may have been rewritten since the last batch (a time jump): its positions are read afresh.
    state.loadedSlot = UINT64_MAX;
    for (uint64_t end = t + BatchSteps; t < end; ++t) {
        FlightStepResult r = flightStep(state, field, cache, rules, t);
        const Vec3d& position = state.position;
        const Vec3d& velocity = state.velocity;
        PredictedState& s = ring[t % size];
        s.position[0] = position.x;
        s.position[1] = position.y;
        s.position[2] = position.z;
        s.velocity[0] = velocity.x;
        s.velocity[1] = velocity.y;
        s.velocity[2] = velocity.z;
        s.dominant = r.gravity.strongest;
        if (t % LineSampleStride == 0) {
            LineSample& sample = samples[(t / LineSampleStride) % sampleCount];
            sample.position[0] = float(position.x);
            sample.position[1] = float(position.y);
            sample.position[2] = float(position.z);
            sample.dominant = r.gravity.strongest;
            Vec3d d = r.gravity.strongest >= 0 ? field.position(size_t(r.gravity.strongest)) : Vec3d{};
            sample.dominantPosition[0] = float(d.x);
            sample.dominantPosition[1] = float(d.y);
            sample.dominantPosition[2] = float(d.z);
            sample.unused = 0.0f;
        }
    }
}

PredictionWorker::RingView PredictionWorker::currentLocked() const {
    return {currentBuffer, head.load(std::memory_order_acquire), validFrom, currentSamples};
}

PredictionWorker::RingView PredictionWorker::previousLocked() const {
    return {previousBuffer, previousHead, previousValidFrom, previousSamples};
}

bool PredictionWorker::isValid(const RingView& view, uint64_t step) const {
    if (!view.ring || step >= view.head || step < view.validFrom)
        return false;
    // Overwritten by a later lap of the ring, or about to be: the batch after head writes into the slots of
    // [head − size, head − size + batch); states older than the history kept behind the craft may be reused.
    if (step + size < view.head + BatchSteps)
        return false;
    uint64_t history = std::min(HistorySteps, size / 4);
    return step + history >= readStep.load(std::memory_order_relaxed);
}

bool PredictionWorker::stateAt(uint64_t step, PredictedState& out) {
    std::lock_guard<std::mutex> lock(bufferMutex);
    RingView view = currentLocked();
    if (!isValid(view, step))
        return false;
    out = view.ring[step % size];
    return true;
}

} // namespace Demo
