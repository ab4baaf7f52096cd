#include "DdsWriter.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace AssetGen {

namespace {

float srgbEncode(float linear) {
    linear = clamp01(linear);
    return linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
}

void put(std::vector<uint8_t>& b, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[offset + i] = uint8_t(v >> (8 * i));
}

} // namespace

std::vector<FloatImage> mipChain(const FloatImage& base, bool normalMap) {
    std::vector<FloatImage> chain{base};
    while (chain.back().width > 1 || chain.back().height > 1) {
        const FloatImage& src = chain.back();
        FloatImage dst(std::max(1, src.width / 2), std::max(1, src.height / 2));
        for (int y = 0; y < dst.height; ++y)
            for (int x = 0; x < dst.width; ++x) {
                int x0 = std::min(2 * x, src.width - 1), x1 = std::min(2 * x + 1, src.width - 1);
                int y0 = std::min(2 * y, src.height - 1), y1 = std::min(2 * y + 1, src.height - 1);
                float* d = dst.at(x, y);
                for (int c = 0; c < 4; ++c)
                    d[c] = 0.25f * (src.at(x0, y0)[c] + src.at(x1, y0)[c] + src.at(x0, y1)[c] + src.at(x1, y1)[c]);
                if (normalMap) {
                    Vec3 n = normalize({d[0], d[1], d[2]});
                    d[0] = n.x;
                    d[1] = n.y;
                    d[2] = n.z;
                }
            }
        chain.push_back(std::move(dst));
    }
    return chain;
}

std::vector<uint8_t> encodeRgba8(const FloatImage& image, TexelEncoding encoding, uint32_t ditherSeed) {
    std::vector<uint8_t> bytes(size_t(image.width) * image.height * 4);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const float* p = image.at(x, y);
            uint8_t* out = bytes.data() + (size_t(y) * image.width + x) * 4;
            float dither = hash01(uint32_t(x), uint32_t(y), ditherSeed) - 0.5f;
            for (int c = 0; c < 3; ++c) {
                float v = encoding == TexelEncoding::Srgb ? srgbEncode(p[c]) : clamp01(p[c]);
                out[c] = uint8_t(std::clamp(v * 255.0f + 0.5f + dither, 0.0f, 255.0f));
            }
            out[3] = uint8_t(std::clamp(p[3] * 255.0f + 0.5f, 0.0f, 255.0f));
        }
    return bytes;
}

void writeDdsRgba8(const std::string& path, TexelEncoding encoding, int width, int height, int mipLevels, int faces,
                   const std::vector<std::vector<uint8_t>>& surfaces) {
    std::vector<uint8_t> header(4 + 124 + 20, 0);
    put(header, 0, 0x20534444); // "DDS "
    put(header, 4, 124);
    // caps, height, width, pitch, pixel format; mip count when there is a chain
    put(header, 8, 0x100F | (mipLevels > 1 ? 0x20000 : 0));
    put(header, 12, uint32_t(height));
    put(header, 16, uint32_t(width));
    put(header, 20, uint32_t(width) * 4);
    put(header, 28, uint32_t(mipLevels));
    put(header, 76, 32);
    put(header, 80, 0x4); // FourCC "DX10"
    put(header, 84, 0x30315844);
    uint32_t caps = 0x1000; // texture
    if (mipLevels > 1)
        caps |= 0x8 | 0x400000; // complex, mipmap
    if (faces == 6)
        caps |= 0x8;
    put(header, 108, caps);
    put(header, 112, faces == 6 ? 0x200 | 0xFC00 : 0);
    put(header, 128, encoding == TexelEncoding::Srgb ? 29 : 28);
    put(header, 132, 3);                    // TEXTURE2D
    put(header, 136, faces == 6 ? 0x4 : 0); // TEXTURECUBE
    put(header, 140, 1);                    // one array element
    put(header, 144, 1);                    // straight alpha

    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        throw std::runtime_error("cannot write " + path);
    file.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
    for (const std::vector<uint8_t>& s : surfaces)
        file.write(reinterpret_cast<const char*>(s.data()), std::streamsize(s.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

void writeTexture(const std::string& path, const std::vector<FloatImage>& chain, TexelEncoding encoding) {
    std::vector<std::vector<uint8_t>> surfaces;
    for (size_t level = 0; level < chain.size(); ++level)
        surfaces.push_back(encodeRgba8(chain[level], encoding, uint32_t(level) + 1));
    writeDdsRgba8(path, encoding, chain[0].width, chain[0].height, int(chain.size()), 1, surfaces);
}

} // namespace AssetGen
