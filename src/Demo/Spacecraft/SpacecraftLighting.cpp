#include "Demo/Spacecraft/SpacecraftLighting.h"

#include "Demo/Astro/AstroObject.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/Scene.h"

#include <cstring>

namespace Demo {

ShadowBlock computeCraftShadowBlock(const Vec3d& starPosition, double starRadius, const Vec3d& craft,
                                    const std::vector<OccluderCandidate>& bodies) {
    // The surfaces' rule with the owner's disc replaced by the star's angular radius seen from the craft:
    // asin(rs / |c − s|) takes the place of asin(owner radius / |c − s|).
    return computeShadowBlock(starPosition, starRadius, craft, starRadius, bodies);
}

CraftLightsBlock computeCraftLightsBlock(const StarLight& star, const std::vector<EngineLight>& lights,
                                         const Mat4d& world) {
    CraftLightsBlock block;
    std::memcpy(block.starColor, star.color, sizeof block.starColor);
    block.starIntensity = star.intensity;
    std::memcpy(block.starPosition, star.position, sizeof block.starPosition);
    block.lightCount = 0;
    for (const EngineLight& light : lights) {
        if (!light.enabled)
            continue;
        if (block.lightCount >= CraftLightsBlock::MaxLights)
            break;
        Vec3d p = world.transformPoint({light.position[0], light.position[1], light.position[2]});
        CraftLightEntry& e = block.lights[block.lightCount++];
        e.position[0] = float(p.x);
        e.position[1] = float(p.y);
        e.position[2] = float(p.z);
        e.padding = 0.0f;
        e.p0 = light.p0;
        e.p1 = light.p1;
        e.p2 = light.p2;
        e.intensity = light.intensity;
    }
    return block;
}

void gatherOccluderCandidates(const Scene& scene, std::vector<OccluderCandidate>& out) {
    out.clear();
    for (SceneObject* object : scene.objects) {
        auto* body = dynamic_cast<AstroObject*>(object);
        if (!body)
            continue;
        uint32_t type = body->typeCode();
        if (type != ASTRO_PLANET_SOLID && type != ASTRO_PLANET_GAS)
            continue;
        out.push_back({body->transform->worldPosition(), double(body->radius), type, false});
    }
}

ParticleAttractor particleAttractor(const Vec3d& position, double mu) {
    ParticleAttractor a;
    a.position[0] = float(position.x);
    a.position[1] = float(position.y);
    a.position[2] = float(position.z);
    a.strength = float(mu * ParticleTimeUnit * ParticleTimeUnit);
    return a;
}

} // namespace Demo
