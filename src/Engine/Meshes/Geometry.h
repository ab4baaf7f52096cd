#pragma once
// Procedural geometry and model import as plain arrays, before it is put into GPU buffers.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct GeometryData {
    std::vector<float> positions; // xyz per vertex
    std::vector<float> normals;   // xyz per vertex
    std::vector<float> tangents;  // xyz per vertex (imported meshes)
    std::vector<float> texCoords; // uv per vertex
    std::vector<float> colors;    // rgba per vertex (imported meshes with colours)
    std::vector<uint32_t> indices;
    std::string name;
    uint32_t vertexCount() const { return uint32_t(positions.size() / 3); }
};

// Box of the given sizes centred on the origin: 24 vertices (4 per face), 36 indices.
GeometryData makeCube(float sizeX, float sizeY, float sizeZ);

// Latitude-longitude sphere: 101 x 101 vertices, 60000 indices.
GeometryData makeSphere(float radius);

// Subdivided icosahedron; keeps the unit vertices and the midpoint cache of the last level.
class IcoSphereBuilder {
public:
    explicit IcoSphereBuilder(uint32_t subdivisions);
    GeometryData geometry(float radius) const;

    std::vector<float> unitVertices; // xyz per vertex
    std::vector<uint32_t> triangles;

private:
    uint32_t midpoint(uint32_t a, uint32_t b);
    std::unordered_map<uint64_t, uint32_t> midpointCache;
};

// Imports every triangle mesh of a model file with smoothed normals and tangents, converting from the file's axes:
// (x, y, z) -> (-z, y, -x) for positions, normals and tangents, (u, v) -> (u, 1 - v).
// Meshes without triangles are skipped. Throws std::runtime_error when the file cannot be read.
std::vector<GeometryData> importModel(const std::string& path);
constexpr uint64_t MaxModelFileBytes = uint64_t(256) << 20;
