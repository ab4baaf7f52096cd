#include "Demo/Scenario/AstroFactory.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Astro/BodyVisuals.h"
#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/Spacecraft.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace Demo::AstroFactory {
namespace {

void checkSystem(const char* function, AstroSystem* system) {
    if (!system)
        throw std::runtime_error(std::string(function) + ": missing AstroSystem!");
    if (!system->scene)
        throw std::runtime_error(std::string(function) + ": missing Scene!");
}

// Steps shared by every kind, up to the kind-specific settings.
void placeInSystem(AstroObject* object, const AstroCreateInfo& info, AstroSystem* system) {
    system->scene->add(object);
    object->Create();
    if (info.parent)
        object->parent = info.parent;
    system->addObject(object);

    std::copy(info.position, info.position + 3, object->position);
    object->radius = info.radius;
    object->density = info.density;
    if (info.scale[0] != 1.0f || info.scale[1] != 1.0f || info.scale[2] != 1.0f) {
        object->transform->scale = {info.scale[0], info.scale[1], info.scale[2]};
        object->transform->markDirty();
        object->transform->updateMatrix();
    }
    if (info.orbit) {
        const OrbitCreateInfo& o = *info.orbit;
        Orbit& orbit = object->orbit;
        std::copy(o.color, o.color + 3, orbit.color);
        orbit.colorExtra = o.colorExtra;
        orbit.a = o.a;
        orbit.e = o.e;
        orbit.i = o.i;
        orbit.ascendingNode = o.ascendingNode;
        orbit.argPeriapsis = o.argPeriapsis;
        orbit.epoch = o.epoch;
    }
}

void applyAtmosphere(Planetoid* planet, const AstroCreateInfo& info) {
    if (!info.hasAtmosphere || !info.atmosphere)
        return;
    planet->atmosphereSettings = *info.atmosphere;
    planet->hasAtmosphereSettings = true;
}

// The body's components take the settings just stored in it.
void applyVisuals(AstroObject* body) {
    if (BodyVisuals* visuals = servicesOf(body).bodyVisuals)
        visuals->apply(body);
}

} // namespace

Star* BuildStar(const StarCreateInfo& info, AstroSystem* system) {
    checkSystem("AstroFactory::BuildStar", system);
    Star* star = new Star(info.name, system->scene);
    if (!system->scene->primaryStar)
        system->scene->primaryStar = star;
    placeInSystem(star, info, system);
    if (info.hasAtmosphere && info.atmosphere)
        star->atmosphereSettings = *info.atmosphere;
    std::copy(info.lightColor, info.lightColor + 3, star->light.color);
    star->light.intensity = info.lightIntensity;
    applyVisuals(star);
    return star;
}

PlanetSolid* BuildSolidPlanet(const PlanetSolidCreateInfo& info, AstroSystem* system) {
    checkSystem("AstroFactory::BuildSolidPlanet", system);
    PlanetSolid* planet = new PlanetSolid(info.name, system->scene);
    placeInSystem(planet, info, system);
    applyAtmosphere(planet, info);
    const SolidSurfaceCreateInfo& in = info.surface;
    SolidSurfaceCreateInfo& out = planet->surfaceSettings;
    planet->elevationScale = in.elevationScale;
    out.elevationScale = in.elevationScale;
    out.tessellationFactor = in.tessellationFactor;
    out.subdivisionMax = in.subdivisionMax;
    out.subdivisionMin = in.subdivisionMin;
    out.biomeCount = std::clamp(in.biomeCount, 0, SolidSurfaceCreateInfo::MaxBiomes);
    std::copy(in.biomes, in.biomes + out.biomeCount, out.biomes);
    out.noiseLayerCount = std::clamp(in.noiseLayerCount, 0, SolidSurfaceCreateInfo::MaxNoiseLayers);
    std::copy(in.noiseLayers, in.noiseLayers + out.noiseLayerCount, out.noiseLayers);
    applyVisuals(planet);
    return planet;
}

PlanetGas* BuildGasPlanet(const PlanetGasCreateInfo& info, AstroSystem* system) {
    checkSystem("AstroFactory::BuildGasPlanet", system);
    PlanetGas* planet = new PlanetGas(info.name, system->scene);
    placeInSystem(planet, info, system);
    applyAtmosphere(planet, info);
    planet->elevationScale = info.surface.elevationScale;
    applyVisuals(planet);
    return planet;
}

Spacecraft* BuildSpacecraft(const SpacecraftCreateInfo& info, AstroSystem* system) {
    checkSystem("AstroFactory::BuildSpacecraft", system);
    Spacecraft* craft = new Spacecraft(info.name, system->scene, "Vessel_11");
    placeInSystem(craft, info, system);
    if (!system->spacecraft)
        system->spacecraft = craft;
    return craft;
}

} // namespace Demo::AstroFactory
