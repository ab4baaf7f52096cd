#include "Engine/Images/Dds.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include <unistd.h>

namespace {

// A DDS file built by hand: every header field the reader looks at can be set.
struct DdsBuild {
    uint32_t width = 4;
    uint32_t height = 4;
    uint32_t mipCount = 1;
    uint32_t dxgi = 28; // 0: legacy header with `pixelFormat`
    DdsPixelFormat pixelFormat{};
    uint32_t dimension = Dds::Dx10DimensionTexture2D;
    uint32_t arraySize = 1;
    bool cube = false;
    uint32_t caps2 = 0;

    std::vector<uint8_t> header() const {
        std::vector<uint8_t> b(4 + Dds::HeaderSize + (dxgi ? Dds::Dx10HeaderSize : 0), 0);
        auto put = [&](size_t offset, uint32_t v) { std::memcpy(b.data() + offset, &v, 4); };
        put(0, Dds::Magic);
        put(4, Dds::HeaderSize);
        put(8, 0x1007 | (mipCount > 1 ? 0x20000 : 0));
        put(12, height);
        put(16, width);
        put(28, mipCount);
        put(76, Dds::PixelFormatSize);
        if (dxgi) {
            put(80, Dds::PixelFlagFourCC);
            put(84, Dds::fourCC('D', 'X', '1', '0'));
            put(128, dxgi);
            put(132, dimension);
            put(136, cube ? Dds::Dx10MiscTextureCube : 0);
            put(140, arraySize);
        } else {
            put(80, pixelFormat.flags);
            put(84, pixelFormat.fourCC);
            put(88, pixelFormat.rgbBitCount);
            put(92, pixelFormat.rMask);
            put(96, pixelFormat.gMask);
            put(100, pixelFormat.bMask);
            put(104, pixelFormat.aMask);
            put(112, caps2);
        }
        return b;
    }

