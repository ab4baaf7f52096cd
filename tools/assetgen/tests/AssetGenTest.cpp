// The asset generator's pieces, checked against the engine's DDS reader and model import.
#include "DdsWriter.h"
#include "Model.h"
#include "Sky.h"
#include "Textures.h"

#include "Engine/Images/Dds.h"
#include "Engine/Meshes/Geometry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace AssetGen;

namespace {

std::filesystem::path scratch(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() / ("kestrune_assetgen_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir / name;
}

float luminance(const float* rgb) {
    return 0.2126f * rgb[0] + 0.7152f * rgb[1] + 0.0722f * rgb[2];
}

} // namespace

TEST(AssetGenTest, MipChainsAreBoxFilteredDownToOneTexel) {
    FloatImage image(4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 4; ++c)
                image.at(x, y)[c] = float(x + 4 * y + c);
    std::vector<FloatImage> chain = mipChain(image, false);
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_EQ(chain[1].width, 2);
    EXPECT_EQ(chain[1].height, 1);
    EXPECT_FLOAT_EQ(chain[1].at(0, 0)[0], (0 + 1 + 4 + 5) / 4.0f);
    EXPECT_FLOAT_EQ(chain[1].at(1, 0)[2], (2 + 3 + 6 + 7) / 4.0f + 2);
    EXPECT_EQ(chain[2].width, 1);
    EXPECT_FLOAT_EQ(chain[2].at(0, 0)[0], 3.5f);

    FloatImage normals(2, 2);
    const Vec3 n[4] = {{1, 0, 0}, {0, 0, 1}, {0, 0, 1}, {0, 1, 0}};
    for (int i = 0; i < 4; ++i) {
        float* p = normals.at(i % 2, i / 2);
        p[0] = n[i].x, p[1] = n[i].y, p[2] = n[i].z, p[3] = 1;
    }
    std::vector<FloatImage> normalChain = mipChain(normals, true);
    const float* averaged = normalChain[1].at(0, 0);
    EXPECT_NEAR(length({averaged[0], averaged[1], averaged[2]}), 1.0f, 1e-5f);
    EXPECT_NEAR(averaged[0], averaged[1], 1e-6f);
}

TEST(AssetGenTest, WrittenTexturesReadBackWithTheEngineReader) {
    FloatImage image(8, 4);
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = float(i % 7) / 6.0f;
    std::vector<FloatImage> chain = mipChain(image, false);
    std::string path = scratch("texture.dds").string();
    writeTexture(path, chain, TexelEncoding::Srgb);
    DdsImage dds = Dds::loadTexture2D(path);
    EXPECT_EQ(dds.format, VK_FORMAT_R8G8B8A8_SRGB);
    ASSERT_EQ(dds.mipLevels, 4u);
    for (uint32_t level = 0; level < 4; ++level) {
        std::vector<uint8_t> expected = encodeRgba8(chain[level], TexelEncoding::Srgb, level + 1);
        ASSERT_EQ(dds.surface(0, level).size, expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), dds.data(0, level))) << "level " << level;
    }

    std::vector<std::vector<uint8_t>> faces;
    for (int f = 0; f < 6; ++f)
        faces.push_back(std::vector<uint8_t>(4 * 4 * 4, uint8_t(f * 10)));
    std::string cubePath = scratch("cube.dds").string();
    writeDdsRgba8(cubePath, TexelEncoding::Unorm, 4, 4, 1, 6, faces);
    DdsImage cube = Dds::load(cubePath);
    EXPECT_EQ(cube.format, VK_FORMAT_R8G8B8A8_UNORM);
    ASSERT_EQ(cube.faces, 6u);
    EXPECT_EQ(cube.data(5, 0)[0], 50);
    std::filesystem::remove_all(scratch("").parent_path());
}

TEST(AssetGenTest, CubeFacesFollowTheVulkanFaceSelection) {
    for (int face = 0; face < 6; ++face)
        for (float s : {0.1f, 0.5f, 0.93f})
            for (float t : {0.2f, 0.5f, 0.77f}) {
                Vec3 d = normalize(cubeDirection(face, s, t));
                float ps, pt;
                ASSERT_TRUE(cubeProject(face, d, ps, pt));
                EXPECT_NEAR(ps, s, 1e-5f);
                EXPECT_NEAR(pt, t, 1e-5f);
                // The face whose axis has the largest component is this one.
                float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
                int major = ax >= ay && ax >= az ? (d.x > 0 ? 0 : 1) : ay >= az ? (d.y > 0 ? 2 : 3) : (d.z > 0 ? 4 : 5);
                EXPECT_EQ(major, face);
                EXPECT_FALSE(cubeProject(face ^ 1, d, ps, pt)); // the opposite face never sees it
            }
    // Shared edges: +Z's right edge is +X's left edge, +Y's bottom edge is +Z's top edge.
    for (float t : {0.0f, 0.3f, 1.0f}) {
        Vec3 a = cubeDirection(4, 1, t), b = cubeDirection(0, 0, t);
        EXPECT_NEAR(length(a - b), 0.0f, 1e-6f);
        Vec3 c = cubeDirection(2, t, 1), d = cubeDirection(4, t, 0);
        EXPECT_NEAR(length(c - d), 0.0f, 1e-6f);
    }
}

