#pragma once
// The spacecraft's body: an astronomical object (type code 4) with its simulated state, flown by its
// navigation along the mission plan, with its trajectory predicted on a thread of its own.
#include "Demo/Astro/AstroObject.h"
#include "Demo/Surfaces/AstroSurface.h"

#include <string>
#include <vector>

namespace Demo {

class MissionPlan;
class SpacecraftNavigation;
class SpacecraftPrediction;
class SpacecraftVisual;
class ParticleSystem;

class Spacecraft : public AstroObject {
public:
    Spacecraft(std::string name, Scene* scene, std::string modelName);
    ~Spacecraft() override;

    // The body's creation (object blocks, orbit line), then the mission plan, the navigation and the prediction;
    // with a device also the model, its materials and lights, and the exhaust particles.
    void Create() override;
    // Shadow and lights blocks, thrusters and their exhaust, then the body's blocks.
    void UpdateUniforms(const FrameContext& frame) override;
    // The model, then the components (orbit line, prediction line, markers).
    void RecordMain(const FrameContext& frame, CommandContext* context) override;
    uint32_t typeCode() const override { return ASTRO_SPACECRAFT; }
    // In free flight the navigation places the craft, not its orbit.
    bool movesFreely() const override;
    // Stops the prediction worker (before the system releases the position cache it reads).
    void stopWorkers() override;
    // The navigation takes up the state at the new step; the exhaust of the old place is cleared.
    void timeJumped(uint64_t step) override;
    // The predicted state at the current step relative to the body that dominated it; before the prediction
    // reaches the step, the drawn state relative to the strongest body.
    bool relativeMotion(Vec3d& position, Vec3d& velocity) override;
    void drawnMotion(Vec3d& position, Vec3d& velocity) override;

    MissionPlan* missionPlan = nullptr;
    SpacecraftNavigation* navigation = nullptr;
    SpacecraftPrediction* prediction = nullptr;

    // World units at the system's current time step, the step before, and interpolated for drawing.
    Vec3d simPosition, previousSimPosition, renderPosition;
    // World units per second, likewise.
    Vec3d simVelocity, previousSimVelocity, renderVelocity;
    // Drawn minus simulated position (world units): the orbit lines, the prediction line and the markers,
    // computed at whole time steps, are shifted by it so that they meet the drawn craft.
    Vec3d renderOffset;
    Vec3d thrustAcceleration; // world units per second², this frame
    bool rcsActive = false;
    bool rcsActivePrevious = false;
    std::string modelName;               // asset name under assets/
    SpacecraftVisual* visual = nullptr;  // owned; null without a device
    ParticleSystem* particles = nullptr; // a component: the exhaust

private:
    std::vector<OccluderCandidate> occluders; // reused every frame
};

} // namespace Demo