    // Header plus every face and level; each surface is filled with the byte face * 16 + level.
    std::vector<uint8_t> file(VkFormat format) const {
        std::vector<uint8_t> b = header();
        uint32_t faces = cube || (caps2 & Dds::Caps2Cubemap) ? 6 : 1;
        for (uint32_t f = 0; f < faces; ++f)
            for (uint32_t l = 0; l < (mipCount ? mipCount : 1); ++l) {
                uint64_t size = Dds::surfaceSize(format, std::max(1u, width >> l), std::max(1u, height >> l));
                b.insert(b.end(), size, uint8_t(f * 16 + l));
            }
        return b;
    }
};

bool parses(const std::vector<uint8_t>& bytes, DdsImage* out = nullptr) {
    DdsImage image;
    std::string reason;
    bool ok = Dds::parse(bytes, image, reason);
    if (ok && out)
        *out = std::move(image);
    return ok;
}

class DdsFile {
public:
    explicit DdsFile(const std::vector<uint8_t>& bytes) {
        static int counter = 0;
        path = (std::filesystem::temp_directory_path() /
                ("kestrune_dds_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ".dds"))
                   .string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    ~DdsFile() { std::filesystem::remove(path); }
    std::string path;
};

// The load must end with exactly the engine's DDS message naming the path.
void expectLoadError(const std::string& path, bool texture2D = false) {
    testing::internal::CaptureStdout();
    try {
        texture2D ? Dds::loadTexture2D(path) : Dds::load(path);
        testing::internal::GetCapturedStdout();
        ADD_FAILURE() << "loaded " << path;
    } catch (const std::runtime_error& e) {
        std::string out = testing::internal::GetCapturedStdout();
        std::string message = "Unable to load DDS image file from path[" + path + "]";
        EXPECT_EQ(e.what(), message);
        EXPECT_EQ(out.rfind("ERROR: " + message + " (in Dds.cpp at line #", 0), 0u) << out;
    }
}

} // namespace

TEST(DdsTest, MipCountIsTheFullChainDownToOneTexel) {
    EXPECT_EQ(Dds::fullMipCount(1024, 512), 11u);
    EXPECT_EQ(Dds::fullMipCount(512, 1024), 11u);
    EXPECT_EQ(Dds::fullMipCount(1, 1), 1u);
    EXPECT_EQ(Dds::fullMipCount(640, 480), 10u);
    EXPECT_EQ(Dds::fullMipCount(3, 1), 2u);
    EXPECT_EQ(Dds::fullMipCount(16384, 16384), 15u);
}

TEST(DdsTest, FullChainOf1024x512HasElevenLevelsDownToOneTexel) {
    DdsBuild b;
    b.width = 1024;
    b.height = 512;
    b.mipCount = 11;
    DdsFile file(b.file(VK_FORMAT_R8G8B8A8_UNORM));
    DdsImage image = Dds::loadTexture2D(file.path);
    EXPECT_EQ(image.format, VK_FORMAT_R8G8B8A8_UNORM);
    ASSERT_EQ(image.mipLevels, 11u);
    EXPECT_EQ(image.faces, 1u);
    EXPECT_EQ(image.surface(0, 0).width, 1024u);
    EXPECT_EQ(image.surface(0, 0).size, 1024u * 512 * 4);
    EXPECT_EQ(image.surface(0, 1).width, 512u);
    EXPECT_EQ(image.surface(0, 1).height, 256u);
    EXPECT_EQ(image.surface(0, 9).width, 2u);
    EXPECT_EQ(image.surface(0, 9).height, 1u);
    EXPECT_EQ(image.surface(0, 10).width, 1u);
    EXPECT_EQ(image.surface(0, 10).size, 4u);
    for (uint32_t l = 0; l < 11; ++l)
        EXPECT_EQ(image.data(0, l)[image.surface(0, l).size - 1], l);

    DdsBuild one;
    one.width = one.height = 1;
    DdsImage single;
    ASSERT_TRUE(parses(one.file(VK_FORMAT_R8G8B8A8_UNORM), &single));
    EXPECT_EQ(single.mipLevels, 1u);
}

TEST(DdsTest, CubeFacesComeInLayerOrder) {
    DdsBuild dx10;
    dx10.width = dx10.height = 8;
    dx10.mipCount = 4;
    dx10.cube = true;
    DdsImage image;
    ASSERT_TRUE(parses(dx10.file(VK_FORMAT_R8G8B8A8_UNORM), &image));
    ASSERT_EQ(image.faces, 6u);
    for (uint32_t f = 0; f < 6; ++f)
        for (uint32_t l = 0; l < 4; ++l) {
            EXPECT_EQ(image.surface(f, l).width, 8u >> l);
            EXPECT_EQ(image.data(f, l)[0], f * 16 + l);
            EXPECT_EQ(image.data(f, l)[image.surface(f, l).size - 1], f * 16 + l);
        }

    DdsBuild legacy;
    legacy.dxgi = 0;
    legacy.width = legacy.height = 4;
    legacy.pixelFormat = {Dds::PixelFlagRgb | Dds::PixelFlagAlphaPixels, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    legacy.caps2 = Dds::Caps2Cubemap | Dds::Caps2AllFaces;
    ASSERT_TRUE(parses(legacy.file(VK_FORMAT_B8G8R8A8_UNORM), &image));
    EXPECT_EQ(image.format, VK_FORMAT_B8G8R8A8_UNORM);
    ASSERT_EQ(image.faces, 6u);
    EXPECT_EQ(image.data(5, 0)[0], 5 * 16);
}

TEST(DdsTest, FormatsMapToVulkan) {
    EXPECT_EQ(Dds::formatFromDxgi(28), VK_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(Dds::formatFromDxgi(29), VK_FORMAT_R8G8B8A8_SRGB);
    EXPECT_EQ(Dds::formatFromDxgi(87), VK_FORMAT_B8G8R8A8_UNORM);
    EXPECT_EQ(Dds::formatFromDxgi(91), VK_FORMAT_B8G8R8A8_SRGB);
    EXPECT_EQ(Dds::formatFromDxgi(41), VK_FORMAT_R32_SFLOAT);
    EXPECT_EQ(Dds::formatFromDxgi(10), VK_FORMAT_R16G16B16A16_SFLOAT);
    EXPECT_EQ(Dds::formatFromDxgi(2), VK_FORMAT_R32G32B32A32_SFLOAT);
    EXPECT_EQ(Dds::formatFromDxgi(71), VK_FORMAT_BC1_RGBA_UNORM_BLOCK);
    EXPECT_EQ(Dds::formatFromDxgi(78), VK_FORMAT_BC3_SRGB_BLOCK);
    EXPECT_EQ(Dds::formatFromDxgi(83), VK_FORMAT_BC5_UNORM_BLOCK);
    EXPECT_EQ(Dds::formatFromDxgi(99), VK_FORMAT_BC7_SRGB_BLOCK);
    EXPECT_EQ(Dds::formatFromDxgi(0), VK_FORMAT_UNDEFINED);
    EXPECT_EQ(Dds::formatFromDxgi(20), VK_FORMAT_UNDEFINED); // D32_FLOAT_S8X24: not a texture format here

    auto fourCC = [](uint32_t code) { return DdsPixelFormat{Dds::PixelFlagFourCC, code, 0, 0, 0, 0, 0}; };
    EXPECT_EQ(Dds::formatFromLegacy(fourCC(Dds::fourCC('D', 'X', 'T', '1'))), VK_FORMAT_BC1_RGBA_UNORM_BLOCK);
    EXPECT_EQ(Dds::formatFromLegacy(fourCC(Dds::fourCC('D', 'X', 'T', '5'))), VK_FORMAT_BC3_UNORM_BLOCK);
    EXPECT_EQ(Dds::formatFromLegacy(fourCC(Dds::fourCC('A', 'T', 'I', '2'))), VK_FORMAT_BC5_UNORM_BLOCK);
    EXPECT_EQ(Dds::formatFromLegacy(fourCC(113)), VK_FORMAT_R16G16B16A16_SFLOAT);
    EXPECT_EQ(Dds::formatFromLegacy(fourCC(114)), VK_FORMAT_R32_SFLOAT);
    EXPECT_EQ(Dds::formatFromLegacy(fourCC(116)), VK_FORMAT_R32G32B32A32_SFLOAT);
    EXPECT_EQ(Dds::formatFromLegacy(fourCC(Dds::fourCC('Y', 'U', 'Y', '2'))), VK_FORMAT_UNDEFINED);
    uint32_t rgba = Dds::PixelFlagRgb | Dds::PixelFlagAlphaPixels;
    EXPECT_EQ(Dds::formatFromLegacy({rgba, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000}), VK_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(Dds::formatFromLegacy({rgba, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}), VK_FORMAT_B8G8R8A8_UNORM);
    EXPECT_EQ(Dds::formatFromLegacy({Dds::PixelFlagRgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0}), VK_FORMAT_B8G8R8A8_UNORM);
    EXPECT_EQ(Dds::formatFromLegacy({Dds::PixelFlagRgb, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0}), VK_FORMAT_UNDEFINED);
    EXPECT_EQ(Dds::formatFromLegacy({Dds::PixelFlagLuminance, 0, 8, 0xFF, 0, 0, 0}), VK_FORMAT_R8_UNORM);

    // Block-compressed surfaces round up to whole 4 x 4 blocks.
    EXPECT_EQ(Dds::surfaceSize(VK_FORMAT_BC1_RGBA_UNORM_BLOCK, 5, 3), 2u * 1 * 8);
    EXPECT_EQ(Dds::surfaceSize(VK_FORMAT_BC7_UNORM_BLOCK, 1, 1), 16u);
    EXPECT_EQ(Dds::surfaceSize(VK_FORMAT_BC3_UNORM_BLOCK, 256, 128), 64u * 32 * 16);
    EXPECT_EQ(Dds::surfaceSize(VK_FORMAT_R32G32B32A32_SFLOAT, 3, 2), 96u);
    EXPECT_EQ(Dds::surfaceSize(VK_FORMAT_D32_SFLOAT, 4, 4), 0u);
}

TEST(DdsTest, BlockCompressedChainSizesAddUp) {
    DdsBuild b;
    b.width = 20;
    b.height = 12;
    b.mipCount = 5; // 20x12, 10x6, 5x3, 2x1, 1x1: every level at least one block
    b.dxgi = 71;
    std::vector<uint8_t> bytes = b.file(VK_FORMAT_BC1_RGBA_UNORM_BLOCK);
    EXPECT_EQ(bytes.size(), 148u + 8 * (5 * 3 + 3 * 2 + 2 * 1 + 1 + 1));
    DdsImage image;
    ASSERT_TRUE(parses(bytes, &image));
    EXPECT_EQ(image.surface(0, 2).size, 2u * 8);
    EXPECT_EQ(image.surface(0, 4).size, 8u);

    DdsBuild legacy;
    legacy.dxgi = 0;
    legacy.width = legacy.height = 8;
    legacy.mipCount = 4;
    legacy.pixelFormat = {Dds::PixelFlagFourCC, Dds::fourCC('D', 'X', 'T', '5'), 0, 0, 0, 0, 0};
    ASSERT_TRUE(parses(legacy.file(VK_FORMAT_BC3_UNORM_BLOCK), &image));
    EXPECT_EQ(image.format, VK_FORMAT_BC3_UNORM_BLOCK);
    EXPECT_EQ(image.bytes.size(), 128u + 16 * (4 + 1 + 1 + 1));
}

TEST(DdsTest, CorruptFilesEndWithTheLoadError) {
    DdsBuild good;
    good.width = 16;
    good.height = 8;
    good.mipCount = 5;
    std::vector<uint8_t> valid = good.file(VK_FORMAT_R8G8B8A8_UNORM);
    ASSERT_TRUE(parses(valid));

    std::vector<std::pair<const char*, std::vector<uint8_t>>> cases;
    auto with = [&](const char* name, auto edit) {
        DdsBuild b = good;
        edit(b);
        cases.emplace_back(name, b.file(b.dxgi ? Dds::formatFromDxgi(b.dxgi) : VK_FORMAT_R8G8B8A8_UNORM));
    };
    auto patched = [&](const char* name, size_t offset, uint32_t value) {
        std::vector<uint8_t> b = valid;
        std::memcpy(b.data() + offset, &value, 4);
        cases.emplace_back(name, b);
    };
    cases.emplace_back("empty file", std::vector<uint8_t>{});
    cases.emplace_back("truncated header", std::vector<uint8_t>(valid.begin(), valid.begin() + 100));
    cases.emplace_back("truncated DX10 header", std::vector<uint8_t>(valid.begin(), valid.begin() + 140));
    cases.emplace_back("truncated pixel data", std::vector<uint8_t>(valid.begin(), valid.end() - 1));
    std::vector<uint8_t> longer = valid;
    longer.push_back(0);
    cases.emplace_back("trailing bytes", longer);
    patched("wrong magic", 0, Dds::fourCC('D', 'D', 'S', 'X'));
    patched("header size", 4, 128);
    patched("pixel format size", 76, 0);
    patched("huge width", 16, 0x40000000);
    patched("huge height", 12, 0xFFFFFFFF);
    patched("zero width", 16, 0);
    patched("more levels than the size allows", 28, 6);
    with("bad DX10 dimension", [](DdsBuild& b) { b.dimension = 4; });
    with("1D resource", [](DdsBuild& b) { b.dimension = 2; });
    with("texture array", [](DdsBuild& b) { b.arraySize = 3; });
    with("zero array size", [](DdsBuild& b) { b.arraySize = 0; });
    with("non-square cube", [](DdsBuild& b) { b.cube = true; });
    with("unsupported DXGI format", [](DdsBuild& b) { b.dxgi = 20; });
    with("partial legacy cube", [](DdsBuild& b) {
        b.dxgi = 0;
        b.width = b.height = 16;
        b.pixelFormat = {Dds::PixelFlagRgb | Dds::PixelFlagAlphaPixels, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000};
        b.caps2 = Dds::Caps2Cubemap | 0x400 | 0x800;
    });
    with("unsupported legacy format", [](DdsBuild& b) {
        b.dxgi = 0;
        b.pixelFormat = {Dds::PixelFlagRgb, 0, 16, 0xF800, 0x7E0, 0x1F, 0};
    });
    with("volume texture", [](DdsBuild& b) {
        b.dxgi = 0;
        b.pixelFormat = {Dds::PixelFlagRgb | Dds::PixelFlagAlphaPixels, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000};
        b.caps2 = 0x200000;
    });

    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(parses(bytes));
        DdsFile file(bytes);
        expectLoadError(file.path);
    }
    expectLoadError("/nonexistent/kestrune/missing.dds");
    expectLoadError(std::filesystem::temp_directory_path().string()); // a directory is not a file
}

TEST(DdsTest, TruncatedShortMipChainIsRefusedAsTexture) {
    DdsBuild b;
    b.width = 1024;
    b.height = 512;
    b.mipCount = 10; // one level short of 1 x 1
    DdsFile shortChain(b.file(VK_FORMAT_R8G8B8A8_UNORM));
    EXPECT_EQ(Dds::load(shortChain.path).mipLevels, 10u); // a well-formed file...
    expectLoadError(shortChain.path, true);               // ...but not a complete texture

    DdsBuild cube;
    cube.width = cube.height = 4;
    cube.mipCount = 3;
    cube.cube = true;
    DdsFile cubeFile(cube.file(VK_FORMAT_R8G8B8A8_UNORM));
    expectLoadError(cubeFile.path, true);
}

TEST(DdsTest, MalformedBytesNeverReadOutOfBounds) {
    DdsBuild b;
    b.width = 12;
    b.height = 8;
    b.mipCount = 4;
    std::vector<uint8_t> valid = b.file(VK_FORMAT_R8G8B8A8_UNORM);
    for (size_t n = 0; n < valid.size(); ++n)
        ASSERT_FALSE(parses(std::vector<uint8_t>(valid.begin(), valid.begin() + n))) << "length " << n;

    // Random header corruption: either refused, or every surface lies inside the buffer.
    std::mt19937 rng(7);
    for (int trial = 0; trial < 4000; ++trial) {
        std::vector<uint8_t> bytes = valid;
        int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits; ++e)
            bytes[rng() % 148] = uint8_t(rng());
        DdsImage image;
        if (!parses(bytes, &image))
            continue;
        for (const DdsSurface& s : image.surfaces)
            ASSERT_LE(s.offset + s.size, image.bytes.size());
        ASSERT_EQ(image.surfaces.size(), size_t(image.faces) * image.mipLevels);
    }
}
