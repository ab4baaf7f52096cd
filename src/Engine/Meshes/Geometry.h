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

// A run of consecutive triangles of a unit-sphere mesh seen as one cap of directions around `axis`. The cap of
// each triangle (around the normalised sum of its corners, out to its farthest corner) lies within centreSpread +
// triangleSpread radians of the axis, and so does every direction inside the triangles.
struct TriangleCluster {
    double axis[3] = {0.0, 0.0, 1.0};
    double centreSpread = 0.0;   // radians: largest angle from the axis to a triangle's centre direction
    double triangleSpread = 0.0; // radians: largest angle from a triangle's centre direction to one of its corners
};
// Clusters of `perCluster` consecutive triangles (the last may hold fewer). IcoSphereBuilder puts the four children
// of a triangle in a row, so each run of 4^k of its triangles holds the descendants of one triangle k levels up.
std::vector<TriangleCluster> clusterTriangles(const std::vector<float>& unitVertices,
                                              const std::vector<uint32_t>& triangles, uint32_t perCluster);

// Imports every triangle mesh of a model file with smoothed normals and tangents, converting from the file's axes:
// (x, y, z) -> (-z, y, -x) for positions, normals and tangents, (u, v) -> (u, 1 - v).
// Meshes without triangles are skipped. Throws std::runtime_error when the file cannot be read.
std::vector<GeometryData> importModel(const std::string& path);
constexpr uint64_t MaxModelFileBytes = uint64_t(256) << 20;
