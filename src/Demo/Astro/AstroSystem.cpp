#include "Demo/Astro/AstroSystem.h"

#include "Demo/Scene/KeyBindings.h"

#include "Demo/Astro/Star.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/InputState.h"
#include "Demo/Scene/Scene.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>
#include <stdexcept>

namespace Demo {

TimeAdvance computeTimeAdvance(double frameSeconds, double timeRemainder, double timeFactor, double timeStepLength) {
    TimeAdvance r;
    r.scaled = (frameSeconds + timeRemainder) * timeFactor;
    // A step length that is not positive, or a NaN, gives no steps rather than an undefined conversion.
    double steps = timeStepLength > 0.0 ? r.scaled / timeStepLength : 0.0;
    r.steps = steps > 0.0 ? uint64_t(std::min(steps, 1e15)) : 0;
    return r;
}

AstroSystem::AstroSystem(std::string name_, Scene* scene_) : AstroObject(std::move(name_), scene_) {
    radius = 1000.0f;
    density = 1.0;
    system = this;
}

AstroSystem::~AstroSystem() {
    shutdownWorker();
    objects.clear();
}

void AstroSystem::Start() {
    SceneObject::Start();
    startWorker();
}

void AstroSystem::Update(const FrameContext& frame) {
    AstroObject::Update(frame);
    const InputState* input = frame.keys();
    bool period = pressed(input, KeyAction::TimeFaster);
    bool comma = pressed(input, KeyAction::TimeSlower);
    if (frame.frame.fixedFrameSeconds > 0.0)
        advanceTimeSeconds(frame.frame.fixedFrameSeconds, period, comma, true);
    else
        advanceTime(frame.frame.frameTime, period, comma);
    placeBodies();
}

void AstroSystem::advanceTime(float frameMilliseconds, bool periodPressed, bool commaPressed) {
    advanceTimeSeconds(double(frameMilliseconds) * 0.001, periodPressed, commaPressed, false);
}

void AstroSystem::advanceTimeSeconds(double frameSeconds, bool periodPressed, bool commaPressed, bool waitForCache) {
    // "." and "," scale the factor by 4; the remainder (real seconds) is rescaled so the simulated remainder stays.
    if (periodPressed) {
        timeFactor *= 4.0;
        timeRemainder *= 0.25;
    }
    if (commaPressed) {
        timeFactor *= 0.25;
        timeRemainder *= 4.0;
    }
    timeFactor = timeFactor >= 0.0 ? std::min(timeFactor, 1e9) : 0.0; // NaN becomes 0 as well

    TimeAdvance advance = computeTimeAdvance(frameSeconds, timeRemainder, timeFactor, timeStepLength);
    // Stall: never run past what the worker has cached; slow time down instead (not below ~0.1) and give the
    // worker time. Without a running worker there is nothing to wait for. A fixed-step frame waits for the worker
    // with the factor kept, unless the worker stops making progress for CacheWaitLimit (then the rule above).
    if (workerRunning()) {
        auto lastProgress = std::chrono::steady_clock::now();
        uint64_t seen = cachedUpTo.load(std::memory_order_acquire);
        while (previousTimeStep.load(std::memory_order_relaxed) + 4096 + 2 * advance.steps >=
               cachedUpTo.load(std::memory_order_acquire)) {
            if (waitForCache) {
                uint64_t now = cachedUpTo.load(std::memory_order_acquire);
                if (now != seen) {
                    seen = now;
                    lastProgress = std::chrono::steady_clock::now();
                }
                if (std::chrono::steady_clock::now() - lastProgress < CacheWaitLimit) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
            }
            if (timeFactor > double(0.1f))
                timeFactor *= 0.25;
            advance = computeTimeAdvance(frameSeconds, timeRemainder, timeFactor, timeStepLength);
            std::this_thread::sleep_for(std::chrono::milliseconds(32));
        }
    }
    double rest = advance.scaled - double(advance.steps) * timeStepLength;
    timeRemainder = timeFactor > 0.0 ? std::max(0.0, rest / timeFactor) : 0.0;
    previousTimeStep.store(timeStep, std::memory_order_relaxed);
    timeStep += advance.steps;
    const AstroSystem* clock = system ? system : this;
    double fraction =
        clock->timeStepLength > 0.0 ? clock->timeFactor * clock->timeRemainder / clock->timeStepLength : 0.0;
    stepFraction = fraction > 0.0 ? std::min(fraction, 1.0) : 0.0;
}

void AstroSystem::placeBodies() {
    for (AstroObject* object : objects) {
        if (!object->followsOrbit || object->movesFreely())
            continue;
        object->transform->position = computeObjectPos(object, timeStep, stepFraction);
        object->transform->markDirty();
        object->transform->updateMatrix();
    }
    for (AstroObject* object : objects) {
        Vec3d p = object->transform->worldPosition();
        object->worldPosition[0] = float(p.x);
        object->worldPosition[1] = float(p.y);
        object->worldPosition[2] = float(p.z);
    }
}

void AstroSystem::addObject(AstroObject* object) {
    if (!object)
        throw std::runtime_error("AstroSystem.addObject(): object is null!");
    if (object->parent && std::find(objects.begin(), objects.end(), object->parent) == objects.end())
        throw std::runtime_error("AstroSystem.addObject(): parent of object must already be in the system!");
    // The cache layout (and every reader's index into it) is fixed when the worker starts; re-sorting the list
    // afterwards would shift indices under the readers.
    if (worker.joinable())
        throw std::runtime_error("AstroSystem.addObject(): objects must be added before the system starts!");
    if (!object->parent)
        object->parent = this;
    object->system = this;
    objects.push_back(object);
    std::stable_sort(objects.begin(), objects.end(),
                     [](const AstroObject* l, const AstroObject* r) { return l->depth() < r->depth(); });
    for (size_t k = 0; k < objects.size(); ++k)
        objects[k]->index = int32_t(k);
}

Vec3d AstroSystem::computeObjectPos(const AstroObject* object, uint64_t step, double fraction) const {
    double t = double(step) * timeStepLength + fraction * timeStepLength;
    Vec3d p;
    int guard = 0;
    for (const AstroObject* o = object; o && guard < 1024; o = o->parent, ++guard)
        p += orbitPosition(o->orbit, t, o->parentGravitationalParameter());
    return p;
}

Vec3d AstroSystem::computeObjectVel(const AstroObject* object, uint64_t step, double fraction) const {
    double t = double(step) * timeStepLength + fraction * timeStepLength;
    Vec3d v;
    int guard = 0;
    for (const AstroObject* o = object; o && guard < 1024; o = o->parent, ++guard)
        v += orbitVelocity(o->orbit, t, o->parentGravitationalParameter());
    return v;
}

AstroObject* AstroSystem::getDominantObject(AstroObject* object) const {
    if (!object || objects.empty())
        return nullptr;
    auto narrowed = [](const Vec3d& p) { return Vec3d{double(float(p.x)), double(float(p.y)), double(float(p.z))}; };
    Vec3d from = narrowed(object->transform->worldPosition());
    AstroObject* best = nullptr;
    double bestScore = 0.0;
    for (AstroObject* candidate : objects) {
        if (candidate == object)
            continue;
        double d = length(narrowed(candidate->transform->worldPosition()) - from);
        if (d < 1e-9)
            continue;
        double score = candidate->gravitationalParameter() / (d * d);
        if (score > bestScore) {
            bestScore = score;
            best = candidate;
        }
    }
    return best;
}

void AstroSystem::setTimeStep(uint64_t step) {
    std::lock_guard<std::mutex> lock(cacheMutex);
    timeStep = step;
    previousTimeStep.store(step, std::memory_order_relaxed);
    cachedUpTo.store(step & ~uint64_t(3), std::memory_order_release);
    cacheResetPending = true;
}

void AstroSystem::jumpToTimeStep(uint64_t step) {
    setTimeStep(step);
    // The cache starts over at the new step. Left empty, the next advance would take it for a worker that cannot
    // keep up and quarter the time factor until it caught up, which outside the demo nothing restores. Wait
    // (bounded) for the reach of a frame of a full second at the current factor, as the advance demands.
    if (workerRunning()) {
        uint64_t frameSteps = computeTimeAdvance(1.0, 0.0, timeFactor, timeStepLength).steps;
        uint64_t needed = step + 4096 + 2 * frameSteps + 4;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (cachedUpTo.load(std::memory_order_acquire) <= needed && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (AstroObject* object : objects)
        object->timeJumped(step);
}

Vec3d AstroSystem::cachedPosition(uint64_t step, uint32_t index) const {
    uint64_t upTo = cachedUpTo.load(std::memory_order_acquire);
    if (!stateCache || index >= cacheObjectCount || upTo == 0)
        return {};
    step = std::min(step, upTo - 1);
    const CachedPosition& c = stateCache[((step / 4) % cacheSlotCount) * cacheObjectCount + index];
    return {c.x, c.y, c.z};
}

uint64_t AstroSystem::fillSlots(const std::vector<CacheBody>& bodies, std::vector<OrbitKernel>& kernels, uint64_t t,
                                uint64_t slots, double stepLength) {
    const size_t count = bodies.size();
    {
        // The settings window edits orbits, radii and densities under the cache lock; an edit shows from the
        // next batch on.
        std::lock_guard<std::mutex> lock(cacheMutex);
        for (size_t k = 0; k < count; ++k)
            kernels[k] = OrbitKernel(bodies[k].body->orbit, bodies[k].body->parentGravitationalParameter());
    }
    const double L = stepLength;
    for (uint64_t s = 0; s < slots; ++s, t += 4) {
        CachedPosition* slot = &stateCache[((t / 4) % cacheSlotCount) * count];
        double seconds = double(t) * L;
        for (size_t k = 0; k < count; ++k) {
            Vec3d p = kernels[k].position(seconds);
            int32_t pi = bodies[k].parentIndex;
            if (pi >= 0) {
                // Parents precede their children, so the parent's entry of this slot is already written.
                p.x += slot[pi].x;
                p.y += slot[pi].y;
                p.z += slot[pi].z;
            }
            slot[k] = {p.x, p.y, p.z};
        }
    }
    return t;
}

void AstroSystem::startWorker() {
    if (worker.joinable())
        throw std::runtime_error("AstroSystem.startWorker(): the cache worker is already running!");
    timeStep = StartTimeStep;
    cacheObjectCount = objects.size();
    const AstroObject* star = scene ? scene->primaryStar : nullptr;
    std::vector<CacheBody> bodies;
    bodies.reserve(objects.size());
    for (size_t k = 0; k < objects.size(); ++k) {
        AstroObject* p = objects[k]->parent;
        bool listed =
            p && p != this && p != star && p->index >= 0 && size_t(p->index) < k && objects[size_t(p->index)] == p;
        bodies.push_back({objects[k], listed ? p->index : -1});
    }
    // Pages are touched by the worker as it fills them; nothing is zeroed here.
    stateCache.reset(new CachedPosition[cacheSlotCount * std::max<uint64_t>(cacheObjectCount, 1)]);
    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        cacheResetPending = false;
    }
    // The steps before the start step are claimed valid from the start, so compute them now.
    std::vector<OrbitKernel> kernels(bodies.size());
    uint64_t firstStep = 0;
    uint64_t startSlots = std::min<uint64_t>(StartTimeStep / 4, cacheSlotCount);
    if (StartTimeStep / 4 > cacheSlotCount)
        firstStep = StartTimeStep - 4 * cacheSlotCount;
    fillSlots(bodies, kernels, firstStep, startSlots, timeStepLength);
    cachedUpTo.store(StartTimeStep, std::memory_order_release);
    stopWorker.store(false, std::memory_order_relaxed);
    worker = std::thread(&AstroSystem::workerLoop, this, std::move(bodies), StartTimeStep, timeStepLength);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

void AstroSystem::workerLoop(std::vector<CacheBody> bodies, uint64_t startStep, double stepLength) {
    const uint64_t ringSteps = 4 * cacheSlotCount;
    std::vector<OrbitKernel> kernels(bodies.size());
    uint64_t t = startStep, b = startStep;
    if (stopWorker.load(std::memory_order_relaxed)) {
        stopWorker.store(false, std::memory_order_release);
        return;
    }
    for (;;) {
        uint64_t previous = previousTimeStep.load(std::memory_order_relaxed);
        if (t + CacheHistorySteps > previous + ringSteps) {
            // As far ahead as the ring allows.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        } else {
            if (t + ringSteps <= previous) {
                // The whole ring lies behind the main thread (time was set far ahead): skip to its history limit.
                t = b = (previous - CacheHistorySteps) & ~uint64_t(3);
            }
            t = fillSlots(bodies, kernels, t, BatchSlots, stepLength);
            b += 4 * BatchSlots;
            t = b;
        }
        {
            std::lock_guard<std::mutex> lock(cacheMutex);
            if (cacheResetPending) {
                t = b = cachedUpTo.load(std::memory_order_relaxed);
                cacheResetPending = false;
            } else {
                cachedUpTo.store(t, std::memory_order_release);
            }
        }
        if (stopWorker.load(std::memory_order_acquire)) {
            stopWorker.store(false, std::memory_order_release);
            return;
        }
    }
}

bool AstroSystem::shutdownWorker(int timeoutMs) {
    // Threads of the bodies read the cache: they stop first.
    for (AstroObject* object : objects)
        object->stopWorkers();
    if (!worker.joinable())
        return true;
    stopWorker.store(true, std::memory_order_release);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (stopWorker.load(std::memory_order_acquire)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            std::cout << "AstroSystem: the cache worker did not stop within " << timeoutMs
                      << " ms; leaving it running detached" << std::endl;
            worker.detach();
            (void)stateCache.release(); // it may still write into the cache
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    worker.join();
    return true;
}

} // namespace Demo
