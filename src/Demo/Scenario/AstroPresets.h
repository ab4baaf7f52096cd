#pragma once
// Preset data of the built-in solar system: atmospheres, terrain noise layers and surface biomes.
#include "Demo/Astro/AstroCreateInfo.h"

#include <memory>
#include <string>

namespace Demo {

// A solid body's create info with its name, parent, radius and density and an orbit record attached (all
// elements 0, colour white).
PlanetSolidCreateInfo solidCreateInfo(const std::string& name, AstroObject* parent, float radius, double density);

// Atmosphere preset k (1 to 14) scaled by s; any other k gives the default record (scale unused).
std::unique_ptr<AtmosphereCreateInfo> atmospherePreset(int preset, float scale);

// Sets the elevation scale and, for presets 0 to 9, replaces the noise layers.
void applyNoisePreset(SolidSurfaceCreateInfo& surface, int preset, float elevationScale);

// Replaces the biomes with preset 1 to 14; any other number changes nothing.
void applyBiomePreset(SolidSurfaceCreateInfo& surface, int preset);

} // namespace Demo
