#include "Demo/Astro/AstroCreateInfo.h"

namespace Demo {

StarCreateInfo::StarCreateInfo() {
    radius = 10.0f;
    density = 1.0;
    hasAtmosphere = true;
    atmosphere = std::make_unique<AtmosphereCreateInfo>();
    atmosphere->radius = 5.0f;
    atmosphere->rayleigh[0] = 0.0331f;
    atmosphere->rayleigh[1] = 0.0135f;
    atmosphere->rayleigh[2] = 0.0058f;
    atmosphere->mie = 0.002f;
    atmosphere->mieG = 0.76f;
    atmosphere->densityFalloff = 3.0f;
    atmosphere->rayleighFactor = 0.25f;
}

PlanetSolidCreateInfo::PlanetSolidCreateInfo() {
    radius = 10.0f;
    density = 1.0;
    hasAtmosphere = true;
}

PlanetGasCreateInfo::PlanetGasCreateInfo() {
    radius = 40.0f;
    density = 0.15;
    hasAtmosphere = true;
    atmosphere = std::make_unique<AtmosphereCreateInfo>();
    atmosphere->radius = 2.0f;
    atmosphere->rayleigh[0] = 1.0f;
    atmosphere->rayleigh[1] = 1.0f;
    atmosphere->rayleigh[2] = 1.0f;
    atmosphere->mie = 0.2f;
    atmosphere->mieG = 0.9f;
    atmosphere->densityFalloff = 6.0f;
    atmosphere->rayleighFactor = 10.0f;
    orbit = std::make_unique<OrbitCreateInfo>();
    orbit->a = 500.0;
}

} // namespace Demo
