#include "Demo/Astro/Planetoid.h"

#include "App/Globals.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/PlanetSurfaceGas.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"

namespace Demo {

static Atmosphere* attachAtmosphere(Planetoid* body) {
    auto* atmosphere = new Atmosphere(body);
    atmosphere->CreateUniform();
    body->addComponent(atmosphere);
    return atmosphere;
}

void PlanetSolid::Create() {
    AstroObject::Create();
    if (!atmosphere)
        atmosphere = attachAtmosphere(this);
    if (!surface) {
        auto* solid = new PlanetSurfaceSolid(this);
        solid->CreateUniform();
        addComponent(solid);
        surface = solid;
    }
}

// Until scenes carry their services, the gas surface takes them from the process-wide handles, and the
// process-wide generator's state goes through the surface's draws and back.
static PlanetSurfaceGas* attachGasSurface(Planetoid* body) {
    Services services;
    services.device = Globals::device;
    services.descriptorPool = Globals::descriptorPool;
    services.meshStorage = Globals::meshStorage;
    services.uniformStorage = Globals::uniformStorage;
    RandomSource random{Globals::random};
    services.random = &random;
    auto* gas = new PlanetSurfaceGas(body, services);
    gas->CreateUniform();
    Globals::random = random.engine;
    body->addComponent(gas);
    return gas;
}

void PlanetGas::Create() {
    AstroObject::Create();
    if (!atmosphere)
        atmosphere = attachAtmosphere(this);
    if (!surface)
        surface = attachGasSurface(this);
}

} // namespace Demo
