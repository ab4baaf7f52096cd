#pragma once
// Base of the components that draw a body: a small per-surface parameter block, and every frame the list of
// planets that stand between the primary star and the body, which the shaders turn into eclipse shadows.
#include "Demo/Scene/MathTypes.h"
#include "Demo/Scene/SceneComponent.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct StorageBinding;

namespace Demo {

struct FrameContext;

// Eclipse block (288 bytes, std140): the primary star and up to 16 occluders, positions in world units.
struct ShadowBlock {
    static constexpr uint32_t MaxOccluders = 16;

    float starPosition[3] = {0.0f, 0.0f, 0.0f};
    float starRadius = 0.0f;
    uint32_t occluderCount = 0;
    uint32_t padding[3] = {0, 0, 0};
    float occluders[MaxOccluders][4] = {}; // xyz position, w radius
};
static_assert(sizeof(ShadowBlock) == 288);
static_assert(offsetof(ShadowBlock, starPosition) == 0);
static_assert(offsetof(ShadowBlock, starRadius) == 12);
static_assert(offsetof(ShadowBlock, occluderCount) == 16);
static_assert(offsetof(ShadowBlock, occluders) == 32);

// Surface block (16 bytes, a uniform block).
struct SurfaceBlock {
    float elevationScale = 0.1f; // relief as a fraction of the radius per unit of height
    float padding[3] = {0.0f, 0.0f, 0.0f};
};
static_assert(sizeof(SurfaceBlock) == 16);
static_assert(offsetof(SurfaceBlock, elevationScale) == 0);

// A body that may cast a shadow on the owner, in scene order.
struct OccluderCandidate {
    Vec3d position; // world units
    double radius = 0.0;
    uint32_t type = 0; // astro type code: only solid (2) and gas (3) planets occlude
    bool isOwner = false;
};

// The shadow block for an owner at `ownerPosition` whose shadow-relevant radius is `ownerRadius` (the body's
// radius plus its atmosphere's), lit by a star at `starPosition`. A candidate occludes when its disc, seen from
// the star, overlaps the owner's disc (angular radii asin(r/d)) and it lies on the star's side of the owner.
// The first 16 occluders in candidate order are kept.
ShadowBlock computeShadowBlock(const Vec3d& starPosition, double starRadius, const Vec3d& ownerPosition,
                               double ownerRadius, const std::vector<OccluderCandidate>& candidates);

class AstroSurface : public SceneComponent {
public:
    explicit AstroSurface(SceneObject* owner);
    ~AstroSurface() override;

    // The surface record and the shadow record.
    void CreateUniform() override;
    // Writes the surface block.
    void Update(const FrameContext& frame) override;
    // Computes and writes the shadow block, keeping the offset.
    void UpdateUniforms(const FrameContext& frame) override;
    void RecordCompute(const FrameContext& frame, CommandContext* context) override = 0;
    void RecordMain(const FrameContext& frame, CommandContext* context) override = 0;
    AstroSurface* asSurface() override { return this; }

    // Points the shadow record at this surface's block of this frame (before binding a data set).
    void selectShadowBlock();

    uint32_t shadowOffset = 0xFFFFFFFFu;
    StorageBinding* shadowRecord = nullptr; // 288 bytes a frame
    ShadowBlock shadow;
    SurfaceBlock surfaceBlock;
    StorageBinding* surfaceUniform = nullptr;
};

} // namespace Demo