TEST(AssetGenTest, StarsFollowAPowerLawWithBlackbodyColours) {
    Vec3 red = blackbodyTint(3000), sun = blackbodyTint(5800), blue = blackbodyTint(25000);
    EXPECT_GT(red.x, 1.5f * red.z);
    EXPECT_GT(blue.z, 1.2f * blue.x);
    EXPECT_NEAR(sun.x / sun.z, 1.0f, 0.25f);

    SkyModel sky(42);
    ASSERT_GT(sky.stars.size(), 50000u);
    std::vector<float> peaks;
    for (const Star& s : sky.stars)
        if (!s.inBand)
            peaks.push_back(std::max(s.color.x, std::max(s.color.y, s.color.z)));
    auto countAbove = [&](float v) {
        return double(std::count_if(peaks.begin(), peaks.end(), [&](float p) { return p > v; }));
    };
    // N(> F) ~ F^-1.35 among the resolved stars: ten times brighter is about 22 times rarer.
    double ratio = countAbove(0.05f) / countAbove(0.5f);
    EXPECT_GT(ratio, 12.0);
    EXPECT_LT(ratio, 40.0);
    EXPECT_GT(countAbove(1.0f), 20.0); // a few bright ones
    EXPECT_LT(countAbove(1.0f), 400.0);
}

TEST(AssetGenTest, SkyIsSeamlessAcrossCubeEdges) {
    SkyModel sky(7);
    // One bright star exactly on the edge between +Z and +X: both faces show half of its spot.
    sky.stars = {{normalize(cubeDirection(4, 1.0f, 0.5f)), {1, 1, 1}, 1.0f}};
    const int size = 64;
    std::vector<float> front = renderSkyFace(sky, 4, size), right = renderSkyFace(sky, 0, size);
    auto starLight = [&](const std::vector<float>& face, int x, int y) {
        return luminance(&face[(size_t(y) * size + x) * 3]);
    };
    float a = starLight(front, size - 1, size / 2), b = starLight(right, 0, size / 2);
    EXPECT_GT(a, 0.3f);
    EXPECT_NEAR(a, b, 0.1f * a);
    EXPECT_LT(starLight(front, size - 4, size / 2), 0.1f * a); // a spot a texel or two wide, not a square

    // The diffuse band is continuous over every edge: neighbours across an edge differ like neighbours inside.
    SkyModel band(7);
    band.stars.clear();
    std::vector<std::vector<float>> faces;
    for (int f = 0; f < 6; ++f)
        faces.push_back(renderSkyFace(band, f, size));
    float across = 0, within = 0;
    for (int y = 0; y < size; ++y) {
        across += std::fabs(starLight(faces[4], size - 1, y) - starLight(faces[0], 0, y));
        within += std::fabs(starLight(faces[4], size - 2, y) - starLight(faces[4], size - 1, y));
    }
    EXPECT_LT(across, 2.5f * within + 1e-4f);
}

TEST(AssetGenTest, GenerationIsDeterministic) {
    SkyModel a(99), b(99);
    ASSERT_EQ(a.stars.size(), b.stars.size());
    EXPECT_EQ(encodeSkyFace(renderSkyFace(a, 2, 32), 32, 2), encodeSkyFace(renderSkyFace(b, 2, 32), 32, 2));
    MaterialImages m1 = paintMaterials(32, 5), m2 = paintMaterials(32, 5);
    EXPECT_EQ(m1.baseColor.pixels, m2.baseColor.pixels);
    EXPECT_EQ(m1.normal.pixels, m2.normal.pixels);
    EXPECT_EQ(objText(buildSpacecraft(), "x"), objText(buildSpacecraft(), "x"));
}

