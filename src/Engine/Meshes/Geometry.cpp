#include "Engine/Meshes/Geometry.h"

#include "Engine/Files/UserFile.h"

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/mesh.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <stdexcept>

GeometryData makeCube(float sizeX, float sizeY, float sizeZ) {
    const float hx = sizeX * 0.5f, hy = sizeY * 0.5f, hz = sizeZ * 0.5f;
    struct Face {
        float normal[3];
        float v[4][3];
    };
    const Face faces[6] = {
        {{0, 0, -1}, {{-hx, -hy, -hz}, {hx, -hy, -hz}, {-hx, hy, -hz}, {hx, hy, -hz}}},
        {{1, 0, 0}, {{hx, -hy, -hz}, {hx, -hy, hz}, {hx, hy, -hz}, {hx, hy, hz}}},
        {{0, 0, 1}, {{hx, -hy, hz}, {-hx, -hy, hz}, {hx, hy, hz}, {-hx, hy, hz}}},
        {{-1, 0, 0}, {{-hx, -hy, hz}, {-hx, -hy, -hz}, {-hx, hy, hz}, {-hx, hy, -hz}}},
        {{0, 1, 0}, {{-hx, hy, -hz}, {hx, hy, -hz}, {-hx, hy, hz}, {hx, hy, hz}}},
        {{0, -1, 0}, {{-hx, -hy, hz}, {hx, -hy, hz}, {-hx, -hy, -hz}, {hx, -hy, -hz}}},
    };
    const float uv[4][2] = {{1, 1}, {0, 1}, {1, 0}, {0, 0}};
    GeometryData g;
    for (uint32_t f = 0; f < 6; ++f) {
        for (int k = 0; k < 4; ++k) {
            g.positions.insert(g.positions.end(), faces[f].v[k], faces[f].v[k] + 3);
            g.normals.insert(g.normals.end(), faces[f].normal, faces[f].normal + 3);
            g.texCoords.insert(g.texCoords.end(), uv[k], uv[k] + 2);
        }
        uint32_t b = 4 * f;
        g.indices.insert(g.indices.end(), {b, b + 2, b + 1, b + 3, b + 1, b + 2});
    }
    return g;
}

GeometryData makeSphere(float radius) {
    const float pi = 3.1415927f, halfPi = 1.5707964f;
    GeometryData g;
    for (int j = 0; j <= 100; ++j)
        for (int i = 0; i <= 100; ++i) {
            float u = float(i) / 100.0f, v = float(j) / 100.0f;
            float a = 2.0f * pi * u, b = pi * v + halfPi;
            float n[3] = {std::cos(a) * std::cos(b), std::sin(b), std::sin(a) * std::cos(b)};
            g.normals.insert(g.normals.end(), n, n + 3);
            g.positions.insert(g.positions.end(), {radius * n[0], radius * n[1], radius * n[2]});
            g.texCoords.insert(g.texCoords.end(), {u, v});
        }
    for (uint32_t j = 0; j < 100; ++j)
        for (uint32_t i = 0; i < 100; ++i) {
            uint32_t p = j * 101 + i, q = p + 1, r = p + 102, s = p + 101;
            g.indices.insert(g.indices.end(), {p, q, r, r, s, p});
        }
    return g;
}

