#include "GpuFixture.h"

#include "Engine/Images/Dds.h"
#include "Engine/Images/Image.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

class TextureTest : public GpuTest {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("kestrune_tex_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        device->pendingImageUploads.clear();
    }

    // A DX10 DDS file: header, then `surfaces` in file order (face-major, then level).
    std::string write(const std::string& name, uint32_t dxgi, uint32_t width, uint32_t height, uint32_t mips,
                      const std::vector<std::vector<uint8_t>>& surfaces) {
        std::vector<uint8_t> b(148, 0);
        auto put = [&](size_t offset, uint32_t v) { std::memcpy(b.data() + offset, &v, 4); };
        put(0, Dds::Magic);
        put(4, Dds::HeaderSize);
        put(8, 0x21007);
        put(12, height);
        put(16, width);
        put(28, mips);
        put(76, Dds::PixelFormatSize);
        put(80, Dds::PixelFlagFourCC);
        put(84, Dds::fourCC('D', 'X', '1', '0'));
        put(108, 0x401008);
        put(128, dxgi);
        put(132, Dds::Dx10DimensionTexture2D);
        put(140, 1);
        for (const auto& s : surfaces)
            b.insert(b.end(), s.begin(), s.end());
        std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
        return path;
    }

    static void upload(Image* image) {
        ASSERT_EQ(device->pendingImageUploads.size(), 1u);
        EXPECT_EQ(device->pendingImageUploads.back(), image);
        runOnce([&](CommandContext* c) { uploadPass(c); });
        EXPECT_TRUE(device->pendingImageUploads.empty());
    }

    static void release(Image* image) {
        unregisterResource(device, image);
        device->registry.allFramesCompleted();
    }

    std::filesystem::path dir;
};

// Texel bytes that differ per level, layer, position and channel.
std::vector<uint8_t> pattern(uint32_t w, uint32_t h, uint32_t bytesPerTexel, uint32_t level, uint32_t layer) {
    std::vector<uint8_t> t(size_t(w) * h * bytesPerTexel);
    for (size_t i = 0; i < t.size(); ++i)
        t[i] = uint8_t(i * 13 + level * 41 + layer * 67 + 5);
    return t;
}

} // namespace

TEST_F(TextureTest, DdsTextureUploadsEveryMipLevel) {
    const uint32_t w = 16, h = 8, mips = 5;
    std::vector<std::vector<uint8_t>> levels;
    for (uint32_t l = 0; l < mips; ++l)
        levels.push_back(pattern(std::max(1u, w >> l), std::max(1u, h >> l), 4, l, 0));
    std::string path = write("rgba.dds", 29, w, h, mips, levels);

    Image2D* image = createTextureFromDds(device, path, VK_IMAGE_USAGE_TRANSFER_SRC_BIT);
    EXPECT_EQ(image->format, VK_FORMAT_R8G8B8A8_SRGB);
    EXPECT_EQ(image->width, w);
    EXPECT_EQ(image->range.levelCount, mips);
    ASSERT_EQ(image->stagingUploads.size(), size_t(mips));
    upload(image);
    for (uint32_t l = 0; l < mips; ++l) {
        SCOPED_TRACE(l);
        EXPECT_EQ(readImage(image->image, std::max(1u, w >> l), std::max(1u, h >> l), 4, 0, l), levels[l]);
    }
    release(image);
}

TEST_F(TextureTest, BlockCompressedLevelsKeepTheirBlocks) {
    VkFormatProperties props{};
    vkGetPhysicalDeviceFormatProperties(device->physicalDevice, VK_FORMAT_BC1_RGBA_UNORM_BLOCK, &props);
    if (!(props.optimalTilingFeatures & VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT))
        GTEST_SKIP() << "BC1 not sampleable here";
    // 8x8, 4x4, 2x2, 1x1: four, one, one and one 8-byte blocks.
    std::vector<std::vector<uint8_t>> levels = {pattern(4, 8, 1, 0, 0), pattern(8, 1, 1, 1, 0), pattern(8, 1, 1, 2, 0),
                                                pattern(8, 1, 1, 3, 0)};
    std::string path = write("bc1.dds", 71, 8, 8, 4, levels);
    Image2D* image = createTextureFromDds(device, path, VK_IMAGE_USAGE_TRANSFER_SRC_BIT);
    EXPECT_EQ(image->format, VK_FORMAT_BC1_RGBA_UNORM_BLOCK);
    upload(image);
    for (uint32_t l = 0; l < 4; ++l) {
        SCOPED_TRACE(l);
        uint32_t side = 8 >> l;
        // Read with 8 bytes per texel so the buffer holds at least the level's blocks.
        std::vector<uint8_t> back = readImage(image->image, side, side, 8, 0, l);
        back.resize(levels[l].size());
        EXPECT_EQ(back, levels[l]);
    }
    release(image);
}