TEST(AssetGenTest, MaterialTexturesAreInRangeWithUnitNormals) {
    MaterialImages m = paintMaterials(128, 3);
    for (size_t i = 0; i < m.normal.pixels.size(); i += 4) {
        const float* n = &m.normal.pixels[i];
        ASSERT_NEAR(length({n[0], n[1], n[2]}), 1.0f, 1e-4f);
        ASSERT_GT(n[2], 0.0f);
        for (const FloatImage* img : {&m.baseColor, &m.metallic, &m.roughness})
            for (int c = 0; c < 3; ++c)
                ASSERT_TRUE(img->pixels[i + c] >= 0 && img->pixels[i + c] <= 1) << img->pixels[i + c];
    }
    // The regions carry distinct materials: gold foil is metallic and warm, solar cells dark blue.
    MaterialSample gold = sampleMaterial(Noise(3), 0.25f, 0.25f);
    // Middle of a cell, between two of its fingers.
    MaterialSample cell = sampleMaterial(Noise(3), 0.5f + 0.5f * 1.5f / 8, 0.5f * (2.5f + 1.0f / 28) / 8);
    EXPECT_GT(gold.metallic, 0.8f);
    EXPECT_GT(gold.albedo.x, 2 * gold.albedo.z);
    EXPECT_GT(cell.albedo.z, 2 * cell.albedo.x);
    EXPECT_LT(cell.albedo.z, 0.2f);

    std::string dir = scratch("").string();
    generateTextures(dir, "Vessel_11", 64, 3);
    for (const char* kind : {"BaseColor", "Metallic", "Normal", "Roughness"}) {
        DdsImage dds = Dds::loadTexture2D(dir + "/Vessel_11_DefaultMaterial_" + kind + ".dds");
        EXPECT_EQ(dds.mipLevels, 7u) << kind;
        EXPECT_EQ(dds.format, std::string(kind) == "BaseColor" ? VK_FORMAT_R8G8B8A8_SRGB : VK_FORMAT_R8G8B8A8_UNORM);
    }
    std::filesystem::remove_all(dir);
}

TEST(AssetGenTest, ModelImportsAsOneOutwardFacingMeshWithThrustersAtTheirMounts) {
    std::filesystem::path path = scratch("Vessel_11.obj");
    {
        std::string text = objText(buildSpacecraft(), "Vessel_11");
        std::ofstream(path, std::ios::binary).write(text.data(), std::streamsize(text.size()));
    }
    std::vector<GeometryData> meshes = importModel(path.string());
    std::filesystem::remove_all(path.parent_path());
    ASSERT_EQ(meshes.size(), 1u);
    const GeometryData& g = meshes[0];
    ASSERT_GT(g.vertexCount(), 1000u);
    ASSERT_EQ(g.tangents.size(), g.positions.size());
    auto pos = [&](uint32_t i) { return Vec3{g.positions[3 * i], g.positions[3 * i + 1], g.positions[3 * i + 2]}; };
    auto nrm = [&](uint32_t i) { return Vec3{g.normals[3 * i], g.normals[3 * i + 1], g.normals[3 * i + 2]}; };

    // After the import's axis change the model is back in its own frame: engines at z ~ +2.4, nose at -z.
    Vec3 lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
    for (uint32_t i = 0; i < g.vertexCount(); ++i) {
        Vec3 p = pos(i);
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        ASSERT_NEAR(length(nrm(i)), 1.0f, 1e-3f);
        ASSERT_TRUE(std::isfinite(g.tangents[3 * i]) && std::isfinite(g.tangents[3 * i + 1]));
        ASSERT_TRUE(g.texCoords[2 * i] >= 0 && g.texCoords[2 * i] <= 1 && g.texCoords[2 * i + 1] >= 0 &&
                    g.texCoords[2 * i + 1] <= 1);
    }
    EXPECT_NEAR(hi.z, 2.4f, 0.05f);
    EXPECT_LT(lo.z, -3.1f);
    EXPECT_GT(hi.y, 1.8f); // the dish's subreflector on top
    EXPECT_GT(hi.x, 5.0f); // array wings along x
    EXPECT_LT(lo.x, -5.0f);

    // Every thruster has nozzle geometry right at its mount point.
    for (const ThrusterMount& t : thrusterMounts()) {
        float nearest = 1e9f;
        for (uint32_t i = 0; i < g.vertexCount(); ++i)
            nearest = std::min(nearest, length(pos(i) - (t.position + t.direction * 0.02f)));
        EXPECT_LT(nearest, 0.05f);
    }

    // Triangles wind counter-clockwise seen from the side their normals face.
    size_t agree = 0, total = 0;
    for (size_t i = 0; i < g.indices.size(); i += 3) {
        uint32_t a = g.indices[i], b = g.indices[i + 1], c = g.indices[i + 2];
        Vec3 face = cross(pos(b) - pos(a), pos(c) - pos(a));
        if (length(face) < 1e-9f)
            continue;
        ++total;
        agree += dot(face, nrm(a) + nrm(b) + nrm(c)) > 0;
    }
    EXPECT_GT(double(agree), 0.995 * double(total));
}
