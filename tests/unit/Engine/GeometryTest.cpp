#include "Engine/Meshes/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

TEST(Geometry, IcoSphereCountsPerSubdivision) {
    struct Case {
        uint32_t level, vertices, indices;
    };
    for (Case c : {Case{0, 12, 60}, Case{1, 42, 240}, Case{5, 10242, 61440}}) {
        GeometryData g = IcoSphereBuilder(c.level).geometry(2.0f);
        EXPECT_EQ(g.vertexCount(), c.vertices) << c.level;
        EXPECT_EQ(g.indices.size(), c.indices) << c.level;
        for (uint32_t v = 0; v < g.vertexCount(); ++v) {
            float len = std::hypot(g.positions[v * 3], g.positions[v * 3 + 1], g.positions[v * 3 + 2]);
            ASSERT_NEAR(len, 2.0f, 1e-5f);
        }
    }
}

TEST(Geometry, IcoSphereSharedEdgeGetsOneMidpoint) {
    IcoSphereBuilder ico(1);
    // Start triangles (0,11,5) and (0,5,1) share edge 0-5: its midpoint is vertex 13 in both first children.
    EXPECT_EQ(ico.triangles[2], ico.triangles[12 + 1]);
    std::set<std::tuple<float, float, float>> unique;
    for (size_t v = 0; v < ico.unitVertices.size() / 3; ++v)
        unique.insert({ico.unitVertices[v * 3], ico.unitVertices[v * 3 + 1], ico.unitVertices[v * 3 + 2]});
    EXPECT_EQ(unique.size(), 42u);
}

TEST(Geometry, SphereVertexOrderAndTexCoords) {
    GeometryData g = makeSphere(3.0f);
    EXPECT_EQ(g.vertexCount(), 10201u);
    EXPECT_EQ(g.indices.size(), 60000u);
    EXPECT_NEAR(g.positions[0], 0.0f, 1e-5f);
    EXPECT_NEAR(g.positions[1], 3.0f, 1e-5f);
    EXPECT_NEAR(g.positions[2], 0.0f, 1e-5f);
    uint32_t v = 37 * 101 + 12;
    EXPECT_FLOAT_EQ(g.texCoords[v * 2], 0.12f);
    EXPECT_FLOAT_EQ(g.texCoords[v * 2 + 1], 0.37f);
    // Quad (j=1, i=2): p = 103, triangles (103, 104, 205) and (205, 204, 103).
    uint32_t quad = 1 * 600 + 2 * 6;
    EXPECT_EQ(std::vector<uint32_t>(g.indices.begin() + quad, g.indices.begin() + quad + 6),
              (std::vector<uint32_t>{103, 104, 205, 205, 204, 103}));
}

TEST(Geometry, CubeExtentsAndFaceOrder) {
    GeometryData g = makeCube(2, 4, 6);
    EXPECT_EQ(g.vertexCount(), 24u);
    EXPECT_EQ(g.indices.size(), 36u);
    float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
    for (uint32_t v = 0; v < 24; ++v)
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], g.positions[v * 3 + k]);
            hi[k] = std::max(hi[k], g.positions[v * 3 + k]);
        }
    EXPECT_EQ(lo[0], -1);
    EXPECT_EQ(hi[0], 1);
    EXPECT_EQ(lo[1], -2);
    EXPECT_EQ(hi[1], 2);
    EXPECT_EQ(lo[2], -3);
    EXPECT_EQ(hi[2], 3);
    EXPECT_EQ(std::vector<uint32_t>(g.indices.begin() + 6, g.indices.begin() + 12),
              (std::vector<uint32_t>{4, 6, 5, 7, 5, 6}));
    EXPECT_EQ(g.texCoords[0], 1.0f);
    EXPECT_EQ(g.texCoords[7], 0.0f); // vertex 3: (0, 0)
}

static std::string writeTemp(const std::string& name, const std::string& text) {
    auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path) << text;
    return path.string();
}

TEST(Geometry, ImportConvertsAxesAndTexCoords) {
    std::string path = writeTemp("kestrune_tri.obj", "o Tri\nv 1 2 3\nv 4 2 3\nv 1 5 3\n"
                                                     "vt 0.25 0.25\nvt 1 0.25\nvt 0.25 1\n"
                                                     "f 1/1 2/2 3/3\n");
    std::vector<GeometryData> meshes = importModel(path);
    ASSERT_EQ(meshes.size(), 1u);
    const GeometryData& g = meshes[0];
    ASSERT_EQ(g.vertexCount(), 3u);
    ASSERT_EQ(g.indices.size(), 3u);
    // Find the vertex imported from (1, 2, 3): stored at (-3, 2, -1) with uv (0.25, 0.75).
    bool found = false;
    for (uint32_t v = 0; v < 3; ++v)
        if (g.positions[v * 3] == -3 && g.positions[v * 3 + 1] == 2 && g.positions[v * 3 + 2] == -1) {
            found = true;
            EXPECT_FLOAT_EQ(g.texCoords[v * 2], 0.25f);
            EXPECT_FLOAT_EQ(g.texCoords[v * 2 + 1], 0.75f);
        }
    EXPECT_TRUE(found);
    EXPECT_EQ(g.normals.size(), 9u);
    EXPECT_EQ(g.tangents.size(), 9u);
}

TEST(Geometry, ImportOfLinesOnlyYieldsNoMesh) {
    std::string path = writeTemp("kestrune_lines.obj", "o Wire\nv 0 0 0\nv 1 0 0\nv 1 1 0\nl 1 2 3\n");
    EXPECT_TRUE(importModel(path).empty());
    EXPECT_THROW(importModel("/nonexistent/model.obj"), std::runtime_error);
}
