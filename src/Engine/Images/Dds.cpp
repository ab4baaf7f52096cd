#include "Engine/Images/Dds.h"

#include "Engine/Files/UserFile.h"
#include "Engine/Helper/Helper.h"

#include <iostream>

namespace Dds {

namespace {

// Header field offsets in bytes from the start of the file (after the 4-byte magic).
constexpr size_t OffHeaderSize = 4;
constexpr size_t OffHeight = 12;
constexpr size_t OffWidth = 16;
constexpr size_t OffDepth = 24;
constexpr size_t OffMipCount = 28;
constexpr size_t OffPixelFormat = 76;
constexpr size_t OffCaps2 = 112;
constexpr size_t OffDx10 = 4 + HeaderSize;

constexpr uint32_t HeaderFlagDepth = 0x800000;
constexpr uint32_t HeaderFlagsOffset = 8;

// Files beyond this are refused before anything is allocated for them.
constexpr uint64_t MaxFileSize = uint64_t(2) << 30;

uint32_t readU32(const std::vector<uint8_t>& b, size_t offset) {
    return uint32_t(b[offset]) | uint32_t(b[offset + 1]) << 8 | uint32_t(b[offset + 2]) << 16 |
           uint32_t(b[offset + 3]) << 24;
}

bool fail(std::string& reason, const char* why) {
    reason = why;
    return false;
}

} // namespace

uint32_t fullMipCount(uint32_t width, uint32_t height) {
    uint32_t size = width > height ? width : height;
    uint32_t levels = 1;
    while (size > 1) {
        size >>= 1;
        ++levels;
    }
    return levels;
}

DdsBlockInfo blockInfo(VkFormat format) {
    switch (format) {
    case VK_FORMAT_R8_UNORM:
        return {1, 1, 1};
    case VK_FORMAT_R8G8_UNORM:
    case VK_FORMAT_R16_UNORM:
    case VK_FORMAT_R16_SFLOAT:
        return {1, 1, 2};
    case VK_FORMAT_R8G8B8A8_UNORM:
    case VK_FORMAT_R8G8B8A8_SRGB:
    case VK_FORMAT_B8G8R8A8_UNORM:
    case VK_FORMAT_B8G8R8A8_SRGB:
    case VK_FORMAT_A2B10G10R10_UNORM_PACK32:
    case VK_FORMAT_B10G11R11_UFLOAT_PACK32:
    case VK_FORMAT_R16G16_UNORM:
    case VK_FORMAT_R16G16_SFLOAT:
    case VK_FORMAT_R32_SFLOAT:
        return {1, 1, 4};
    case VK_FORMAT_R16G16B16A16_UNORM:
    case VK_FORMAT_R16G16B16A16_SFLOAT:
    case VK_FORMAT_R32G32_SFLOAT:
        return {1, 1, 8};
    case VK_FORMAT_R32G32B32A32_SFLOAT:
        return {1, 1, 16};
    case VK_FORMAT_BC1_RGBA_UNORM_BLOCK:
    case VK_FORMAT_BC1_RGBA_SRGB_BLOCK:
    case VK_FORMAT_BC4_UNORM_BLOCK:
    case VK_FORMAT_BC4_SNORM_BLOCK:
        return {4, 4, 8};
    case VK_FORMAT_BC2_UNORM_BLOCK:
    case VK_FORMAT_BC2_SRGB_BLOCK:
    case VK_FORMAT_BC3_UNORM_BLOCK:
    case VK_FORMAT_BC3_SRGB_BLOCK:
    case VK_FORMAT_BC5_UNORM_BLOCK:
    case VK_FORMAT_BC5_SNORM_BLOCK:
    case VK_FORMAT_BC6H_UFLOAT_BLOCK:
    case VK_FORMAT_BC6H_SFLOAT_BLOCK:
    case VK_FORMAT_BC7_UNORM_BLOCK:
    case VK_FORMAT_BC7_SRGB_BLOCK:
        return {4, 4, 16};
    default:
        return {1, 1, 0};
    }
}

uint64_t surfaceSize(VkFormat format, uint32_t width, uint32_t height) {
    DdsBlockInfo b = blockInfo(format);
    uint64_t blocksX = (uint64_t(width) + b.blockWidth - 1) / b.blockWidth;
    uint64_t blocksY = (uint64_t(height) + b.blockHeight - 1) / b.blockHeight;
    return blocksX * blocksY * b.blockBytes;
}

VkFormat formatFromDxgi(uint32_t dxgi) {
    switch (dxgi) {
    case 2:
        return VK_FORMAT_R32G32B32A32_SFLOAT;
    case 10:
        return VK_FORMAT_R16G16B16A16_SFLOAT;
    case 11:
        return VK_FORMAT_R16G16B16A16_UNORM;
    case 16:
        return VK_FORMAT_R32G32_SFLOAT;
    case 24:
        return VK_FORMAT_A2B10G10R10_UNORM_PACK32; // DXGI R10G10B10A2 packs R in the low bits
    case 26:
        return VK_FORMAT_B10G11R11_UFLOAT_PACK32; // DXGI R11G11B10 likewise
    case 28:
        return VK_FORMAT_R8G8B8A8_UNORM;
    case 29:
        return VK_FORMAT_R8G8B8A8_SRGB;
    case 34:
        return VK_FORMAT_R16G16_SFLOAT;
    case 35:
        return VK_FORMAT_R16G16_UNORM;
    case 41:
        return VK_FORMAT_R32_SFLOAT;
    case 49:
        return VK_FORMAT_R8G8_UNORM;
    case 54:
        return VK_FORMAT_R16_SFLOAT;
    case 56:
        return VK_FORMAT_R16_UNORM;
    case 61:
        return VK_FORMAT_R8_UNORM;
    case 71:
        return VK_FORMAT_BC1_RGBA_UNORM_BLOCK;
    case 72:
        return VK_FORMAT_BC1_RGBA_SRGB_BLOCK;
    case 74:
        return VK_FORMAT_BC2_UNORM_BLOCK;
    case 75:
        return VK_FORMAT_BC2_SRGB_BLOCK;
    case 77:
        return VK_FORMAT_BC3_UNORM_BLOCK;
    case 78:
        return VK_FORMAT_BC3_SRGB_BLOCK;
    case 80:
        return VK_FORMAT_BC4_UNORM_BLOCK;
    case 81:
        return VK_FORMAT_BC4_SNORM_BLOCK;
    case 83:
        return VK_FORMAT_BC5_UNORM_BLOCK;
    case 84:
        return VK_FORMAT_BC5_SNORM_BLOCK;
    case 87:
        return VK_FORMAT_B8G8R8A8_UNORM;
    case 91:
        return VK_FORMAT_B8G8R8A8_SRGB;
    case 95:
        return VK_FORMAT_BC6H_UFLOAT_BLOCK;
    case 96:
        return VK_FORMAT_BC6H_SFLOAT_BLOCK;
    case 98:
        return VK_FORMAT_BC7_UNORM_BLOCK;
    case 99:
        return VK_FORMAT_BC7_SRGB_BLOCK;
    default:
        return VK_FORMAT_UNDEFINED;
    }
}

VkFormat formatFromLegacy(const DdsPixelFormat& pf) {
    if (pf.flags & PixelFlagFourCC) {
        switch (pf.fourCC) {
        case fourCC('D', 'X', 'T', '1'):
            return VK_FORMAT_BC1_RGBA_UNORM_BLOCK;
        case fourCC('D', 'X', 'T', '2'):
        case fourCC('D', 'X', 'T', '3'):
            return VK_FORMAT_BC2_UNORM_BLOCK;
        case fourCC('D', 'X', 'T', '4'):
        case fourCC('D', 'X', 'T', '5'):
            return VK_FORMAT_BC3_UNORM_BLOCK;
        case fourCC('A', 'T', 'I', '1'):
        case fourCC('B', 'C', '4', 'U'):
            return VK_FORMAT_BC4_UNORM_BLOCK;
        case fourCC('B', 'C', '4', 'S'):
            return VK_FORMAT_BC4_SNORM_BLOCK;
        case fourCC('A', 'T', 'I', '2'):
        case fourCC('B', 'C', '5', 'U'):
            return VK_FORMAT_BC5_UNORM_BLOCK;
        case fourCC('B', 'C', '5', 'S'):
            return VK_FORMAT_BC5_SNORM_BLOCK;
        // D3DFORMAT numbers stored in the FourCC field.
        case 36:
            return VK_FORMAT_R16G16B16A16_UNORM;
        case 111:
            return VK_FORMAT_R16_SFLOAT;
        case 112:
            return VK_FORMAT_R16G16_SFLOAT;
        case 113:
            return VK_FORMAT_R16G16B16A16_SFLOAT;
        case 114:
            return VK_FORMAT_R32_SFLOAT;
        case 115:
            return VK_FORMAT_R32G32_SFLOAT;
        case 116:
            return VK_FORMAT_R32G32B32A32_SFLOAT;
        default:
            return VK_FORMAT_UNDEFINED;
        }
    }
    if (pf.flags & PixelFlagRgb) {
        bool alpha = (pf.flags & PixelFlagAlphaPixels) != 0;
        if (pf.rgbBitCount == 32) {
            // X8 variants (no alpha mask) share the byte layout; their fourth byte is undefined.
            if (pf.rMask == 0xFF && pf.gMask == 0xFF00 && pf.bMask == 0xFF0000 &&
                (pf.aMask == 0xFF000000u || (!alpha && pf.aMask == 0)))
                return VK_FORMAT_R8G8B8A8_UNORM;
            if (pf.rMask == 0xFF0000 && pf.gMask == 0xFF00 && pf.bMask == 0xFF &&
                (pf.aMask == 0xFF000000u || (!alpha && pf.aMask == 0)))
                return VK_FORMAT_B8G8R8A8_UNORM;
            if (pf.rMask == 0xFFFF && pf.gMask == 0xFFFF0000u && pf.bMask == 0 && pf.aMask == 0)
                return VK_FORMAT_R16G16_UNORM;
            if (pf.rMask == 0x3FF && pf.gMask == 0xFFC00 && pf.bMask == 0x3FF00000 && pf.aMask == 0xC0000000u)
                return VK_FORMAT_A2B10G10R10_UNORM_PACK32;
        }
        return VK_FORMAT_UNDEFINED;
    }
    if (pf.flags & PixelFlagLuminance) {
        if (pf.rgbBitCount == 8 && pf.rMask == 0xFF)
            return VK_FORMAT_R8_UNORM;
        if (pf.rgbBitCount == 16 && pf.rMask == 0xFFFF)
            return VK_FORMAT_R16_UNORM;
    }
    return VK_FORMAT_UNDEFINED;
}

bool parse(std::vector<uint8_t> bytes, DdsImage& image, std::string& reason) {
    if (bytes.size() < 4 + HeaderSize)
        return fail(reason, "file shorter than the DDS header");
    if (readU32(bytes, 0) != Magic)
        return fail(reason, "bad magic");
    if (readU32(bytes, OffHeaderSize) != HeaderSize || readU32(bytes, OffPixelFormat) != PixelFormatSize)
        return fail(reason, "header size fields are wrong");

    uint32_t flags = readU32(bytes, HeaderFlagsOffset);
    uint32_t height = readU32(bytes, OffHeight);
    uint32_t width = readU32(bytes, OffWidth);
    uint32_t depth = readU32(bytes, OffDepth);
    uint32_t mipCount = readU32(bytes, OffMipCount);
    uint32_t caps2 = readU32(bytes, OffCaps2);
    DdsPixelFormat pf;
    pf.flags = readU32(bytes, OffPixelFormat + 4);
    pf.fourCC = readU32(bytes, OffPixelFormat + 8);
    pf.rgbBitCount = readU32(bytes, OffPixelFormat + 12);
    pf.rMask = readU32(bytes, OffPixelFormat + 16);
    pf.gMask = readU32(bytes, OffPixelFormat + 20);
    pf.bMask = readU32(bytes, OffPixelFormat + 24);
    pf.aMask = readU32(bytes, OffPixelFormat + 28);

    if (width == 0 || height == 0 || width > MaxDimension || height > MaxDimension)
        return fail(reason, "zero or absurd dimensions");
    if ((caps2 & Caps2Volume) || ((flags & HeaderFlagDepth) && depth > 1))
        return fail(reason, "volume textures are not supported");

    size_t dataOffset = 4 + HeaderSize;
    VkFormat format = VK_FORMAT_UNDEFINED;
    uint32_t faces = 1;
    if ((pf.flags & PixelFlagFourCC) && pf.fourCC == fourCC('D', 'X', '1', '0')) {
        if (bytes.size() < OffDx10 + Dx10HeaderSize)
            return fail(reason, "file shorter than the DX10 header");
        uint32_t dxgi = readU32(bytes, OffDx10);
        uint32_t dimension = readU32(bytes, OffDx10 + 4);
        uint32_t misc = readU32(bytes, OffDx10 + 8);
        uint32_t arraySize = readU32(bytes, OffDx10 + 12);
        if (dimension != Dx10DimensionTexture2D)
            return fail(reason, "DX10 resource dimension is not a 2D texture");
        if (arraySize != 1)
            return fail(reason, "texture arrays are not supported");
        if (misc & Dx10MiscTextureCube)
            faces = 6;
        format = formatFromDxgi(dxgi);
        dataOffset += Dx10HeaderSize;
    } else {
        if (caps2 & Caps2Cubemap) {
            if ((caps2 & Caps2AllFaces) != Caps2AllFaces)
                return fail(reason, "cube map without all six faces");
            faces = 6;
        }
        format = formatFromLegacy(pf);
    }
    if (format == VK_FORMAT_UNDEFINED || blockInfo(format).blockBytes == 0)
        return fail(reason, "unsupported format");
    if (faces == 6 && width != height)
        return fail(reason, "cube map faces are not square");

    uint32_t levels = mipCount == 0 ? 1 : mipCount;
    if (levels > fullMipCount(width, height))
        return fail(reason, "more mip levels than the size allows");

    // Sizes in 64 bits: with the dimension cap no sum below can overflow.
    std::vector<DdsSurface> surfaces;
    surfaces.reserve(size_t(faces) * levels);
    uint64_t offset = dataOffset;
    for (uint32_t face = 0; face < faces; ++face) {
        for (uint32_t level = 0; level < levels; ++level) {
            uint32_t w = width >> level ? width >> level : 1;
            uint32_t h = height >> level ? height >> level : 1;
            uint64_t size = surfaceSize(format, w, h);
            if (offset + size > bytes.size())
                return fail(reason, "pixel data truncated");
            surfaces.push_back({w, h, size_t(offset), size_t(size)});
            offset += size;
        }
    }
    if (offset != bytes.size())
        return fail(reason, "pixel data longer than the header describes");

    image.format = format;
    image.width = width;
    image.height = height;
    image.mipLevels = levels;
    image.faces = faces;
    image.surfaces = std::move(surfaces);
    image.bytes = std::move(bytes);
    return true;
}

std::string loadErrorMessage(const std::string& path) {
    return "Unable to load DDS image file from path[" + path + "]";
}

DdsImage load(const std::string& path) {
    UserFile file = readUserFile(path, MaxFileSize);
    if (!file.ok()) {
        // The error line itself has a fixed form; the reason goes beside it.
        std::cerr << "DDS file " << path << " " << file.reason() << std::endl;
        ENGINE_ERROR(loadErrorMessage(path));
    }
    std::vector<uint8_t> bytes(file.bytes.begin(), file.bytes.end());
    file.bytes = {};
    DdsImage image;
    std::string reason;
    if (!parse(std::move(bytes), image, reason))
        ENGINE_ERROR(loadErrorMessage(path));
    return image;
}

DdsImage loadTexture2D(const std::string& path) {
    DdsImage image = load(path);
    if (image.faces != 1 || image.mipLevels != fullMipCount(image.width, image.height))
        ENGINE_ERROR(loadErrorMessage(path));
    return image;
}

} // namespace Dds
