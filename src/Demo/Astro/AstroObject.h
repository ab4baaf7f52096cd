#pragma once
// Base of every astronomical body and of the astro system: radius, density (hence μ), spin, the owned Kepler
// orbit and the place in the parent hierarchy below the system.
#include "Demo/Astro/Orbit.h"
#include "Demo/Scene/FollowTarget.h"
#include "Demo/Scene/SceneObject.h"

#include <cstdint>

namespace Demo {

struct FrameContext;

class AstroSystem;
class AstroSurface;
class Atmosphere;
class OrbitRenderer;

enum AstroType : uint32_t {
    ASTRO_OBJECT = 0,
    ASTRO_STAR = 1,
    ASTRO_PLANET_SOLID = 2,
    ASTRO_PLANET_GAS = 3,
    ASTRO_SPACECRAFT = 4,
};

// The 16-byte block the shaders read: world position and radius.
struct AstroObjectBlock {
    float position[3];
    float radius;
};
static_assert(sizeof(AstroObjectBlock) == 16);

class AstroObject : public SceneObject, public FollowTarget {
public:
    AstroObject(std::string name, Scene* scene);
    ~AstroObject() override;

    // Object block, the 16-byte position-and-radius block, then the visual components (orbit line, atmosphere,
    // surface) from the installed body visuals.
    void Create() override;
    // Spin, then the components and the transform.
    void Update(const FrameContext& frame) override;
    // position from the transform, the 16-byte block, then the object block.
    void UpdateUniforms(const FrameContext& frame) override;

    virtual uint32_t typeCode() const { return ASTRO_OBJECT; }
    // The first component that is a surface or an atmosphere, or null.
    virtual AstroSurface* getSurface();
    virtual Atmosphere* getAtmosphere();
    virtual AstroSystem* getSystem() { return system; }
    // True while the body flies under its own navigation instead of following its orbit (a spacecraft in free
    // flight); the system then leaves its transform alone.
    virtual bool movesFreely() const { return false; }
    // Stops threads of the body that read the system's position cache (called before the cache goes away).
    virtual void stopWorkers() {}
    // Simulated time was set to `step` from outside the time advance (a jump): a body with a state of its own
    // (the spacecraft) takes up its state at that step.
    virtual void timeJumped(uint64_t step) { (void)step; }

    // μ = G·(4/3)π r³ ρ of this body, world units³/s².
    double gravitationalParameter() const { return Demo::gravitationalParameter(radius, density); }
    // μ of the body this one orbits (0 without parent).
    double parentGravitationalParameter() const { return parent ? parent->gravitationalParameter() : 0.0; }
    FollowTarget* followTarget() override { return this; }
    float followRadius() const override { return radius; }
    // The orbit relative to the parent, where the parent is listed in the system.
    bool relativeMotion(Vec3d& position, Vec3d& velocity) override;
    bool demoMotion(int32_t referenceIndex, Vec3d& position, Vec3d& velocity) override;
    // The state as drawn this frame (world units, world units per second): the orbit at the current step and
    // fraction; a body in free flight has its own.
    virtual void drawnMotion(Vec3d& position, Vec3d& velocity);

    // Number of steps up the parent chain to a null parent (the system 0, the star 1, planets 2, moons 3).
    int depth() const;

    float position[3] = {0.0f, 0.0f, 0.0f}; // world position as last uploaded
    float radius = 1.0f;                    // world units
    StorageBinding* objectUniform = nullptr;
    float rotationSpeed[3] = {0.0f, 0.0f, 0.0f}; // spin rate about x, y, z (angle = 0.01 · speed · seconds)
    double rotationEpoch = 0.0;                  // seconds of simulated time at which the spin angle is zero
    double density = 1.0;
    bool followsOrbit = true;
    float worldPosition[3] = {0.0f, 0.0f, 0.0f}; // transform position copied at the end of the system's update
    int32_t index = 0;                           // position in the system's object list
    Orbit orbit;
    OrbitRenderer* orbitRenderer = nullptr; // attached by the body visuals
    AstroObject* parent = nullptr;
    AstroSystem* system = nullptr;

protected:
    // Subtracts the motion of body `index` of the system, when there is one.
    void subtractMotionOf(int32_t index, Vec3d& position, Vec3d& velocity) const;
};

// Spin angles (radians, about x, y, z) of a body at `seconds` of simulated time past its rotation epoch, in
// 32-bit arithmetic as the spin is narrowed.
Vec3d spinAngles(const float rotationSpeed[3], double seconds);

} // namespace Demo