IcoSphereBuilder::IcoSphereBuilder(uint32_t subdivisions) {
    const float t = (1.0f + std::sqrt(5.0f)) / 2.0f;
    const float start[12][3] = {{-1, t, 0},  {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
                                {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    for (const auto& v : start) {
        float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        unitVertices.insert(unitVertices.end(), {v[0] / len, v[1] / len, v[2] / len});
    }
    triangles = {0, 11, 5, 0, 5, 1, 0, 1, 7, 0, 7, 10, 0, 10, 11, 1, 5, 9, 5, 11, 4,  11, 10, 2,  10, 7, 6, 7, 1, 8,
                 3, 9,  4, 3, 4, 2, 3, 2, 6, 3, 6, 8,  3, 8,  9,  4, 9, 5, 2, 4,  11, 6,  2,  10, 8,  6, 7, 9, 8, 1};
    for (uint32_t level = 0; level < subdivisions; ++level) {
        midpointCache.clear();
        std::vector<uint32_t> next;
        next.reserve(triangles.size() * 4);
        for (size_t k = 0; k < triangles.size(); k += 3) {
            uint32_t a = triangles[k], b = triangles[k + 1], c = triangles[k + 2];
            uint32_t ab = midpoint(a, b), bc = midpoint(b, c), ca = midpoint(c, a);
            next.insert(next.end(), {a, ab, ca, b, bc, ab, c, ca, bc, ab, bc, ca});
        }
        triangles.swap(next);
    }
}

uint32_t IcoSphereBuilder::midpoint(uint32_t a, uint32_t b) {
    uint64_t key = (uint64_t(std::min(a, b)) << 32) | std::max(a, b);
    auto found = midpointCache.find(key);
    if (found != midpointCache.end())
        return found->second;
    float m[3];
    for (int k = 0; k < 3; ++k)
        m[k] = (unitVertices[a * 3 + k] + unitVertices[b * 3 + k]) * 0.5f;
    float len = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    uint32_t index = uint32_t(unitVertices.size() / 3);
    unitVertices.insert(unitVertices.end(), {m[0] / len, m[1] / len, m[2] / len});
    midpointCache.emplace(key, index);
    return index;
}

GeometryData IcoSphereBuilder::geometry(float radius) const {
    GeometryData g;
    g.normals = unitVertices;
    g.positions.reserve(unitVertices.size());
    for (float c : unitVertices)
        g.positions.push_back(radius * c);
    g.texCoords.assign(unitVertices.size() / 3 * 2, 0.0f);
    g.indices = triangles;
    return g;
}

std::vector<TriangleCluster> clusterTriangles(const std::vector<float>& unitVertices,
                                              const std::vector<uint32_t>& triangles, uint32_t perCluster) {
    using V = std::array<double, 3>;
    auto normalised = [](V v) {
        double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        return n > 0.0 ? V{v[0] / n, v[1] / n, v[2] / n} : V{0.0, 0.0, 1.0};
    };
    auto angle = [](const V& a, const V& b) {
        return std::acos(std::clamp(a[0] * b[0] + a[1] * b[1] + a[2] * b[2], -1.0, 1.0));
    };
    auto vertex = [&](uint32_t i) {
        return normalised({unitVertices[i * 3], unitVertices[i * 3 + 1], unitVertices[i * 3 + 2]});
    };
    perCluster = std::max(perCluster, 1u);
    const size_t count = triangles.size() / 3;
    std::vector<TriangleCluster> clusters;
    std::vector<V> centres;
    for (size_t first = 0; first < count; first += perCluster) {
        TriangleCluster cluster;
        centres.clear();
        V sum{0.0, 0.0, 0.0};
        for (size_t t = first; t < std::min(first + perCluster, count); ++t) {
            V corners[3] = {vertex(triangles[t * 3]), vertex(triangles[t * 3 + 1]), vertex(triangles[t * 3 + 2])};
            V centre = normalised({corners[0][0] + corners[1][0] + corners[2][0],
                                   corners[0][1] + corners[1][1] + corners[2][1],
                                   corners[0][2] + corners[1][2] + corners[2][2]});
            for (const V& c : corners)
                cluster.triangleSpread = std::max(cluster.triangleSpread, angle(centre, c));
            for (int k = 0; k < 3; ++k)
                sum[k] += centre[k];
            centres.push_back(centre);
        }
        V axis = normalised(sum);
        std::copy(axis.begin(), axis.end(), cluster.axis);
        for (const V& c : centres)
            cluster.centreSpread = std::max(cluster.centreSpread, angle(axis, c));
        clusters.push_back(cluster);
    }
    return clusters;
}

std::vector<GeometryData> importModel(const std::string& path) {
    Assimp::Importer importer;
    importer.SetPropertyFloat(AI_CONFIG_PP_GSN_MAX_SMOOTHING_ANGLE, 25.0f);
    const unsigned flags = aiProcess_CalcTangentSpace | aiProcess_JoinIdenticalVertices | aiProcess_Triangulate |
                           aiProcess_GenSmoothNormals | aiProcess_SortByPType | aiProcess_FlipWindingOrder;
    UserFile file = readUserFile(path, MaxModelFileBytes);
    if (!file.ok())
        throw std::runtime_error("Unable to load model file [" + path + "]: the file " + file.reason());
    // From memory, so the importer reads exactly the bytes checked above; the extension tells it the format.
    std::string hint = std::filesystem::path(path).extension().string();
    if (!hint.empty())
        hint.erase(0, 1);
    const aiScene* scene = importer.ReadFileFromMemory(file.bytes.data(), file.bytes.size(), flags, hint.c_str());
    if (!scene)
        throw std::runtime_error("Unable to load model file [" + path + "]: " + importer.GetErrorString());
    std::vector<GeometryData> meshes;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes[m];
        if (!(mesh->mPrimitiveTypes & aiPrimitiveType_TRIANGLE))
            continue;
        GeometryData g;
        g.name = mesh->mName.C_Str();
        auto convert = [](std::vector<float>& out, const aiVector3D& v) { out.insert(out.end(), {-v.z, v.y, -v.x}); };
        for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
            convert(g.positions, mesh->mVertices[v]);
            if (mesh->mNormals)
                convert(g.normals, mesh->mNormals[v]);
            if (mesh->mTangents)
                convert(g.tangents, mesh->mTangents[v]);
            if (mesh->mTextureCoords[0])
                g.texCoords.insert(g.texCoords.end(),
                                   {mesh->mTextureCoords[0][v].x, 1.0f - mesh->mTextureCoords[0][v].y});
            if (mesh->mColors[0]) {
                const aiColor4D& c = mesh->mColors[0][v];
                g.colors.insert(g.colors.end(), {c.r, c.g, c.b, c.a});
            }
        }
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            if (face.mNumIndices < 3)
                continue; // points and lines sorted into this mesh carry no triangle
            g.indices.insert(g.indices.end(), {face.mIndices[0], face.mIndices[1], face.mIndices[2]});
        }
        meshes.push_back(std::move(g));
    }
    return meshes;
}
