#include "Demo/Spacecraft/SpacecraftNavigation.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/KeyBindings.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/FlightPipelines.h"
#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/PredictionLine.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Demo/Spacecraft/SpacecraftPrediction.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Pipelines/PipelineGraphics.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <sstream>

namespace Demo {

void collectMarkers(const std::vector<Maneuver>& maneuvers, uint64_t now, std::vector<MarkerRequest>& out,
                    bool& dropped) {
    out.clear();
    dropped = false;
    for (const Maneuver& m : maneuvers) {
        if (m.end() <= now)
            continue;
        if (m.time > now)
            out.push_back({m.time, true});
        out.push_back({m.end(), false});
    }
    if (out.size() > MaxMarkers) {
        std::stable_sort(out.begin(), out.end(),
                         [](const MarkerRequest& a, const MarkerRequest& b) { return a.step < b.step; });
        out.resize(MaxMarkers);
        dropped = true;
    }
}

MarkerInstance makeMarker(const float position[3], bool start, float radiusPixels, uint32_t width, uint32_t height) {
    if (width == 0 || height == 0)
        width = 1920, height = 1080;
    MarkerInstance m{};
    std::copy(position, position + 3, m.position);
    // Normalised device coordinates span 2 over the view: a pixel is 2 / size of them.
    m.extent[0] = 2.0f * radiusPixels / float(width);
    m.extent[1] = 2.0f * radiusPixels / float(height);
    const float green[4] = {0.1f, 1.0f, 0.1f, 0.45f}, red[4] = {1.0f, 0.1f, 0.1f, 0.45f};
    std::copy(start ? green : red, (start ? green : red) + 4, m.color);
    return m;
}

SpacecraftNavigation::SpacecraftNavigation(Spacecraft* craft_) : SceneComponent(craft_), craft(craft_) {
    markers.reserve(MaxMarkers);
    markerRequests.reserve(2 * MaxMarkers);
}

SpacecraftNavigation::~SpacecraftNavigation() {
    if (device) {
        if (dataSet)
            unregisterResource(device, dataSet);
    }
    delete markerUniform;
}

void SpacecraftNavigation::CreateUniform() {
    if (owner && owner->scene)
        createGpu(owner->scene->services);
}

void SpacecraftNavigation::createGpu(const Services& services) {
    if (!services.device || !services.uniformStorage)
        return;
    device = services.device;
    markerUniform = new StorageBinding(services.uniformStorage, sizeof(markerBlock));
    dataSet = new DataSet(device, services.descriptorPool,
                          {{1, DATA_STORAGE, services.uniformStorage->descriptorType(), markerUniform}});
    maneuverMarkerPipeline(device);
}

void SpacecraftNavigation::start() {
    system = craft ? craft->system : nullptr;
    gravityBodies.assign(system ? system->objects.size() : 0, GravityBody{});
}

void SpacecraftNavigation::Update(const FrameContext& frame) {
    system = craft ? craft->system : nullptr;
    if (!system)
        return;
    const InputState* input = frame.keys();
    const bool demoRunning = craft->missionPlan && craft->missionPlan->demoActive;

    craft->thrustAcceleration = {};
    craft->followsOrbit = mode == NavOrbit;

    if (pressed(input, KeyAction::FlightMode)) {
        if (mode == NavOrbit) {
            mode = NavFree;
            restartPrediction();
        } else {
            mode = NavOrbit;
            refreshTimer = 100000.0;
        }
    }

    if (mode == NavOrbit) {
        craft->simPosition = system->computeObjectPos(craft, system->timeStep);
        craft->simVelocity = system->computeObjectVel(craft, system->timeStep);
        // Drawn where the system places it; the lines follow the drawn craft as in free flight.
        craft->renderPosition = system->computeObjectPos(craft, system->timeStep, system->stepFraction);
        craft->renderVelocity = system->computeObjectVel(craft, system->timeStep, system->stepFraction);
        craft->renderOffset = craft->renderPosition - craft->simPosition;
        refreshTimer += double(frame.frame.frameTime);
        if (refreshTimer > 250.0) {
            restartPrediction();
            refreshTimer = 0.0;
        }
    } else if (mode == NavFree) {
        integrate();
    }

    if (!demoRunning) {
        if (pressed(input, KeyAction::FacePrograde))
            orientation = OrientPrograde;
        if (pressed(input, KeyAction::FaceNormal))
            orientation = OrientNormal;
        if (pressed(input, KeyAction::FaceRadialIn))
            orientation = OrientRadialIn;
        int s = (held(input, KeyAction::ThrustForward) ? 1 : 0) - (held(input, KeyAction::ThrustBackward) ? 1 : 0);
        if (mode == NavFree && s != 0) {
            double delta = double(frame.frame.frameTime) * 1e-7 * double(s);
            Vec3d f = normalize(craft->transform->rotation.rotate({0.0, 0.0, 1.0}));
            // The nose is −Z: forward thrust pushes along it.
            craft->thrustAcceleration -= f * delta;
            craft->simVelocity -= f * delta;
            restartPrediction();
        }
    }

    if (autoNav) {
        AstroObject* dominant = system->getDominantObject(craft);
        reference = dominant ? dominant : system;
    }
    attitudeControl(demoRunning);
    viewWidth = frame.frame.windowWidth;
    viewHeight = frame.frame.windowHeight;
    updateMarkers();
}

void SpacecraftNavigation::restartPrediction() {
    if (!craft || !craft->prediction || !system)
        return;
    craft->prediction->worker.setReadStep(system->timeStep);
    craft->prediction->restart({craft->simPosition, craft->simVelocity, system->timeStep});
}

void SpacecraftNavigation::timeJumped(uint64_t step) {
    system = craft ? craft->system : nullptr;
    if (!system)
        return;
    if (mode == NavOrbit) {
        refreshTimer = 100000.0; // placed on its orbit anyway; the next update restarts the prediction
        return;
    }
    // Integrating from the old state over the new step's bodies would tear the craft out of its orbit, and a
    // prediction continued across the skipped steps would read cache slots that were never filled.
    bool predicted = false;
    if (mode == NavFree) {
        PredictedState state;
        // The state at step s is the one reached by integrating step s − 1: exactly where flying there leads.
        predicted = step > 0 && craft->prediction && craft->prediction->worker.stateAt(step - 1, state);
        if (predicted) {
            craft->simPosition = {state.position[0], state.position[1], state.position[2]};
            craft->simVelocity = {state.velocity[0], state.velocity[1], state.velocity[2]};
        } else {
            craft->simPosition = system->computeObjectPos(craft, step);
            craft->simVelocity = system->computeObjectVel(craft, step);
        }
    }
    craft->previousSimPosition = craft->renderPosition = craft->simPosition;
    craft->previousSimVelocity = craft->renderVelocity = craft->simVelocity;
    craft->renderOffset = {};
    craft->transform->position = craft->renderPosition;
    craft->transform->markDirty();
    craft->transform->updateMatrix();
    flight.forgetBurns();
    if (predicted) {
        // The prediction from here on stays what it was.
        if (craft->prediction)
            craft->prediction->worker.setReadStep(step);
    } else {
        restartPrediction();
    }
}

Vec3d SpacecraftNavigation::cachedBody(uint64_t step, int32_t index) const {
    if (!system || !system->stateCache || index < 0 || uint64_t(index) >= system->cacheObjectCount)
        return {};
    return BodyCacheView::of(*system).position(step, uint32_t(index));
}

Vec3d SpacecraftNavigation::cachedBodyVelocityAt(uint64_t step, int32_t index) const {
    return cachedBodyVelocity(cachedBody(step, index), cachedBody(step + 4, index), system->timeStepLength);
}

Vec3d SpacecraftNavigation::burnThrust(const Maneuver& m, uint64_t step, const Vec3d& position, const Vec3d& velocity,
                                       int32_t bodyIndex) const {
    int32_t b = std::max(bodyIndex, 0);
    ThrustInput in;
    in.position = position;
    in.velocity = velocity;
    in.bodyPosition = cachedBody(step, b);
    in.bodyVelocity = cachedBodyVelocityAt(step, b);
    in.fallbackNose = normalize(craft->transform->rotation.rotate({0.0, 0.0, -1.0}));
    return thrustFor(m, in);
}

void SpacecraftNavigation::integrate() {
    const uint64_t s0 = system->previousTimeStep.load(std::memory_order_relaxed);
    const uint64_t n = system->timeStep > s0 ? system->timeStep - s0 : 0;
    const double h = system->timeStepLength;
    if (gravityBodies.size() != system->objects.size())
        gravityBodies.resize(system->objects.size());
    for (size_t i = 0; i < gravityBodies.size(); ++i) {
        const AstroObject* o = system->objects[i];
        gravityBodies[i].mu = o->gravitationalParameter();
        gravityBodies[i].radiusSquared = double(o->radius) * double(o->radius);
    }
    gravity.assign(gravityBodies.data(), std::min<size_t>(gravityBodies.size(), system->cacheObjectCount));
    if (craft->prediction)
        craft->prediction->worker.setReadStep(s0);

    static const std::vector<Maneuver> noPlan;
    const std::vector<Maneuver>& plan = craft->missionPlan ? craft->missionPlan->maneuvers : noPlan;
    if (n > 0 && s0 != flownUpTo)
        flownBurn = -1; // a reset, a jump or a spell in another mode: not the flight the burn lines followed
    // The plan may have been edited since the last frame: sorted again (no allocation once sized), the cursor
    // found again; the fixed-frame thrust stays keyed by its burn's start step.
    sortBurns(plan, sortedPlan, planOrder);
    FlightRules rules;
    rules.maneuvers = sortedPlan.data();
    rules.maneuverCount = sortedPlan.size();
    rules.craftIndex = craft->index;
    rules.fallbackNose = normalize(craft->transform->rotation.rotate({0.0, 0.0, -1.0}));
    const BodyCacheView ring = BodyCacheView::of(*system);
    flight.cursor = 0;
    flight.loadedSlot = UINT64_MAX;
    flight.position = craft->simPosition;
    flight.velocity = craft->simVelocity;
    for (uint64_t j = 0; j < n; ++j) {
        const uint64_t s = s0 + j;
        const int32_t k = flightBurnAt(flight, rules, s);
        const int32_t active = k >= 0 ? planOrder[size_t(k)] : -1;
        if (active != flownBurn) {
            if (flownBurn >= 0)
                reportBurn(flownBurn, false, s, flight.position, flight.velocity);
            if (active >= 0)
                reportBurn(active, true, s, flight.position, flight.velocity);
            flownBurn = active;
            flownBurnDeltaV = 0.0;
        }
        FlightStepResult r = flightStep(flight, gravity, ring, rules, s);
        flownBurnDeltaV += length(r.thrust) * h;
        if (n >= 2 && j == n - 2) {
            craft->previousSimPosition = flight.position;
            craft->previousSimVelocity = flight.velocity;
        }
    }
    const Vec3d p = flight.position, v = flight.velocity;
    if (n == 1) {
        craft->previousSimPosition = craft->simPosition;
        craft->previousSimVelocity = craft->simVelocity;
    }
    craft->simPosition = p;
    craft->simVelocity = v;
    if (n > 0)
        flownUpTo = s0 + n;

    const double alpha = system->stepFraction;
    craft->renderPosition = interpolate(craft->previousSimPosition, craft->simPosition, alpha);
    craft->renderVelocity = interpolate(craft->previousSimVelocity, craft->simVelocity, alpha);
    craft->renderOffset = craft->renderPosition - craft->simPosition;
    craft->transform->position = craft->renderPosition;
    craft->transform->markDirty();
    craft->transform->updateMatrix();
}

void SpacecraftNavigation::reportBurn(int32_t burn, bool started, uint64_t step, const Vec3d& position,
                                      const Vec3d& velocity) {
    const Maneuver& m = craft->missionPlan->maneuvers[size_t(burn)];
    const int32_t b = std::max(m.dominantObject, 0);
    std::ostringstream line;
    line << "Burn " << burn + 1 << (started ? " started" : " ended") << " at time step " << step;
    if (!started)
        line << ": delta-v " << std::scientific << std::setprecision(4) << flownBurnDeltaV << std::defaultfloat;
    if (size_t(b) < system->objects.size()) {
        Vec3d relative = velocity - cachedBodyVelocityAt(step, b);
        line << " (" << system->objects[size_t(b)]->name << ": distance " << std::fixed << std::setprecision(3)
             << length(position - cachedBody(step, b)) << ", speed " << std::scientific << std::setprecision(4)
             << length(relative) << ")";
    }
    std::cout << line.str() << std::endl;
}

Quatd SpacecraftNavigation::burnAttitudeAt(const Maneuver& m, uint64_t step, int32_t bodyIndex,
                                           const Quatd& fallback) const {
    PredictedState state;
    if (!craft->prediction || !craft->prediction->worker.stateAt(step, state))
        return fallback;
    Vec3d p{state.position[0], state.position[1], state.position[2]};
    Vec3d v{state.velocity[0], state.velocity[1], state.velocity[2]};
    Vec3d thrust = burnThrust(m, step, p, v, bodyIndex);
    Vec3d bodyPosition = cachedBody(step, std::max(bodyIndex, 0));
    return length(thrust) > 0.0 ? lookRotation(thrust, normalize(p - bodyPosition)) : fallback;
}

void SpacecraftNavigation::attitudeControl(bool demoRunning) {
    if (orientation == OrientNone)
        return;
    AstroObject* body = nullptr;
    DemoCamera* camera = craft->scene ? craft->scene->mainCamera : nullptr;
    if (demoRunning && camera && camera->dominantObject >= 0 && size_t(camera->dominantObject) < system->objects.size())
        body = system->objects[size_t(camera->dominantObject)];
    else
        body = system->getDominantObject(craft);
    if (!body)
        return;

    const uint64_t now = system->timeStep;
    uint64_t previous = system->previousTimeStep.load(std::memory_order_relaxed);
    slewSteps += now > previous ? int64_t(now - previous) : 0;
    if (body != slewReference) {
        slewReference = body;
        slewSteps = 0;
    }

    craft->transform->updateMatrix();
    Quatd rotation = craft->transform->rotation.normalized();
    Vec3d bodyPosition = body->transform->worldPosition();
    Vec3d bodyVelocity =
        orientation == OrientTarget ? Vec3d{} : system->computeObjectVel(body, now, system->stepFraction);
    Vec3d orbitNormal = orbitPlaneNormal(craft->orbit);
    PnrFrame frame = pnrFrame(craft->renderPosition, craft->renderVelocity, bodyPosition, bodyVelocity,
                              mode == NavOrbit ? &orbitNormal : nullptr);
    Quatd target = frameAttitude(frame, orientation, rotation);

    // The current attitude re-derived from the craft's axis, with the frame's up hint.
    Vec3d nose = -rotation.rotate({0.0, 0.0, 1.0});
    Quatd current = lookRotation(nose, frame.defined ? frame.radialOut : Vec3d{0.0, 1.0, 0.0});
    attitude = slerpAttitude(current, target, slewEase(slewSteps)).normalized();

    craft->rcsActive = false;
    Quatd applied = attitude;
    const std::vector<Maneuver>* plan = craft->missionPlan ? &craft->missionPlan->maneuvers : nullptr;
    int32_t active = plan ? activeManeuver(*plan, now) : -1;
    if (active >= 0) {
        const Maneuver& m = (*plan)[size_t(active)];
        uint64_t step = m.continuous ? now : m.time;
        PredictedState state;
        Vec3d p = craft->simPosition, v = craft->simVelocity;
        if (craft->prediction && craft->prediction->worker.stateAt(step, state)) {
            p = {state.position[0], state.position[1], state.position[2]};
            v = {state.velocity[0], state.velocity[1], state.velocity[2]};
        }
        Vec3d thrust = burnThrust(m, step, p, v, body->index);
        craft->thrustAcceleration = thrust;
        if (length(thrust) > 0.0)
            applied = lookRotation(thrust, normalize(p - cachedBody(step, body->index)));
    } else if (plan) {
        BurnWindows w = burnWindows(*plan, now);
        if (w.previousWeight > 1e-7) {
            const Maneuver& m = (*plan)[size_t(w.previous)];
            Quatd B = burnAttitudeAt(m, m.continuous ? m.end() : m.time, body->index, attitude);
            craft->rcsActive = true;
            if (!craft->rcsActivePrevious) {
                burnAttitude = B;
                smoothedBurnAttitude = {0.9 * B.x + 0.1 * attitude.x, 0.9 * B.y + 0.1 * attitude.y,
                                        0.9 * B.z + 0.1 * attitude.z, 0.9 * B.w + 0.1 * attitude.w};
            }
            burnBlend = float(1.0 - w.previousWeight);
            applied = slerpAttitude(attitude, B, (1.0 - std::cos(w.previousWeight * Pi)) / 2.0).normalized();
        }
        if (w.nextWeight > 1e-7) {
            const Maneuver& m = (*plan)[size_t(w.next)];
            Quatd B = burnAttitudeAt(m, m.time, body->index, attitude);
            craft->rcsActive = true;
            if (!craft->rcsActivePrevious) {
                burnAttitude = applied;
                smoothedBurnAttitude = {0.9 * applied.x + 0.1 * B.x, 0.9 * applied.y + 0.1 * B.y,
                                        0.9 * applied.z + 0.1 * B.z, 0.9 * applied.w + 0.1 * B.w};
            }
            burnBlend = float(w.nextWeight);
            applied = slerpAttitude(attitude, B, (1.0 - std::cos(w.nextWeight * Pi)) / 2.0).normalized();
        }
    }
    craft->transform->rotation = applied;
    craft->transform->markDirty();
    craft->transform->updateMatrix();
    craft->rcsActivePrevious = craft->rcsActive;
}

void SpacecraftNavigation::updateMarkers() {
    markers.clear();
    SpacecraftPrediction* prediction = craft->prediction;
    if (!prediction || !craft->missionPlan)
        return;
    bool dropped = false;
    collectMarkers(craft->missionPlan->maneuvers, system->timeStep, markerRequests, dropped);
    if (dropped && !markerOverflowReported) {
        std::cout << "SpacecraftNavigation: more than " << MaxMarkers
                  << " burn markers; only the nearest in time are shown" << std::endl;
        markerOverflowReported = true;
    }
    if (!markerRequests.empty() && prediction->worker.running()) {
        prediction->refreshBodyNow();
        std::lock_guard<std::mutex> lock(prediction->worker.bufferMutex);
        PredictionWorker::RingView view =
            mode == NavFree ? prediction->worker.currentLocked() : prediction->worker.previousLocked();
        PredictionLineInput in = prediction->lineInput(view);
        for (const MarkerRequest& r : markerRequests) {
            if (!prediction->worker.isValid(view, r.step))
                continue;
            float p[3];
            shiftIntoSpace(in, view.ring[r.step % in.ringSize], r.step, p);
            markers.push_back(makeMarker(p, r.start, markerPixels, viewWidth, viewHeight));
        }
    }
    if (markerUniform) {
        std::copy(markers.begin(), markers.end(), markerBlock);
        markerUniform->write(markerBlock);
    }
}

void SpacecraftNavigation::RecordOverlay(const FrameContext&, CommandContext* context) {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    record(context, camera ? camera->dataSet : nullptr);
}

void SpacecraftNavigation::record(CommandContext* context, DataSet* cameraSet) {
    bool lineVisible = craft && craft->prediction && craft->prediction->visible;
    if (!lineVisible || markers.empty() || !dataSet || !cameraSet)
        return;
    PipelineGraphics* pipeline = maneuverMarkerPipeline(device);
    bindFlightPipeline(context, pipeline, cameraSet, dataSet);
    uint32_t instances = uint32_t(markers.size());
    vkCmdDraw(context->commandBuffer, 6, instances, 0, 0); // two triangles per marker, from the vertex index
    context->device->drawCount += instances;
}

} // namespace Demo
