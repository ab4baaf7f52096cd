#include "Preview.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <stdexcept>

namespace AssetGen {

void writePng(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height) {
    if (!stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4))
        throw std::runtime_error("cannot write " + path);
}

void writeSkyCross(const std::string& path, const std::vector<std::vector<uint8_t>>& faces, int size, int shrink) {
    // Cross cells (column, row) of +X, -X, +Y, -Y, +Z, -Z seen from inside: -X +Z +X -Z across the middle.
    const int cells[6][2] = {{2, 1}, {0, 1}, {1, 0}, {1, 2}, {1, 1}, {3, 1}};
    int s = size / shrink;
    std::vector<uint8_t> out(size_t(4 * s) * (3 * s) * 4, 0);
    for (int f = 0; f < 6; ++f)
        for (int y = 0; y < s; ++y)
            for (int x = 0; x < s; ++x) {
                // Keep the brightest texel of each block so single-texel stars survive the reduction.
                uint8_t best[4] = {0, 0, 0, 255};
                int bestSum = -1;
                for (int j = 0; j < shrink; ++j)
                    for (int i = 0; i < shrink; ++i) {
                        const uint8_t* p = faces[f].data() + (size_t(y * shrink + j) * size + x * shrink + i) * 4;
                        if (p[0] + p[1] + p[2] > bestSum) {
                            bestSum = p[0] + p[1] + p[2];
                            std::copy(p, p + 3, best);
                        }
                    }
                uint8_t* o = out.data() + (size_t(cells[f][1] * s + y) * (4 * s) + cells[f][0] * s + x) * 4;
                std::copy(best, best + 4, o);
            }
    writePng(path, out, 4 * s, 3 * s);
}

void writeModelPreview(const std::string& path, const ModelMesh& mesh, const MaterialImages& materials, float yaw,
                       float pitch, int width, int height) {
    float cy = std::cos(pitch * Pi / 180), sy = std::sin(pitch * Pi / 180);
    // Camera looks along -toCamera; right and up complete the frame.
    Vec3 toCamera{std::sin(yaw * Pi / 180) * cy, sy, std::cos(yaw * Pi / 180) * cy};
    Vec3 right = normalize(cross({0, 1, 0}, toCamera));
    Vec3 up = cross(toCamera, right);
    Vec3 light = normalize({0.5f, 0.8f, 0.6f});
    float scale = std::min(width, height) / 7.0f;
    std::vector<float> depth(size_t(width) * height, -1e30f);
    std::vector<uint8_t> image(size_t(width) * height * 4, 0);
    for (size_t i = 3; i < image.size(); i += 4)
        image[i] = 255;
    auto project = [&](const Vec3& p) {
        return Vec3{width * 0.5f + dot(p, right) * scale, height * 0.5f - dot(p, up) * scale, dot(p, toCamera)};
    };
    const FloatImage& albedo = materials.baseColor;
    for (size_t t = 0; t < mesh.indices.size(); t += 3) {
        const ModelVertex* v[3] = {&mesh.vertices[mesh.indices[t]], &mesh.vertices[mesh.indices[t + 1]],
                                   &mesh.vertices[mesh.indices[t + 2]]};
        Vec3 s[3] = {project(v[0]->position), project(v[1]->position), project(v[2]->position)};
        // Screen rows run down, so a counter-clockwise triangle facing the camera has negative area here.
        float area = (s[1].x - s[0].x) * (s[2].y - s[0].y) - (s[2].x - s[0].x) * (s[1].y - s[0].y);
        if (area >= 0)
            continue;
        int x0 = std::max(0, int(std::min({s[0].x, s[1].x, s[2].x})));
        int x1 = std::min(width - 1, int(std::max({s[0].x, s[1].x, s[2].x})) + 1);
        int y0 = std::max(0, int(std::min({s[0].y, s[1].y, s[2].y})));
        int y1 = std::min(height - 1, int(std::max({s[0].y, s[1].y, s[2].y})) + 1);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                float px = x + 0.5f, py = y + 0.5f;
                float w0 = ((s[1].x - px) * (s[2].y - py) - (s[2].x - px) * (s[1].y - py)) / area;
                float w1 = ((s[2].x - px) * (s[0].y - py) - (s[0].x - px) * (s[2].y - py)) / area;
                float w2 = 1 - w0 - w1;
                if (w0 < 0 || w1 < 0 || w2 < 0)
                    continue;
                float z = w0 * s[0].z + w1 * s[1].z + w2 * s[2].z;
                float& d = depth[size_t(y) * width + x];
                if (z <= d)
                    continue;
                d = z;
                Vec3 n = normalize(v[0]->normal * w0 + v[1]->normal * w1 + v[2]->normal * w2);
                float u = v[0]->uv.x * w0 + v[1]->uv.x * w1 + v[2]->uv.x * w2;
                float vv = v[0]->uv.y * w0 + v[1]->uv.y * w1 + v[2]->uv.y * w2;
                int tx = std::clamp(int(u * albedo.width), 0, albedo.width - 1);
                int ty = std::clamp(int(vv * albedo.height), 0, albedo.height - 1);
                const float* a = albedo.at(tx, ty);
                float metal = materials.metallic.at(tx, ty)[0];
                float rough = materials.roughness.at(tx, ty)[0];
                float diffuse = std::max(0.0f, dot(n, light));
                Vec3 h = normalize(light + toCamera);
                float specular = std::pow(std::max(0.0f, dot(n, h)), 2.0f / std::max(0.02f, rough * rough * rough)) *
                             (diffuse > 0 ? 1.0f : 0.0f);
                Vec3 base{a[0], a[1], a[2]};
                Vec3 specColor = mix(Vec3{0.04f, 0.04f, 0.04f}, base, metal);
                Vec3 c = base * ((1 - metal) * (0.08f + 0.9f * diffuse) + metal * (0.25f + 0.35f * diffuse)) +
                         specColor * (specular * 1.5f);
                uint8_t* o = image.data() + (size_t(y) * width + x) * 4;
                for (int k = 0; k < 3; ++k) {
                    float lin = clamp01(k == 0 ? c.x : k == 1 ? c.y : c.z);
                    o[k] = uint8_t(255.0f *
                                   (lin <= 0.0031308f ? lin * 12.92f : 1.055f * std::pow(lin, 1 / 2.4f) - 0.055f));
                }
            }
    }
    writePng(path, image, width, height);
}

} // namespace AssetGen
