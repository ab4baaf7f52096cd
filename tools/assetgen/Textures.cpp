#include "Textures.h"

#include "DdsWriter.h"

namespace AssetGen {

namespace {

bool inside(const UvRect& r, float u, float v) {
    return u >= r.u0 && u < r.u1 && v >= r.v0 && v < r.v1;
}

// Distance in region units to the nearest multiple of `spacing`.
float lineDistance(float x, float spacing) {
    float f = x / spacing;
    return std::fabs(f - std::round(f)) * spacing;
}

// 0 on a line of `width` (region units) at every multiple of `spacing`, 1 away from it, antialiased.
float lines(float x, float spacing, float width) {
    return smoothstep(width * 0.5f, width, lineDistance(x, spacing));
}

// Crumpled film: the nearest of jittered cell points owns a flat facet with its own tilt and shade.
struct Facet {
    float height; // the facet plane's height at this point
    float shade;  // per-facet brightness in [0, 1)
    float edge;   // distance to the facet border relative to the cell size (0 on the border)
};

Facet facet(float x, float y, uint32_t seed) {
    int cx = int(std::floor(x)), cy = int(std::floor(y));
    float best = 1e9f, second = 1e9f;
    int bx = 0, by = 0;
    float bpx = 0, bpy = 0;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            uint32_t hx = uint32_t(cx + i + 4096), hy = uint32_t(cy + j + 4096);
            float px = float(cx + i) + hash01(hx, hy, seed), py = float(cy + j) + hash01(hx, hy, seed + 1);
            float d = (px - x) * (px - x) + (py - y) * (py - y);
            if (d < best) {
                second = best;
                best = d;
                bx = cx + i, by = cy + j, bpx = px, bpy = py;
            } else if (d < second) {
                second = d;
            }
        }
    uint32_t hx = uint32_t(bx + 4096), hy = uint32_t(by + 4096);
    float gx = hash01(hx, hy, seed + 2) * 2 - 1, gy = hash01(hx, hy, seed + 3) * 2 - 1;
    return {gx * (x - bpx) + gy * (y - bpy), hash01(hx, hy, seed + 4), std::sqrt(second) - std::sqrt(best)};
}

// Multi-layer insulation: crumpled gold-coloured film over large bulges, with taped seams.
MaterialSample gold(const Noise& n, float x, float y) {
    Facet coarse = facet(x * 18.0f, y * 14.0f, 11);
    Facet fine = facet(x * 55.0f + 0.37f, y * 47.0f, 23);
    float bulge = n.fbm(Vec3{x * 2.5f, y * 2.5f, 7.1f}, 3);
    float creases = n.ridged(Vec3{x * 9.0f, y * 6.0f, 3.3f}, 4);
    float tape = 1 - std::min(lines(x, 1.0f / 3.0f, 0.012f), lines(y, 0.5f, 0.012f));
    MaterialSample s;
    float shade = 0.7f + 0.25f * coarse.shade + 0.1f * fine.shade + 0.08f * bulge - 0.25f * creases * creases;
    s.albedo = Vec3{0.85f, 0.42f, 0.07f} * shade;
    s.metallic = 0.9f;
    s.roughness = clamp01(0.16f + 0.12f * fine.shade + 0.2f * creases * creases);
    s.height = 4.0f * bulge + 9.0f * coarse.height + 2.5f * fine.height + 1.5f * creases;
    // Seam tape: aluminised, smoother, slightly raised.
    s.albedo = mix(s.albedo, Vec3{0.78f, 0.62f, 0.34f}, tape);
    s.roughness = mix(s.roughness, 0.3f, tape);
    s.height = mix(s.height, 1.0f, tape);
    return s;
}

// Solar cells: dark blue silicon under cover glass with fine fingers and two busbars, white gaps between cells.
MaterialSample solar(const Noise& n, float x, float y) {
    const float cells = 8.0f;
    float cx = x * cells, cy = y * cells;
    float fx = cx - std::floor(cx), fy = cy - std::floor(cy);
    // Cut corners of pseudo-square cells.
    float edge = std::min(std::min(fx, 1 - fx), std::min(fy, 1 - fy));
    float corner = std::min(fx, 1 - fx) + std::min(fy, 1 - fy);
    float cell = smoothstep(0.025f, 0.04f, edge) * smoothstep(0.1f, 0.13f, corner);
    float variation = hash01(uint32_t(int(cx) + 64), uint32_t(int(cy) + 64), 7) - 0.5f;
    float fingers = 1 - lines(fy, 1.0f / 14.0f, 0.012f);
    float busbar = 1 - std::min(lines(fx - 1.0f / 3.0f, 10.0f, 0.03f), lines(fx - 2.0f / 3.0f, 10.0f, 0.03f));
    float grain = n.fbm(Vec3{x * 90.0f, y * 90.0f, 4.2f}, 2);

    Vec3 silicon = Vec3{0.018f, 0.032f, 0.11f} * (1 + 0.35f * variation + 0.1f * grain);
    Vec3 metal{0.55f, 0.56f, 0.58f};
    float conductor = std::max(busbar, 0.45f * fingers);
    MaterialSample s;
    s.albedo = mix(Vec3{0.62f, 0.62f, 0.6f}, mix(silicon, metal, conductor), cell);
    s.metallic = mix(0.0f, mix(0.25f, 0.9f, conductor), cell);
    s.roughness = mix(0.6f, mix(0.1f, 0.35f, conductor), cell);
    s.height = 1.2f * cell + 0.3f * busbar * cell;
    return s;
}

// White thermal paint with faint panel lines.
MaterialSample white(const Noise& n, float x, float y) {
    float mottle = n.fbm(Vec3{x * 9.0f, y * 9.0f, 2.7f}, 4);
    float panel = std::min(lines(x, 0.25f, 0.01f), lines(y, 0.25f, 0.01f));
    MaterialSample s;
    s.albedo = Vec3{0.8f, 0.8f, 0.78f} * (0.97f + 0.05f * mottle) * (0.75f + 0.25f * panel);
    s.metallic = 0.0f;
    s.roughness = 0.55f + 0.08f * mottle;
    s.height = 0.8f * panel + 0.2f * mottle;
    return s;
}

// Brushed aluminium: streaks along u.
MaterialSample aluminium(const Noise& n, float x, float y) {
    float streaks = n.fbm(Vec3{x * 3.0f, y * 160.0f, 5.5f}, 4);
    float blotch = n.fbm(Vec3{x * 6.0f, y * 6.0f, 8.8f}, 3);
    float seam = lines(x, 0.5f, 0.012f);
    MaterialSample s;
    s.albedo = Vec3{0.9f, 0.91f, 0.92f} * (0.9f + 0.08f * streaks + 0.04f * blotch) * (0.7f + 0.3f * seam);
    s.metallic = 1.0f;
    s.roughness = clamp01(0.3f + 0.12f * streaks + 0.05f * blotch);
    s.height = 0.4f * streaks + 0.8f * seam;
    return s;
}

// Engine bell, y from throat (0) to exit (1): heat tint from blue-violet through bronze to dark grey,
// cooling tubes running along the bell.
MaterialSample nozzle(const Noise& n, float x, float y) {
    float wobble = 0.05f * n.fbm(Vec3{x * 8.0f, y * 4.0f, 1.1f}, 3);
    float t = clamp01(y + wobble);
    Vec3 violet{0.16f, 0.12f, 0.26f}, bronze{0.46f, 0.3f, 0.12f}, grey{0.14f, 0.135f, 0.13f};
    Vec3 tint =
        t < 0.35f ? mix(violet, bronze, smoothstep(0.05f, 0.35f, t)) : mix(bronze, grey, smoothstep(0.35f, 0.75f, t));
    float tubes = 0.5f + 0.5f * std::cos(x * 2 * Pi * 72.0f);
    float soot = n.fbm(Vec3{x * 20.0f, y * 20.0f, 6.6f}, 3);
    MaterialSample s;
    s.albedo = tint * (0.85f + 0.15f * tubes) * (0.9f + 0.2f * soot);
    s.metallic = 0.85f;
    s.roughness = clamp01(0.38f + 0.15f * soot + 0.05f * (1 - tubes));
    s.height = 1.2f * tubes;
    return s;
}

// Dark anodised structure: thruster blocks, engine chambers, the generator.
MaterialSample dark(const Noise& n, float x, float y) {
    float mottle = n.fbm(Vec3{x * 12.0f, y * 12.0f, 9.4f}, 4);
    float panel = std::min(lines(x, 0.5f, 0.015f), lines(y, 0.5f, 0.015f));
    MaterialSample s;
    s.albedo = Vec3{0.06f, 0.06f, 0.065f} * (0.9f + 0.2f * mottle) * (0.6f + 0.4f * panel);
    s.metallic = 0.6f;
    s.roughness = clamp01(0.5f + 0.1f * mottle);
    s.height = 0.8f * panel + 0.3f * mottle;
    return s;
}

// Reflector face, polar: white panels with radial ribs and concentric seams around a dark feed hole.
MaterialSample dish(const Noise& n, float x, float y) {
    float dx = 2 * x - 1, dy = 2 * y - 1;
    float r = std::sqrt(dx * dx + dy * dy);
    float angle = std::atan2(dy, dx);
    float ribWidth = 0.012f / std::max(r, 0.05f);
    float rib = lines(angle, 2 * Pi / 24, ribWidth);
    float ring = std::min(lines(r - 0.4f, 10.0f, 0.01f), lines(r - 0.72f, 10.0f, 0.01f));
    float mottle = n.fbm(Vec3{x * 10.0f, y * 10.0f, 3.9f}, 4);
    float hub = smoothstep(0.1f, 0.13f, r);
    MaterialSample s;
    s.albedo = Vec3{0.84f, 0.84f, 0.82f} * (0.97f + 0.05f * mottle) * (0.8f + 0.2f * std::min(rib, ring));
    s.albedo = mix(Vec3{0.08f, 0.08f, 0.09f}, s.albedo, hub);
    s.metallic = 0.05f;
    s.roughness = 0.45f + 0.06f * mottle;
    s.height = 1.5f * (1 - rib) + 0.6f * (1 - ring);
    return s;
}

float local(float value, float from, float size) {
    return (value - from) / size;
}

} // namespace

