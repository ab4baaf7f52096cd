#pragma once
// Builds fully wired bodies from create-info records: created, placed in the scene, initialised, added to the
// system's hierarchy and loaded with orbit, atmosphere and surface settings. The scene owns what is returned.
#include "Demo/Astro/AstroCreateInfo.h"

namespace Demo {

class AstroSystem;
class Star;
class PlanetSolid;
class PlanetGas;
class Spacecraft;

namespace AstroFactory {

// Each throws std::runtime_error "<function>: missing AstroSystem!" / ": missing Scene!" before creating
// anything, and the system's parent error when the parent is not in the system (the body then stays in the
// scene but not in the system).
Star* BuildStar(const StarCreateInfo& info, AstroSystem* system);
PlanetSolid* BuildSolidPlanet(const PlanetSolidCreateInfo& info, AstroSystem* system);
PlanetGas* BuildGasPlanet(const PlanetGasCreateInfo& info, AstroSystem* system);
Spacecraft* BuildSpacecraft(const SpacecraftCreateInfo& info, AstroSystem* system);

} // namespace AstroFactory
} // namespace Demo
