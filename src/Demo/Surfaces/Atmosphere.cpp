#include "Demo/Surfaces/Atmosphere.h"

#include "Demo/Astro/AstroCreateInfo.h"
#include "Demo/Astro/AstroObject.h"
#include "Engine/Data/DataBinding.h"

namespace Demo {

AtmosphereBlock toAtmosphereBlock(const AtmosphereCreateInfo& info) {
    AtmosphereBlock block;
    block.radius = info.radius;
    block.rayleigh[0] = info.rayleigh[0];
    block.rayleigh[1] = info.rayleigh[1];
    block.rayleigh[2] = info.rayleigh[2];
    block.mie = info.mie;
    block.mieG = info.mieG;
    block.densityFalloff = info.densityFalloff;
    block.rayleighFactor = info.rayleighFactor;
    return block;
}

Atmosphere::Atmosphere(SceneObject* owner_) : SceneComponent(owner_), body(dynamic_cast<AstroObject*>(owner_)) {}

Atmosphere::~Atmosphere() {
    delete uniform;
}

void Atmosphere::CreateUniform() {
    if (!uniform)
        uniform = createUniformBinding(servicesOf(owner), sizeof(AtmosphereBlock));
}

void Atmosphere::Update(const FrameContext&) {
    writeUniformBinding(uniform, &block);
}

void Atmosphere::apply(const AtmosphereCreateInfo& info) {
    block = toAtmosphereBlock(info);
}

} // namespace Demo