TEST_F(TextureTest, CubeFacesLandInTheirLayers) {
    std::vector<std::string> names;
    std::vector<std::vector<uint8_t>> faces;
    for (uint32_t f = 0; f < 6; ++f) {
        std::string name = "face0.dds";
        name[4] = char('0' + f);
        names.push_back(name);
        faces.push_back(pattern(4, 4, 4, 0, f));
        write(names.back(), 41, 4, 4, 1, {faces.back()}); // R32_SFLOAT
    }
    ImageCube* cube = createCubeFromDdsFaces(device, dir.string() + "/", names, VK_IMAGE_USAGE_TRANSFER_SRC_BIT);
    EXPECT_EQ(cube->format, VK_FORMAT_R32_SFLOAT);
    EXPECT_EQ(cube->range.layerCount, 6u);
    EXPECT_EQ(cube->imageView.view != VK_NULL_HANDLE, true);
    upload(cube);
    for (uint32_t f = 0; f < 6; ++f) {
        SCOPED_TRACE(f);
        EXPECT_EQ(readImage(cube->image, 4, 4, 4, f, 0), faces[f]);
    }
    release(cube);
}

TEST_F(TextureTest, MismatchedOrMissingCubeFacesAreRefused) {
    std::vector<std::string> names;
    for (uint32_t f = 0; f < 6; ++f) {
        std::string name = "f0.dds";
        name[1] = char('0' + f);
        names.push_back(name);
        uint32_t side = f == 4 ? 8 : 4;
        write(names.back(), 28, side, side, 1, {pattern(side, side, 4, 0, f)});
    }
    testing::internal::CaptureStdout();
    try {
        createCubeFromDdsFaces(device, dir.string() + "/", names);
        ADD_FAILURE() << "a face of another size was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("f4.dds] differs in size or format"), std::string::npos) << e.what();
    }
    write(names[4], 87, 4, 4, 1, {pattern(4, 4, 4, 0, 4)}); // right size, BGRA instead of RGBA
    EXPECT_THROW(createCubeFromDdsFaces(device, dir.string() + "/", names), std::runtime_error);
    std::filesystem::remove(dir / names[2]);
    try {
        createCubeFromDdsFaces(device, dir.string() + "/", names);
        ADD_FAILURE() << "a missing face was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to load DDS image file from path[" + dir.string() + "/f2.dds]");
    }
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(device->pendingImageUploads.empty());
}

// The build generates these into the run directory (tools/assetgen); the program loads them the same way.
TEST_F(TextureTest, GeneratedAssetsLoadAsTexturesAndSkyBox) {
    std::vector<std::string> faces(SkyboxFaceFiles.begin(), SkyboxFaceFiles.end());
    ImageCube* sky = createSkyboxCube(device, faces);
    EXPECT_EQ(sky->width, 2048u);
    EXPECT_EQ(sky->format, VK_FORMAT_R8G8B8A8_SRGB);
    EXPECT_EQ(sky->stagingUploads.size(), 6u);
    device->pendingImageUploads.clear();
    release(sky);

    for (const char* suffix : {"_DefaultMaterial_BaseColor.dds", "_DefaultMaterial_Metallic.dds",
                               "_DefaultMaterial_Normal.dds", "_DefaultMaterial_Roughness.dds"}) {
        SCOPED_TRACE(suffix);
        Image2D* texture = createTextureFromDds(device, std::string("assets/Vessel_11/Vessel_11") + suffix);
        EXPECT_EQ(texture->range.levelCount, Dds::fullMipCount(texture->width, texture->height));
        EXPECT_EQ(texture->stagingUploads.size(), size_t(texture->range.levelCount));
        device->pendingImageUploads.clear();
        release(texture);
    }
}
