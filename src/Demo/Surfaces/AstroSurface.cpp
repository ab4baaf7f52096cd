#include "Demo/Surfaces/AstroSurface.h"

#include "Demo/Astro/AstroObject.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataStorage.h"

#include <algorithm>
#include <cmath>

namespace Demo {

ShadowBlock computeShadowBlock(const Vec3d& S, double starRadius, const Vec3d& O, double ownerRadius,
                               const std::vector<OccluderCandidate>& candidates) {
    ShadowBlock block;
    block.starPosition[0] = float(S.x);
    block.starPosition[1] = float(S.y);
    block.starPosition[2] = float(S.z);
    block.starRadius = float(starRadius);
    block.occluderCount = 0;

    double d = length(O - S);
    if (!(d > 0.0))
        return block; // the owner sits at the star: nothing lies between them
    double alphaO = std::asin(std::min(ownerRadius / d, 1.0));
    Vec3d u = (O - S) / d;
    for (const OccluderCandidate& c : candidates) {
        if (block.occluderCount >= ShadowBlock::MaxOccluders)
            break;
        if (c.isOwner || (c.type != 2 && c.type != 3))
            continue;
        const Vec3d& B = c.position;
        double dB = length(B - S);
        double dBO = length(B - O);
        if (!(dB > 0.0) || !(dBO > 0.0))
            continue;
        Vec3d v = (B - S) / dB;
        Vec3d w = (B - O) / dBO;
        double angle = std::acos(std::clamp(dot(u, v), -1.0, 1.0));
        double alphaB = std::asin(std::min(c.radius / dB, 1.0));
        if (alphaB + alphaO >= angle && dot(v, w) <= 0.0) {
            float* o = block.occluders[block.occluderCount++];
            o[0] = float(B.x);
            o[1] = float(B.y);
            o[2] = float(B.z);
            o[3] = float(c.radius);
        }
    }
    return block;
}

AstroSurface::AstroSurface(SceneObject* owner_) : SceneComponent(owner_) {}

AstroSurface::~AstroSurface() {
    delete surfaceUniform;
    delete shadowRecord;
}

void AstroSurface::CreateUniform() {
    if (!surfaceUniform)
        surfaceUniform = createUniformBinding(servicesOf(owner), sizeof(SurfaceBlock));
    if (!shadowRecord)
        shadowRecord = createUniformBinding(servicesOf(owner), sizeof(ShadowBlock));
}

void AstroSurface::Update(const FrameContext&) {
    writeUniformBinding(surfaceUniform, &surfaceBlock);
}

static Vec3d worldPositionOf(SceneObject* object) {
    return object->transform->worldPosition();
}

void AstroSurface::UpdateUniforms(const FrameContext&) {
    auto* body = dynamic_cast<AstroObject*>(owner);
    Star* star = body && body->scene ? body->scene->primaryStar : nullptr;
    if (!body || !star) {
        shadow = ShadowBlock{};
    } else {
        double ownerRadius = body->radius;
        if (Atmosphere* atmosphere = body->getAtmosphere())
            ownerRadius += atmosphere->block.radius;
        std::vector<OccluderCandidate> candidates;
        if (body->scene) {
            candidates.reserve(body->scene->objects.size());
            for (SceneObject* object : body->scene->objects) {
                auto* other = dynamic_cast<AstroObject*>(object);
                if (!other)
                    continue;
                uint32_t type = other->typeCode();
                if (type != ASTRO_PLANET_SOLID && type != ASTRO_PLANET_GAS)
                    continue;
                candidates.push_back({worldPositionOf(other), double(other->radius), type, other == body});
            }
        }
        shadow =
            computeShadowBlock(worldPositionOf(star), star->radius, worldPositionOf(body), ownerRadius, candidates);
    }
    if (shadowRecord && shadowRecord->storage)
        shadowOffset = shadowRecord->storage->write(shadowOffset, &shadow, sizeof(ShadowBlock), false);
}

void AstroSurface::selectShadowBlock() {
    if (shadowRecord)
        shadowRecord->offset = shadowOffset;
}

} // namespace Demo
