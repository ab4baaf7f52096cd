#include "Demo/Astro/Planetoid.h"

#include "Demo/Surfaces/Atmosphere.h"
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

void PlanetGas::Create() {
    AstroObject::Create();
    if (!atmosphere)
        atmosphere = attachAtmosphere(this);
}

} // namespace Demo
