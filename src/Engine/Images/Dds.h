#pragma once
// DDS reading: legacy and DX10 headers, mip chains and cube faces, texel formats as VkFormat.
// `Dds::parse` is a pure function over the file's bytes that refuses anything it cannot read exactly;
// `Dds::load` reads a file and turns every refusal into the engine error.
#include <vulkan/vulkan.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Byte range of one surface (one face at one mip level) inside the file.
struct DdsSurface {
    uint32_t width = 0;
    uint32_t height = 0;
    size_t offset = 0;
    size_t size = 0;
};

struct DdsImage {
    VkFormat format = VK_FORMAT_UNDEFINED;
    uint32_t width = 0; // of mip level 0, in texels
    uint32_t height = 0;
    uint32_t mipLevels = 0;
    uint32_t faces = 0;               // 1, or 6 for a cube map in layer order +X, -X, +Y, -Y, +Z, -Z
    std::vector<uint8_t> bytes;       // the whole file
    std::vector<DdsSurface> surfaces; // face-major, as stored: surfaces[face * mipLevels + level]

    const DdsSurface& surface(uint32_t face, uint32_t level) const { return surfaces[face * mipLevels + level]; }
    const uint8_t* data(uint32_t face, uint32_t level) const { return bytes.data() + surface(face, level).offset; }
};

// Texel block of a format: 1 x 1 for plain formats, 4 x 4 for block-compressed ones.
struct DdsBlockInfo {
    uint32_t blockWidth = 1;
    uint32_t blockHeight = 1;
    uint32_t blockBytes = 0; // 0: a format this reader does not handle
};

// The legacy DDS_PIXELFORMAT fields that select a format.
struct DdsPixelFormat {
    uint32_t flags = 0;
    uint32_t fourCC = 0;
    uint32_t rgbBitCount = 0;
    uint32_t rMask = 0;
    uint32_t gMask = 0;
    uint32_t bMask = 0;
    uint32_t aMask = 0;
};

namespace Dds {

constexpr uint32_t Magic = 0x20534444; // "DDS "
constexpr uint32_t HeaderSize = 124;
constexpr uint32_t PixelFormatSize = 32;
constexpr uint32_t Dx10HeaderSize = 20;
constexpr uint32_t MaxDimension = 16384;

constexpr uint32_t PixelFlagAlphaPixels = 0x1;
constexpr uint32_t PixelFlagFourCC = 0x4;
constexpr uint32_t PixelFlagRgb = 0x40;
constexpr uint32_t PixelFlagLuminance = 0x20000;
constexpr uint32_t Caps2Cubemap = 0x200;
constexpr uint32_t Caps2AllFaces = 0xFC00;
constexpr uint32_t Caps2Volume = 0x200000;
constexpr uint32_t Dx10DimensionTexture2D = 3;
constexpr uint32_t Dx10MiscTextureCube = 0x4;

constexpr uint32_t fourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

// floor(log2(max(width, height))) + 1: the levels of a full chain down to 1 x 1.
uint32_t fullMipCount(uint32_t width, uint32_t height);
DdsBlockInfo blockInfo(VkFormat format);
// Bytes of one width x height surface, whole blocks for compressed formats; 0 for unknown formats.
uint64_t surfaceSize(VkFormat format, uint32_t width, uint32_t height);
// VK_FORMAT_UNDEFINED when the DXGI format has no counterpart here.
VkFormat formatFromDxgi(uint32_t dxgiFormat);
// FourCC codes (DXT1..5, ATI1/2, BC4U/BC5U, D3DFMT float numbers) and RGB/luminance bit masks.
VkFormat formatFromLegacy(const DdsPixelFormat& pixelFormat);

// Parses a whole DDS file. On success fills `image` (taking the bytes) and returns true; otherwise returns
// false with the reason in `reason` and leaves `image` unspecified. Never reads outside `bytes`.
bool parse(std::vector<uint8_t> bytes, DdsImage& image, std::string& reason);

std::string loadErrorMessage(const std::string& path);
// Reads and parses a DDS file; a missing, unreadable or refused file is the engine error
// "Unable to load DDS image file from path[" + path + "]".
DdsImage load(const std::string& path);
// `load` for a 2D texture: one face carrying the full mip chain (textures are filtered down to 1 x 1),
// anything else is the same engine error.
DdsImage loadTexture2D(const std::string& path);

} // namespace Dds
