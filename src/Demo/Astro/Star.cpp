#include "Demo/Astro/Star.h"

#include "Demo/Scene/Scene.h"

#include "Engine/Data/DataBinding.h"

namespace Demo {

Star::Star(std::string name_, Scene* scene_) : AstroObject(std::move(name_), scene_) {}

Star::~Star() {
    if (scene && scene->primaryStar == this)
        scene->primaryStar = nullptr;
    delete lightUniform;
}

void Star::Create() {
    atmosphereSettings.radius = 120.0f;
    atmosphereSettings.rayleigh[0] = 0.0331f;
    atmosphereSettings.rayleigh[1] = 0.0135f;
    atmosphereSettings.rayleigh[2] = 0.0058f;
    atmosphereSettings.mie = 0.002f;
    atmosphereSettings.mieG = 0.76f;
    atmosphereSettings.densityFalloff = 2.0f;
    elevationScale = 0.1f;
    if (!lightUniform)
        lightUniform = createUniformBinding(servicesOf(this), sizeof(StarLight));
    AstroObject::Create();
}

void Star::Update(const FrameContext& frame) {
    AstroObject::Update(frame);
    Vec3d p = transform->worldPosition();
    light.position[0] = float(p.x);
    light.position[1] = float(p.y);
    light.position[2] = float(p.z);
    writeUniformBinding(lightUniform, &light);
}

} // namespace Demo
