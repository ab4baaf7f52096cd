#pragma once
// The scattering parameters of a body's atmosphere. The component holds and uploads them every frame; the
// solid planet surface reads them for its sky light, and the atmosphere passes ray-march the shell with them.
#include "Demo/Scene/SceneComponent.h"

#include <cstddef>

class DataSet;
struct StorageBinding;

namespace Demo {

struct FrameContext;

class AstroObject;
struct AtmosphereCreateInfo;

// The atmosphere block (32 bytes, a uniform block).
struct AtmosphereBlock {
    float rayleigh[3] = {0.0058f, 0.0135f, 0.0331f}; // scattering coefficients per colour channel
    float radius = 120.0f;                           // shell height above the body's radius, world units
    float mie = 0.002f;
    float mieG = 0.76f; // phase asymmetry
    float densityFalloff = 4.0f;
    float rayleighFactor = 0.25f;
};
static_assert(sizeof(AtmosphereBlock) == 32);
static_assert(offsetof(AtmosphereBlock, rayleigh) == 0);
static_assert(offsetof(AtmosphereBlock, radius) == 12);
static_assert(offsetof(AtmosphereBlock, mie) == 16);
static_assert(offsetof(AtmosphereBlock, mieG) == 20);
static_assert(offsetof(AtmosphereBlock, densityFalloff) == 24);
static_assert(offsetof(AtmosphereBlock, rayleighFactor) == 28);

// The block's values in create-info order (radius; Rayleigh r, g, b; Mie; Mie G; falloff; Rayleigh factor).
AtmosphereBlock toAtmosphereBlock(const AtmosphereCreateInfo& info);

class Atmosphere : public SceneComponent {
public:
    // `owner` is the body that carries the atmosphere.
    explicit Atmosphere(SceneObject* owner);
    ~Atmosphere() override;

    // Its own 32-byte record in the global uniform storage.
    void CreateUniform() override;
    // Writes the block into this frame's slot.
    void Update(const FrameContext& frame) override;
    Atmosphere* asAtmosphere() override { return this; }

    // Takes the eight values of a create info (the factory's step for bodies with atmosphere settings).
    void apply(const AtmosphereCreateInfo& info);

    AstroObject* body = nullptr;
    AtmosphereBlock block;
    StorageBinding* uniform = nullptr;
    // This frame: the sky-view table (set 2 of the surface's draw) from which a solid planet composites the air
    // over its own ground; null when the atmosphere pass composites it. Set by the atmosphere manager.
    DataSet* groundAir = nullptr;
};

} // namespace Demo