MaterialSample sampleMaterial(const Noise& n, float u, float v) {
    struct Region {
        const UvRect* rect;
        MaterialSample (*paint)(const Noise&, float, float);
    };
    static const Region regions[] = {
        {&Atlas::Gold, gold},     {&Atlas::Solar, solar}, {&Atlas::White, white}, {&Atlas::Aluminium, aluminium},
        {&Atlas::Nozzle, nozzle}, {&Atlas::Dark, dark},   {&Atlas::Dish, dish}};
    for (const Region& r : regions)
        if (inside(*r.rect, u, v))
            return r.paint(n, local(u, r.rect->u0, r.rect->width()), local(v, r.rect->v0, r.rect->height()));
    return dark(n, u, v);
}

MaterialImages paintMaterials(int size, uint64_t seed) {
    Noise noise(seed);
    MaterialImages out{FloatImage(size, size), FloatImage(size, size), FloatImage(size, size), FloatImage(size, size)};
    std::vector<float> height(size_t(size) * size);
    // Heights are given in texels of a 1024 texture; other sizes keep the same slopes per texture distance.
    float heightScale = float(size) / 1024.0f;
    parallelFor(size, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            for (int x = 0; x < size; ++x) {
                MaterialSample s = sampleMaterial(noise, (x + 0.5f) / size, (y + 0.5f) / size);
                float* b = out.baseColor.at(x, y);
                b[0] = s.albedo.x;
                b[1] = s.albedo.y;
                b[2] = s.albedo.z;
                b[3] = 1;
                float* m = out.metallic.at(x, y);
                m[0] = m[1] = m[2] = s.metallic;
                m[3] = 1;
                float* r = out.roughness.at(x, y);
                r[0] = r[1] = r[2] = s.roughness;
                r[3] = 1;
                height[size_t(y) * size + x] = s.height * heightScale;
            }
    });
    parallelFor(size, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            for (int x = 0; x < size; ++x) {
                auto h = [&](int xx, int yy) {
                    return height[size_t(std::clamp(yy, 0, size - 1)) * size + std::clamp(xx, 0, size - 1)];
                };
                float dx = 0.5f * (h(x + 1, y) - h(x - 1, y));
                float dy = 0.5f * (h(x, y + 1) - h(x, y - 1));
                // Rows run down the image while the normal's y points up it.
                Vec3 n = normalize({-dx, dy, 1});
                float* o = out.normal.at(x, y);
                o[0] = n.x;
                o[1] = n.y;
                o[2] = n.z;
                o[3] = 1;
            }
    });
    return out;
}

void generateTextures(const std::string& directory, const std::string& prefix, int size, uint64_t seed) {
    MaterialImages images = paintMaterials(size, seed);
    std::string base = directory + "/" + prefix + "_DefaultMaterial_";
    writeTexture(base + "BaseColor.dds", mipChain(images.baseColor, false), TexelEncoding::Srgb);
    writeTexture(base + "Metallic.dds", mipChain(images.metallic, false), TexelEncoding::Unorm);
    writeTexture(base + "Roughness.dds", mipChain(images.roughness, false), TexelEncoding::Unorm);
    std::vector<FloatImage> normals = mipChain(images.normal, true);
    for (FloatImage& level : normals)
        for (size_t i = 0; i < level.pixels.size(); i += 4)
            for (int c = 0; c < 3; ++c)
                level.pixels[i + c] = level.pixels[i + c] * 0.5f + 0.5f;
    writeTexture(base + "Normal.dds", normals, TexelEncoding::Unorm);
}

} // namespace AssetGen
