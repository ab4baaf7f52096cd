#include "Demo/Scenario/SolarSystem.h"

#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Surfaces/AtmosphereManager.h"
#include "Demo/Surfaces/SkyBox.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scenario/AstroFactory.h"
#include "Demo/Scenario/AstroPresets.h"
#include "Demo/Scenario/SolarSystemTable.h"
#include "Demo/Spacecraft/Spacecraft.h"

#include <cmath>

namespace Demo {
namespace {

std::unique_ptr<OrbitCreateInfo> orbitOf(const BodyRow& row) {
    auto orbit = std::make_unique<OrbitCreateInfo>();
    orbit->a = row.a;
    orbit->e = row.e;
    orbit->i = row.i;
    orbit->ascendingNode = row.node;
    orbit->argPeriapsis = row.periapsis;
    orbit->epoch = row.epoch;
    orbit->color[0] = row.color[0];
    orbit->color[1] = row.color[1];
    orbit->color[2] = row.color[2];
    return orbit;
}

// Bodies sharing a noise preset get their own part of the noise field.
void shiftNoise(SolidSurfaceCreateInfo& surface, int bodyNumber) {
    float s = float(bodyNumber);
    for (int k = 0; k < surface.noiseLayerCount; ++k) {
        surface.noiseLayers[k].offset[0] += 3.17f * s;
        surface.noiseLayers[k].offset[1] += -1.93f * s;
        surface.noiseLayers[k].offset[2] += 2.41f * s;
    }
}

AstroObject* buildBody(const BodyRow& row, int bodyNumber, AstroObject* parent, AstroSystem* system) {
    if (row.kind == BodyKind::Gas) {
        PlanetGasCreateInfo info;
        info.name = row.name;
        info.parent = parent;
        info.radius = row.radius;
        info.density = row.density;
        info.atmosphere->radius = row.atmosphereScale;
        info.orbit = orbitOf(row);
        return AstroFactory::BuildGasPlanet(info, system);
    }
    PlanetSolidCreateInfo info = solidCreateInfo(row.name, parent, row.radius, row.density);
    info.orbit = orbitOf(row);
    if (row.atmosphere == BodyRowAtmosphereOff) {
        info.atmosphere = atmospherePreset(0, 1.0f);
        info.hasAtmosphere = false;
    } else if (row.atmosphere != BodyRowNoAtmosphere) {
        info.atmosphere = atmospherePreset(row.atmosphere, row.atmosphereScale);
    }
    applyNoisePreset(info.surface, row.noise, row.elevationScale);
    shiftNoise(info.surface, bodyNumber);
    applyBiomePreset(info.surface, row.biome);
    return AstroFactory::BuildSolidPlanet(info, system);
}

} // namespace

void buildSolarSystem(AstroSystem* system) {
    StarCreateInfo sun;
    sun.name = "Sun";
    sun.radius = SunRadius;
    sun.density = SunDensity;
    sun.atmosphere->radius = 25.0f;
    Star* star = AstroFactory::BuildStar(sun, system);

    AstroObject* planet = star;
    AstroObject* earth = nullptr;
    int bodyNumber = 0;
    for (const BodyRow& row : solarSystemBodies()) {
        AstroObject* body = buildBody(row, bodyNumber++, row.moon ? planet : star, system);
        body->rotationSpeed[1] = row.spinY;
        if (!row.moon)
            planet = body;
        if (body->name == CraftParentName)
            earth = body;
    }

    SpacecraftCreateInfo craft;
    craft.name = CraftName;
    craft.parent = earth;
    craft.position[0] = 80.0f;
    craft.scale[0] = craft.scale[1] = craft.scale[2] = 0.1f;
    craft.radius = CraftRadius;
    craft.density = CraftDensity;
    craft.orbit = std::make_unique<OrbitCreateInfo>();
    const Orbit craftOrbit = craftStartOrbit();
    craft.orbit->a = craftOrbit.a;
    craft.orbit->e = craftOrbit.e;
    craft.orbit->i = craftOrbit.i;
    craft.orbit->ascendingNode = craftOrbit.ascendingNode;
    Spacecraft* voyager = AstroFactory::BuildSpacecraft(craft, system);

    // The main camera focuses the spacecraft; the settings window picks it up from here.
    system->focusTarget = voyager;
    if (DemoCamera* camera = system->scene ? system->scene->mainCamera : nullptr) {
        camera->setMode(TARGET_FOCUS);
        camera->setTarget(voyager);
    }
}

AstroSystem* addSolarSystem(Scene& scene) {
    auto* system = new AstroSystem("AstroSystem", &scene);
    scene.add(system);
    system->Create();
    buildSolarSystem(system);
    return system;
}

BuiltScene buildScene(Scene& scene, RenderManager& manager) {
    // The camera first: the solar system hands it its target.
    BuiltScene built;
    auto* camera = new DemoCamera("MainCamera", &scene);
    scene.add(camera);
    camera->Create();
    // The camera carries the sky box, drawn around it at infinity.
    auto* sky = new SkyBox(camera);
    sky->CreateUniform();
    camera->addComponent(sky);
    scene.mainCamera = camera;
    camera->transform->position = {0.0, 0.0, -100.0};
    camera->transform->markDirty();
    camera->transform->updateMatrix();
    built.camera = camera;

    built.system = addSolarSystem(scene);

    // The atmosphere manager takes the scene's atmospheres once every body exists.
    auto* atmospheres = new AtmosphereManager(scene.services, manager.colorTargetBinding, manager.depthTargetBinding);
    atmospheres->init();
    manager.setAtmospheres(atmospheres);
    built.atmospheres = atmospheres;
    return built;
}

} // namespace Demo
