#pragma once
// What lights the craft each frame: the star with its eclipse occluders, and up to sixteen engine and thruster
// lights. Plain blocks and functions; SpacecraftVisual uploads the blocks.
#include "Demo/Scene/MathTypes.h"
#include "Demo/Spacecraft/Thrusters.h"
#include "Demo/Surfaces/AstroSurface.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Demo {

class Scene;
struct StarLight;

// One light of the lights block (32 bytes).
struct CraftLightEntry {
    float position[3]; // world units
    float padding;
    float p0, p1, p2; // linear RGB radiant intensity
    float intensity;
};
static_assert(sizeof(CraftLightEntry) == 32);
static_assert(offsetof(CraftLightEntry, position) == 0);
static_assert(offsetof(CraftLightEntry, p0) == 16);
static_assert(offsetof(CraftLightEntry, p1) == 20);
static_assert(offsetof(CraftLightEntry, p2) == 24);
static_assert(offsetof(CraftLightEntry, intensity) == 28);

// Lights block (544 bytes, std140): the first 32 bytes of the star's light block, then the engine lights.
struct CraftLightsBlock {
    static constexpr uint32_t MaxLights = 16;

    float starColor[3] = {0.0f, 0.0f, 0.0f};
    float starIntensity = 0.0f;
    float starPosition[3] = {0.0f, 0.0f, 0.0f};
    uint32_t lightCount = 0;
    CraftLightEntry lights[MaxLights] = {};
};
static_assert(sizeof(CraftLightsBlock) == 544);
static_assert(offsetof(CraftLightsBlock, starColor) == 0);
static_assert(offsetof(CraftLightsBlock, starIntensity) == 12);
static_assert(offsetof(CraftLightsBlock, starPosition) == 16);
static_assert(offsetof(CraftLightsBlock, lightCount) == 28);
static_assert(offsetof(CraftLightsBlock, lights) == 32);

// The eclipse block of the craft, a point at `craft`: a solid or gas planet is listed when its disc seen from
// the star comes within the star's angular radius seen from the craft (θ ≤ asin(rb/|b−s|) + asin(rs/|c−s|), θ
// the angle at the star between craft and body) and it lies between the star and the craft. The first 16 in
// candidate order are kept.
ShadowBlock computeCraftShadowBlock(const Vec3d& starPosition, double starRadius, const Vec3d& craft,
                                    const std::vector<OccluderCandidate>& bodies);

// The lights block: the star's colour, intensity and position, then every enabled engine light (model-frame
// position through the craft's world matrix) while fewer than 16 are listed.
CraftLightsBlock computeCraftLightsBlock(const StarLight& star, const std::vector<EngineLight>& lights,
                                         const Mat4d& world);

// Appends every solid and gas planet of the scene (world position and radius) to `out` after clearing it.
void gatherOccluderCandidates(const Scene& scene, std::vector<OccluderCandidate>& out);

// The particles' attractor: a body's position and its μ in particle time (μ · 1e10).
struct ParticleAttractor {
    float position[3] = {0.0f, 0.0f, 0.0f};
    float strength = 0.0f;
};
ParticleAttractor particleAttractor(const Vec3d& position, double mu);

} // namespace Demo
