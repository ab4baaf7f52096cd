#pragma once
// The trajectory prediction's thread: integrates the craft's future millions of time steps ahead with the same
// gravity sum, thrust and semi-implicit Euler step as the navigation, reading the bodies from the astro system's
// position cache. States go into two rings; the main thread restarts the prediction whenever the craft's state
// changes by anything but the integration itself. No Vulkan here: the SpacecraftPrediction component owns one
// worker and draws its line.
//
// Threads and locks: `restartMutex` guards the restart request and the advance of `head`; `bufferMutex` guards
// the swap of the two rings and the validity bounds. Lock order: restartMutex before bufferMutex. While it
// computes a batch the worker holds the astro system's cacheMutex (and nothing else). Ring slots are
// written without a lock; readers only read slots the worker has published (below `head`) and that it cannot be
// overwriting (see `isValid`). `head`, `readStep` and the cache's `cachedUpTo` are atomics.
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Spacecraft/FlightCore.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace Demo {

// One ring slot: the state reached by integrating step s, and the strongest body at the start of that step.
// No member initialisers: the rings are allocated without being written (pages are touched as they fill).
struct PredictedState {
    double position[3]; // world units
    double velocity[3]; // world units per second
    int32_t dominant;   // -1 when no body counted
};

// Every 32nd state once more, densely, as the prediction line reads it (its vertices are 32 steps apart): the
// position and the dominant body with that body's cached position at the same step, in 32-bit floats (the line
// sums in 32 bits). 262144 samples of 32 bytes per ring instead of scattered 56-byte states.
constexpr uint32_t LineSampleStride = 32;
struct LineSample {
    float position[3];
    int32_t dominant;
    float dominantPosition[3]; // zero without a dominant body
    float unused;
};
static_assert(sizeof(LineSample) == 32);

// Everything a restart hands to the worker, copied under restartMutex.
struct PredictionRestart {
    StartData start;
    std::vector<Maneuver> maneuvers;     // the mission plan's list at the time of the restart
    std::vector<GravityBody> bodies;     // μ and r² of every body (positions filled per step)
    bool keepFinishedPrediction = false; // the craft is not in free flight: keep the last ring for the line
    bool useOrbitNormal = false;         // craft placed on its Kepler orbit: N is the orbit's normal
    Vec3d orbitNormal;
    Vec3d fallbackNose{0.0, 0.0, -1.0}; // the craft's nose, for burns whose frame is undefined
};

class PredictionWorker {
public:
    static constexpr uint64_t DefaultRingSize = 8388608;
    static constexpr uint64_t BatchSteps = 128;
    // The worker stays this far behind the end of the cache and of the ring.
    static constexpr uint64_t LookAheadMargin = 512;
    // States this many steps before the craft's step are never overwritten, so that the burn attitudes of a
    // burn that has just ended can still be read (blend windows are at most a few thousand steps).
    static constexpr uint64_t HistorySteps = 16384;

    explicit PredictionWorker(uint64_t ringSize = DefaultRingSize);
    // Stops and joins the thread.
    ~PredictionWorker();
    PredictionWorker(const PredictionWorker&) = delete;
    PredictionWorker& operator=(const PredictionWorker&) = delete;

    // Allocates both rings (once, not zero-filled) and starts the thread. `craftIndex` is skipped by the gravity
    // sum (the craft's own entry in the body list). Throws std::runtime_error when already running.
    void start(const BodyCacheView& cache, int32_t craftIndex);
    // Sets the stop request and joins. Safe to call when not running.
    void stop();
    bool running() const { return thread.joinable(); }

    // Main thread: asks the worker to integrate from `request.start` at its time step. The states before that
    // step stay valid (unless the finished prediction is kept aside); a batch in flight is discarded.
    void restart(const PredictionRestart& request);
    // Main thread: the step the craft has reached; the worker never overwrites the states from HistorySteps
    // before it onwards.
    void setReadStep(uint64_t step) { readStep.store(step, std::memory_order_relaxed); }

    // A ring as the readers see it: states of [validFrom, head) are there.
    struct RingView {
        const PredictedState* ring = nullptr;
        uint64_t head = 0;
        uint64_t validFrom = 0;
        const LineSample* samples = nullptr; // sample of step s at (s / 32) mod (ring size / 32)
    };
    // Both take bufferMutex; a caller that reads many states locks it itself and uses the *Locked variants.
    bool stateAt(uint64_t step, PredictedState& out);
    RingView currentLocked() const;
    RingView previousLocked() const;
    bool isValid(const RingView& view, uint64_t step) const;

    uint64_t headStep() const { return head.load(std::memory_order_acquire); }
    uint64_t readStepNow() const { return readStep.load(std::memory_order_relaxed); }
    // The last restart as the horizon display reads it (takes restartMutex): whether the worker has yet to take
    // it up, its start step and how far the prediction reached when it was asked for.
    struct RestartInfo {
        bool pending = false;
        uint64_t step = 0;
        uint64_t headBefore = 0;
    };
    RestartInfo lastRestart();
    uint64_t ringSize() const { return size; }
    // Before the first start only (the rings are allocated once): a smaller ring for tests and tools; rounded up
    // to a multiple of 32.
    void setRingSize(uint64_t ringSize);
    // Batches computed since start (published or discarded); for tests and benchmarks.
    uint64_t batchesComputed() const { return batches.load(std::memory_order_relaxed); }
    // Batches thrown away because a restart came while they were computed.
    uint64_t batchesDiscarded() const { return discarded.load(std::memory_order_relaxed); }

    std::mutex restartMutex; // the restart request and the advance of head
    std::mutex bufferMutex;  // the ring swap and the validity bounds

private:
    void loop();
    // Integrates BatchSteps steps from step t into the current ring.
    void computeBatch(uint64_t t);
    void applyRestartLocked();

    struct FreeDeleter {
        void operator()(void* p) const;
    };
    template <class T> using Untouched = std::unique_ptr<T[], FreeDeleter>;
    // One allocation of `count` elements that is not written here (pages arrive as they are first filled).
    template <class T> static Untouched<T> allocateUntouched(uint64_t count);

    uint64_t size;
    Untouched<PredictedState> rings[2];
    Untouched<LineSample> sampleRings[2];
    PredictedState* currentBuffer = nullptr;  // swapped under bufferMutex
    PredictedState* previousBuffer = nullptr; // swapped under bufferMutex
    LineSample* currentSamples = nullptr;     // swapped with the buffers
    LineSample* previousSamples = nullptr;
    std::atomic<uint64_t> head{0}; // first step not yet in currentBuffer
    std::atomic<uint64_t> readStep{0};
    uint64_t validFrom = 0;         // first valid step of currentBuffer (bufferMutex)
    uint64_t previousHead = 0;      // of previousBuffer (bufferMutex)
    uint64_t previousValidFrom = 0; // of previousBuffer (bufferMutex)
    uint64_t headBeforeRestart = 0; // restartMutex
    uint64_t validFromBeforeRestart = 0;
    bool restartPending = false; // restartMutex
    PredictionRestart request;   // restartMutex
    std::atomic<bool> stopRequested{false};
    std::atomic<uint64_t> batches{0};
    std::atomic<uint64_t> discarded{0};
    std::thread thread;

    // The worker's own state (worker thread only).
    BodyCacheView cache;
    int32_t craftIndex = -1;
    PredictionRestart flight; // the flight being integrated: start state, sorted burns, bodies
    GravityField field;       // the bodies' μ, r² and positions for the gravity sum
    FlightRules rules;        // over flight.maneuvers
    FlightState state;
};

} // namespace Demo
