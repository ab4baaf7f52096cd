#pragma once
// Planets and moons: bodies with a surface and an atmosphere. Solid bodies carry the terrain settings (noise
// layers and biomes) that their surface generator consumes; gas planets only an elevation scale.
#include "Demo/Astro/AstroCreateInfo.h"
#include "Demo/Astro/AstroObject.h"

namespace Demo {

class Planetoid : public AstroObject {
public:
    using AstroObject::AstroObject;

    // What the factory applied: the atmosphere component and the surface take these values.
    AtmosphereCreateInfo atmosphereSettings;
    bool hasAtmosphereSettings = false;
    float elevationScale = 0.1f;
};

class PlanetSolid : public Planetoid {
public:
    using Planetoid::Planetoid;

    uint32_t typeCode() const override { return ASTRO_PLANET_SOLID; }

    // Tessellation, biomes and noise layers (at most eight of each in use).
    SolidSurfaceCreateInfo surfaceSettings;
};

class PlanetGas : public Planetoid {
public:
    using Planetoid::Planetoid;

    uint32_t typeCode() const override { return ASTRO_PLANET_GAS; }
};

} // namespace Demo
