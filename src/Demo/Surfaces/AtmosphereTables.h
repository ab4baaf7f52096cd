#pragma once
// Sizes and parameters of the atmospheres' sky-view tables, and the rule that decides which bodies need one this
// frame. No Vulkan here: the manager feeds these the camera and the bodies.
#include <cstddef>
#include <cstdint>

namespace Demo {

enum class AtmosphereTableQuality { Small, Medium, Large };

// A sky-view table: `azimuths` columns over the full turn about the direction to the body's centre, `rows` of
// angles from it (half on the disc, half past the horizon; even). The image is azimuths x 2 rows: in-scatter
// above, transmittance below.
struct AtmosphereTableSize {
    uint32_t azimuths = 192;
    uint32_t rows = 108;
};

constexpr AtmosphereTableSize atmosphereTableSize(AtmosphereTableQuality quality) {
    switch (quality) {
    case AtmosphereTableQuality::Small:
        return {128, 64};
    case AtmosphereTableQuality::Large:
        return {320, 180};
    case AtmosphereTableQuality::Medium:
        break;
    }
    return {192, 108};
}

// Push constants of the table build ("atmosphereTables", "CS_skyView").
struct SkyViewParameters {
    int32_t size[2] = {192, 108};  // azimuths, rows
    float coefficientScale = 1.0f; // the gas planets' haze is a tenth of their envelope's coefficients
    int32_t corona = 0;            // 1 for the star's own shell
};
static_assert(sizeof(SkyViewParameters) == 16);
static_assert(offsetof(SkyViewParameters, coefficientScale) == 8);
static_assert(offsetof(SkyViewParameters, corona) == 12);

// Whether a shell of radius `shellTop` (world units) whose centre lies `toCentre` from the eye covers any pixel
// of a view looking along unit `forward` with vertical field `fovY` (radians), `aspect` and `viewportHeight`
// pixels: not when it lies wholly outside the view cone round the screen's corners, nor when it is narrower than
// half a pixel. From inside the shell it always does.
bool shellCoversPixels(const float toCentre[3], float shellTop, const float forward[3], float fovY, float aspect,
                       float viewportHeight);

// The push constants of an atmosphere draw (vertex stage): a ring of `segments` quads from the silhouette of a
// sphere of `innerRadius` out past the shell's, in place of the shell (0 segments: the shell).
struct ShellDraw {
    float innerRadius = 0.0f;
    uint32_t segments = 0;
};
static_assert(sizeof(ShellDraw) == 8);

// Segments of that ring (the sagitta of its outer edge under 0.12 % of the shell's radius).
inline constexpr uint32_t RingSegments = 64;

// What an atmosphere draw covers once the ground composites its own air, seen from `distance` to the centre of a
// shell drawn at radius `shellTop`: a ring from the silhouette of the lowest ground (`innerRadius`) out past the
// shell's; the whole shell from inside it, or from so close above it that the ring would reach the horizon.
ShellDraw shellDrawFor(float distance, float shellTop, float innerRadius);

// Whether a sphere of `radius` at `position` reaches into the shell of radius `shellTop` about `centre`.
bool reachesIntoShell(const float centre[3], float shellTop, const float position[3], float radius);

// What a sky-view table is made from, relative to its body's centre (world units).
struct SkyViewInputs {
    static constexpr uint32_t MaxOccluders = 16;
    float eye[3] = {0.0f, 0.0f, 0.0f};
    float star[3] = {0.0f, 0.0f, 0.0f};
    float groundRadius = 0.0f;
    uint32_t occluderCount = 0;
    float occluders[MaxOccluders][4] = {}; // xyz relative to the body, w radius
    unsigned char atmosphere[32] = {};     // the atmosphere block as written
};

// Whether a table built from `built` still shows what one built from `now` would, to a fraction of a texel: the
// eye and the star turned by under 5e-4 rad about the body, the eye's height above the ground changed by under
// 0.2 %, the occluders moved by under 1e-3 of their distance, the atmosphere and the radius unchanged. A camera
// that follows a body then builds its table once, not every frame.
bool skyViewStillFits(const SkyViewInputs& built, const SkyViewInputs& now);

} // namespace Demo
