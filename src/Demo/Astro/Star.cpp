#include "Demo/Astro/Star.h"

#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/StarSurface.h"
#include "Engine/Data/DataBinding.h"

namespace Demo {

Star::Star(std::string name_, Scene* scene_) : AstroObject(std::move(name_), scene_) {}

Star::~Star() {
    if (primaryStar == this)
        primaryStar = nullptr;
    delete lightUniform;
}

void Star::Create() {
    AstroObject::Create();
    if (!lightUniform)
        lightUniform = createUniformBinding(sizeof(StarLight));
    atmosphereSettings.radius = 120.0f;
    atmosphereSettings.rayleigh[0] = 0.0331f;
    atmosphereSettings.rayleigh[1] = 0.0135f;
    atmosphereSettings.rayleigh[2] = 0.0058f;
    atmosphereSettings.mie = 0.002f;
    atmosphereSettings.mieG = 0.76f;
    atmosphereSettings.densityFalloff = 2.0f;
    elevationScale = 0.1f;
    if (!atmosphere) {
        atmosphere = new Atmosphere(this);
        atmosphere->apply(atmosphereSettings);
        atmosphere->CreateUniform();
        addComponent(atmosphere);
    }
    if (!surface) {
        auto* starSurface = new StarSurface(this);
        starSurface->surfaceBlock.elevationScale = elevationScale;
        starSurface->CreateUniform();
        addComponent(starSurface);
        surface = starSurface;
    }
}

void Star::Update() {
    AstroObject::Update();
    Vec3d p = transform->worldPosition();
    light.position[0] = float(p.x);
    light.position[1] = float(p.y);
    light.position[2] = float(p.z);
    writeUniformBinding(lightUniform, &light);
}

} // namespace Demo
