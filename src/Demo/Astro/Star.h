#pragma once
// A star: lights the system. Its light block is uploaded every frame for the shaders that shade by it.
#include "Demo/Astro/AstroCreateInfo.h"
#include "Demo/Astro/AstroObject.h"

#include <cstddef>

namespace Demo {

struct FrameContext;

// Light block (544 bytes, uniform): colour, intensity and the star's world position; the rest stays zero.
struct StarLight {
    float color[3];
    float intensity;
    float position[3];
    float reserved[129];
};
static_assert(sizeof(StarLight) == 544);
static_assert(offsetof(StarLight, color) == 0);
static_assert(offsetof(StarLight, intensity) == 12);
static_assert(offsetof(StarLight, position) == 16);
static_assert(offsetof(StarLight, reserved) == 28);

class Star : public AstroObject {
public:
    Star(std::string name, Scene* scene);
    ~Star() override;

    // The star's own atmosphere settings (radius 120, falloff 2), the light binding, then the AstroObject
    // creation (which attaches the visuals from those settings).
    void Create() override;
    // Spin and components, then the light block with the star's world position.
    void Update(const FrameContext& frame) override;

    uint32_t typeCode() const override { return ASTRO_STAR; }

    StorageBinding* lightUniform = nullptr;
    StarLight light{};
    // Scattering values for the star's atmosphere component (set at Create, replaced by the factory).
    AtmosphereCreateInfo atmosphereSettings;
    float elevationScale = 0.1f;
};

} // namespace Demo
