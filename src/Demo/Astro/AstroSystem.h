#pragma once
// Root of the planetary system. Keeps simulated time as a count of 100 s steps advanced from the frame time at
// the time factor, places every body on its orbit each frame, and runs a worker thread that fills a ring cache
// with the positions of all bodies for the time steps ahead (read by the trajectory prediction).
#include "Demo/Astro/AstroObject.h"
#include "Demo/Astro/BodyCache.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace Demo {

struct FrameContext;

class Spacecraft;

// Time-factor and step bookkeeping of one frame, as plain data (the system's fields of the same names).
struct TimeAdvance {
    double scaled = 0.0; // simulated seconds this frame, remainder included
    uint64_t steps = 0;  // whole time steps in them
};

// Simulated seconds and whole steps for a frame of `frameSeconds` real seconds.
TimeAdvance computeTimeAdvance(double frameSeconds, double timeRemainder, double timeFactor, double timeStepLength);

class AstroSystem : public AstroObject {
public:
    static constexpr uint64_t DefaultCacheSlotCount = 2097152; // slots of four time steps each
    static constexpr uint64_t StartTimeStep = 8192;
    static constexpr uint64_t CacheHistorySteps = 262144; // kept behind the main thread's previous step
    static constexpr uint64_t BatchSlots = 128;
    // How long a fixed-step frame waits for a worker that publishes nothing before time is slowed after all.
    static constexpr std::chrono::seconds CacheWaitLimit{20};

    AstroSystem(std::string name, Scene* scene);
    // Stops the worker (bounded wait) and releases the cache. The bodies belong to the scene.
    ~AstroSystem() override;

    // Components, then the cache worker.
    void Start() override;
    // Time factor keys, time advance (with the stall rule), placement of every body.
    void Update(const FrameContext& frame) override;
    AstroSystem* getSystem() override { return this; }

    // Adds a body built by the factory: the parent (default: the system) must already be listed, and the worker
    // must not have started (its cache layout is fixed then). Keeps the list stable-sorted by depth and every
    // body's index equal to its position. Throws std::runtime_error and changes nothing otherwise.
    void addObject(AstroObject* object);

    // World position at step + fraction (summed up the parent chain), computed directly, not from the cache.
    Vec3d computeObjectPos(const AstroObject* object, uint64_t step, double fraction = 0.0) const;
    // World velocity (world units per second) at step + fraction, summed up the parent chain; zero for null.
    Vec3d computeObjectVel(const AstroObject* object, uint64_t step, double fraction = 0.0) const;
    // The listed body with the strongest pull μ/d² at the object's transform position; the earlier one on a tie.
    AstroObject* getDominantObject(AstroObject* object) const;
    // Moves simulated time to `step`; the worker restarts at step rounded down to a multiple of 4. Only for the
    // jump below and for tests of the worker: alone it leaves the cache empty for the next advance.
    void setTimeStep(uint64_t step);
    // The one jump of simulated time (the script, the "Time" field, mission resets): setTimeStep, a bounded wait
    // for the refilled cache, then every body is told (timeJumped).
    void jumpToTimeStep(uint64_t step);

    // One frame of time stepping with explicit inputs (Update reads the frame time and keys and calls it).
    void advanceTime(float frameMilliseconds, bool periodPressed, bool commaPressed);
    // The same in exact seconds. With `waitForCache` (fixed-step runs) a frame whose steps the worker has not
    // cached yet waits for it instead of slowing time, so every frame advances exactly frameSeconds · factor.
    void advanceTimeSeconds(double frameSeconds, bool periodPressed, bool commaPressed, bool waitForCache);
    // Places every orbit-following body at timeStep + stepFraction and copies the world positions.
    void placeBodies();

    // Allocates the cache, fills the steps before the start step and launches the worker.
    void startWorker();
    // Asks the worker to stop and waits for its acknowledgement (at most `timeoutMs`); true when it stopped and
    // was joined. A worker that does not answer is left detached with the cache it writes into.
    bool shutdownWorker(int timeoutMs = 5000);
    bool workerRunning() const { return worker.joinable(); }

    // Cached position of body `index` at `step` (clamped below cachedUpTo); zero when there is no cache.
    Vec3d cachedPosition(uint64_t step, uint32_t index) const;

    std::unique_ptr<CachedPosition[]> stateCache; // slot-major: entry slot · cacheObjectCount + index
    std::atomic<uint64_t> cachedUpTo{0};          // first step not yet computed (release store by the worker)
    bool cacheResetPending = false;               // guarded by cacheMutex
    uint64_t cacheSlotCount = DefaultCacheSlotCount;
    uint64_t cacheObjectCount = 0; // bodies in the cache layout, fixed when the worker starts
    std::mutex cacheMutex;
    double timeRemainder = 0.0; // real seconds not yet turned into steps (before the time factor)
    double stepFraction = 0.0;  // [0, 1] past timeStep towards the next step
    uint64_t timeStep = 0;
    std::atomic<uint64_t> previousTimeStep{0};
    double timeFactor = 10.0;      // simulated seconds per real second, [0, 1e9]
    double timeStepLength = 100.0; // simulated seconds per step
    std::thread worker;
    std::atomic<bool> stopWorker{false}; // set by the stopping thread, cleared by the worker as its last act
    std::vector<AstroObject*> objects;   // sorted by depth; the scene owns the bodies
    // The body the camera and the settings window start on (the spacecraft of the solar system definition).
    AstroObject* focusTarget = nullptr;
    // The first craft built: its mission is the one time and orbit edits restart and the command line loads, and
    // the orbit lines meet it where it is drawn. Belongs to the scene, which deletes the system first.
    Spacecraft* spacecraft = nullptr;

private:
    // What the worker needs of one body, copied on the main thread when it starts.
    struct CacheBody {
        AstroObject* body;
        int32_t parentIndex; // cache entry to add, or -1 to place relative to the origin
    };
    void workerLoop(std::vector<CacheBody> bodies, uint64_t startStep, double stepLength);
    // Fills `slots` slots from step t (a multiple of 4) for the given bodies; returns the step after the last.
    // `stepLength` is the step length the worker started with.
    uint64_t fillSlots(const std::vector<CacheBody>& bodies, std::vector<OrbitKernel>& kernels, uint64_t t,
                       uint64_t slots, double stepLength);
};

} // namespace Demo
