#include "Demo/Scenario/BodyVisualBuilder.h"

#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Spacecraft/OrbitRenderer.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/PlanetSurfaceGas.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"
#include "Demo/Surfaces/StarSurface.h"
#include "Engine/Data/DataStorage.h"

namespace Demo {

namespace {

// Components create their records before they are attached, as the object's hooks expect.
template <class C> C* attachComponent(AstroObject* body, C* component) {
    component->CreateUniform();
    body->addComponent(component);
    return component;
}

void attachOrbitLine(AstroObject* body) {
    GraphicsDevice* device = servicesOf(body).device;
    // The line's own storage: 256 points per region, four regions for the frames in flight.
    DsDeviceMeshSingle* lineStorage = device ? new DsDeviceMeshSingle(device, 100000, "orbit line storage") : nullptr;
    body->orbitRenderer = attachComponent(body, new OrbitRenderer(body, &body->orbit, lineStorage));
}

} // namespace

void BodyVisualBuilder::attach(AstroObject* body) {
    if (!body->orbitRenderer)
        attachOrbitLine(body);
    if (body->getAtmosphere() || body->getSurface())
        return; // attached once
    switch (body->typeCode()) {
    case ASTRO_STAR: {
        auto* star = static_cast<Star*>(body);
        auto* atmosphere = new Atmosphere(star);
        atmosphere->apply(star->atmosphereSettings);
        attachComponent(star, atmosphere);
        auto* surface = new StarSurface(star);
        surface->surfaceBlock.elevationScale = star->elevationScale;
        attachComponent(star, surface);
        break;
    }
    case ASTRO_PLANET_SOLID:
        attachComponent(body, new Atmosphere(body));
        attachComponent(body, new PlanetSurfaceSolid(body, generation));
        break;
    case ASTRO_PLANET_GAS:
        attachComponent(body, new Atmosphere(body));
        attachComponent(body, new PlanetSurfaceGas(body, generation));
        break;
    default:
        break; // the system and the spacecraft bring their own components
    }
}

void BodyVisualBuilder::apply(AstroObject* body) {
    Atmosphere* atmosphere = body->getAtmosphere();
    switch (body->typeCode()) {
    case ASTRO_STAR: {
        auto* star = static_cast<Star*>(body);
        if (atmosphere)
            atmosphere->apply(star->atmosphereSettings);
        if (auto* surface = body->getSurface())
            surface->surfaceBlock.elevationScale = star->elevationScale;
        break;
    }
    case ASTRO_PLANET_SOLID: {
        auto* planet = static_cast<PlanetSolid*>(body);
        if (atmosphere && planet->hasAtmosphereSettings)
            atmosphere->apply(planet->atmosphereSettings);
        if (auto* solid = dynamic_cast<PlanetSurfaceSolid*>(body->getSurface()))
            solid->applySettings(planet->surfaceSettings);
        break;
    }
    case ASTRO_PLANET_GAS: {
        auto* planet = static_cast<PlanetGas*>(body);
        if (atmosphere && planet->hasAtmosphereSettings)
            atmosphere->apply(planet->atmosphereSettings);
        if (auto* surface = body->getSurface())
            surface->surfaceBlock.elevationScale = planet->elevationScale;
        break;
    }
    default:
        break;
    }
}

} // namespace Demo
