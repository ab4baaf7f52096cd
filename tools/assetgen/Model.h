#pragma once
// The spacecraft model: a probe with a gold-foil bus, a high-gain dish, two solar array wings, two main engine
// bells and eight attitude-thruster blocks. Built in the engine's model frame (+y up, main engines firing
// towards +z, array wings along x) and written as Wavefront OBJ in the file's own axes.
#include "Atlas.h"
#include "Common.h"

#include <string>

namespace AssetGen {

struct ModelVertex {
    Vec3 position;
    Vec3 normal;
    Vec2 uv; // atlas coordinates, v down the image rows
};

// Triangles wound counter-clockwise seen from outside, in the engine's model frame.
class ModelMesh {
public:
    uint32_t vertex(const Vec3& p, const Vec3& n, const Vec2& uv);
    void triangle(uint32_t a, uint32_t b, uint32_t c) { indices.insert(indices.end(), {a, b, c}); }

    // Box with its own axes (unit, right-handed) and half extents; each face fits `rect` keeping its aspect.
    // `faceRects` (6, order +x, -x, +y, -y, +z, -z) overrides the rect per face when given.
    void box(const Vec3& center, const Vec3 axes[3], const Vec3& half, const UvRect& rect,
             const UvRect* faceRects = nullptr);
    // Surface of revolution around `axis` through `origin`: profile points (radius, distance along the axis).
    // u runs around, v along the profile through `rect`. `inward` turns the normals and winding inside out.
    void revolve(const Vec3& origin, const Vec3& axis, const std::vector<Vec2>& profile, int segments,
                 const UvRect& rect, bool inward = false);
    // Closed cylinder between two points.
    void cylinder(const Vec3& from, const Vec3& to, float radius, int segments, const UvRect& rect);
    // Flat disc facing `normal`, polar mapped into `rect`.
    void disc(const Vec3& center, const Vec3& normal, float radius, int segments, const UvRect& rect);

    std::vector<ModelVertex> vertices;
    std::vector<uint32_t> indices;
};

// Thruster positions and exhaust directions of the model frame: ten times the particle emitters of the craft.
struct ThrusterMount {
    Vec3 position;
    Vec3 direction; // unit
};
std::vector<ThrusterMount> thrusterMounts();
std::vector<ThrusterMount> mainEngineMounts();

ModelMesh buildSpacecraft();

// OBJ text: positions and normals converted from the model frame (x, y, z) to the file's (-z, y, -x), texture
// v flipped to the file's upward convention and the winding reversed with the mirroring, so the import's
// conversion and winding flip give back the model frame.
std::string objText(const ModelMesh& mesh, const std::string& objectName);

void writeSpacecraft(const std::string& directory);

} // namespace AssetGen
