#include "Sky.h"

#include "DdsWriter.h"

namespace AssetGen {

namespace {

constexpr int ReferenceFaceSize = 2048;
constexpr int CatalogStars = 140000;    // resolved stars over the whole sky
constexpr int BandCandidates = 3000000; // unresolved stars, kept where the band is bright
constexpr float FaintestFlux = 0.0024f; // linear peak of the faintest catalog star
constexpr float FluxSlope = 1.35f;      // N(> F) ~ F^-slope
constexpr float BandBrightness = 0.09f; // linear radiance of the band's brightest clouds
constexpr float BandGlow = 0.65f;       // share of the band's light left as smooth glow; band stars carry the rest

float luminance(const float* rgb) {
    return 0.2126f * rgb[0] + 0.7152f * rgb[1] + 0.0722f * rgb[2];
}

// CIE 1931 colour matching functions, multi-lobe Gaussian fit (Wyman, Sloan and Shirley 2013).
float lobe(float lambda, float mu, float s1, float s2) {
    float t = (lambda - mu) / (lambda < mu ? s1 : s2);
    return std::exp(-0.5f * t * t);
}

Vec3 cieXyz(float lambda) {
    float x = 1.056f * lobe(lambda, 599.8f, 37.9f, 31.0f) + 0.362f * lobe(lambda, 442.0f, 16.0f, 26.7f) -
              0.065f * lobe(lambda, 501.1f, 20.4f, 26.2f);
    float y = 0.821f * lobe(lambda, 568.8f, 46.9f, 40.5f) + 0.286f * lobe(lambda, 530.9f, 16.3f, 31.1f);
    float z = 1.217f * lobe(lambda, 437.0f, 11.8f, 36.0f) + 0.681f * lobe(lambda, 459.0f, 26.0f, 13.8f);
    return {x, y, z};
}

// Temperatures of field stars: mostly K and G, fewer red M dwarfs, A whites and B blue-whites.
float sampleTemperature(Rng& rng) {
    float u = rng.uniform();
    float v = rng.uniform();
    if (u < 0.15f)
        return mix(3000.0f, 4000.0f, v);
    if (u < 0.45f)
        return mix(4000.0f, 5500.0f, v);
    if (u < 0.72f)
        return mix(5500.0f, 7500.0f, v);
    if (u < 0.91f)
        return mix(7500.0f, 11000.0f, v);
    return mix(11000.0f, 30000.0f, v * v);
}

// Blackbody tints on a logarithmic temperature scale, so that each star costs a lookup, not an integral.
class TintTable {
public:
    TintTable() {
        for (int i = 0; i < Entries; ++i)
            tints[i] = blackbodyTint(MinKelvin * std::pow(MaxKelvin / MinKelvin, float(i) / (Entries - 1)));
    }
    Vec3 operator()(float kelvin) const {
        float f = std::log(kelvin / MinKelvin) / std::log(MaxKelvin / MinKelvin) * (Entries - 1);
        int i = std::clamp(int(f), 0, Entries - 2);
        return mix(tints[i], tints[i + 1], clamp01(f - i));
    }

private:
    static constexpr int Entries = 256;
    static constexpr float MinKelvin = 2500, MaxKelvin = 32000;
    Vec3 tints[Entries];
};

} // namespace

Vec3 cubeDirection(int face, float s, float t) {
    float a = 2 * s - 1, b = 2 * t - 1;
    switch (face) {
    case 0:
        return {1, -b, -a};
    case 1:
        return {-1, -b, a};
    case 2:
        return {a, 1, b};
    case 3:
        return {a, -1, -b};
    case 4:
        return {a, -b, 1};
    default:
        return {-a, -b, -1};
    }
}

bool cubeProject(int face, const Vec3& d, float& s, float& t) {
    float ma = 0, sc = 0, tc = 0;
    switch (face) {
    case 0:
        ma = d.x, sc = -d.z, tc = -d.y;
        break;
    case 1:
        ma = -d.x, sc = d.z, tc = -d.y;
        break;
    case 2:
        ma = d.y, sc = d.x, tc = d.z;
        break;
    case 3:
        ma = -d.y, sc = d.x, tc = -d.z;
        break;
    case 4:
        ma = d.z, sc = d.x, tc = -d.y;
        break;
    default:
        ma = -d.z, sc = -d.x, tc = -d.y;
        break;
    }
    if (ma <= 1e-6f)
        return false;
    s = 0.5f * (sc / ma + 1);
    t = 0.5f * (tc / ma + 1);
    return true;
}

Vec3 blackbodyTint(float kelvin) {
    // Planck's law integrated against the matching functions, 380-780 nm; c2 = hc/k = 1.4388e7 nm K.
    Vec3 xyz;
    for (float lambda = 380; lambda <= 780; lambda += 5) {
        float radiance = 1.0f / (std::pow(lambda * 1e-3f, 5.0f) * (std::exp(1.4388e7f / (lambda * kelvin)) - 1));
        xyz += cieXyz(lambda) * radiance;
    }
    xyz = xyz * (1.0f / xyz.y);
    Vec3 rgb{3.2406f * xyz.x - 1.5372f * xyz.y - 0.4986f * xyz.z, -0.9689f * xyz.x + 1.8758f * xyz.y + 0.0415f * xyz.z,
             0.0557f * xyz.x - 0.2040f * xyz.y + 1.0570f * xyz.z};
    rgb = {std::max(rgb.x, 0.0f), std::max(rgb.y, 0.0f), std::max(rgb.z, 0.0f)};
    float luminance = 0.2126f * rgb.x + 0.7152f * rgb.y + 0.0722f * rgb.z;
    return rgb * (1.0f / luminance);
}

SkyModel::SkyModel(uint64_t seed) : noise(seed) {
    // The band is tilted across the cube; its bright centre lies towards +Z, the view at start-up.
    center = normalize({0.1f, -0.12f, 1.0f});
    pole = normalize(Vec3{0.3f, 1.0f, 0.0f} - center * dot(Vec3{0.3f, 1.0f, 0.0f}, center));
    side = cross(pole, center);

    const TintTable tint;
    Rng rng(seed ^ 0xA5A5F00Dull);
    stars.reserve(CatalogStars + BandCandidates / 3);
    // Resolved stars thicken moderately towards the galactic plane.
    while (int(stars.size()) < CatalogStars) {
        Vec3 d = rng.direction();
        float latitude, longitude;
        galactic(d, latitude, longitude);
        float accept = 0.5f + 0.5f * std::exp(-latitude * latitude / (0.35f * 0.35f));
        if (rng.uniform() > accept)
            continue;
        float flux = FaintestFlux * std::pow(1.0f - rng.uniform(), -1.0f / FluxSlope);
        Vec3 color = tint(sampleTemperature(rng));
        flux = std::min(flux, 40.0f);
        // Brighter stars spread over more texels (seeing and optics), so they read as larger, not only whiter.
        float sigma = 0.55f + 0.055f * std::log2(1.0f + flux / FaintestFlux);
        // Star colours look paler than their blackbody tint to the eye.
        color = mix(Vec3{1, 1, 1}, color, 0.75f);
        stars.push_back({d, color * flux, std::min(sigma, 1.6f), false});
    }
    // Unresolved stars: the graininess of the band itself.
    for (int i = 0; i < BandCandidates; ++i) {
        Vec3 d = rng.direction();
        if (rng.uniform() > bandEnvelope(d))
            continue;
        float flux = 0.025f * std::pow(1.0f - rng.uniform(), -1.0f / 2.0f);
        Vec3 color = tint(sampleTemperature(rng));
        stars.push_back({d, mix(Vec3{1, 1, 1}, color, 0.6f) * std::min(flux, 0.4f), 0.5f, true});
    }
}

void SkyModel::galactic(const Vec3& d, float& latitude, float& longitude) const {
    latitude = std::asin(std::clamp(dot(d, pole), -1.0f, 1.0f));
    longitude = std::atan2(dot(d, side), dot(d, center));
}

float SkyModel::bandEnvelope(const Vec3& d) const {
    float b, l;
    galactic(d, b, l);
    float disk = std::exp(-b * b / (0.14f * 0.14f)) * (0.35f + 0.65f * std::exp(-l * l / (1.3f * 1.3f)));
    float bulge = std::exp(-l * l / (0.5f * 0.5f) - b * b / (0.24f * 0.24f));
    return std::min(1.0f, disk + bulge);
}

void SkyModel::diffuse(const Vec3& d, Vec3& light, float& transmission) const {
    light = {0, 0, 0};
    transmission = 1;
    float b, l;
    galactic(d, b, l);
    if (std::fabs(b) > 0.75f && std::fabs(l) > 1.0f)
        return;
    // Ragged edges: the latitude is displaced by large-scale noise.
    float warp = noise.fbm(d * 2.0f, 3);
    float bw = b + 0.05f * warp;
    float along = std::exp(-l * l / (1.4f * 1.4f));
    float thickness = 0.085f + 0.06f * along;
    float disk = std::exp(-bw * bw / (thickness * thickness)) * (0.25f + 0.75f * along);
    float halo = 0.12f * std::exp(-bw * bw / (0.3f * 0.3f)) * (0.3f + 0.7f * along);
    float bulge = std::exp(-l * l / (0.42f * 0.42f) - bw * bw / (0.2f * 0.2f));
    float envelope = disk + halo + 1.1f * bulge;
    if (envelope < 2e-3f)
        return;

    // Star clouds: domain-warped fractal noise with its contrast raised, so bright clumps stand out of the glow.
    float c = noise.fbm(d * 5.0f + Vec3{warp, -warp, warp} * 0.8f, 6);
    float knots = 0.7f + 0.6f * noise.fbm(d * 40.0f, 2);
    float clouds = 0.12f + 1.8f * std::pow(smoothstep(-0.45f, 0.55f, c), 2.0f) * knots;
    float brightness = BandBrightness * envelope * clouds;

    // Dust: the rift along the plane and filaments reaching out of it, warped by the same field as the clouds so
    // dark lanes weave between bright clumps. Optical depth is higher in blue, which reddens what shines through.
    float rift = std::exp(-(bw - 0.01f) * (bw - 0.01f) / (0.05f * 0.05f)) * (0.35f + 0.65f * along);
    float filaments = std::exp(-bw * bw / (0.15f * 0.15f));
    Vec3 extinction{1, 1, 1};
    if (rift + filaments > 0.01f) {
        float lanes = std::max(0.0f, noise.fbm(d * 8.0f + Vec3{c, c, -c} * 0.6f + Vec3{0, 5.3f, 0}, 6) + 0.1f);
        float wisps = noise.ridged(d * 6.0f + Vec3{c, -c, c} * 0.4f + Vec3{0, 0, 9.1f}, 5);
        float wisps3 = wisps * wisps * wisps;
        float tau = rift * (3.0f * lanes + 1.2f * wisps3) + filaments * 2.0f * wisps3 * wisps * (0.3f + lanes);
        extinction = {std::exp(-tau * 0.85f), std::exp(-tau), std::exp(-tau * 1.15f)};
    }
    transmission = extinction.y;

    // Older, warmer light in the bulge; bluer young disk further out; faint reddish emission nebulae.
    float warm = clamp01(bulge * 1.5f + 0.3f * along);
    Vec3 color = mix(Vec3{0.76f, 0.85f, 1.0f}, Vec3{1.0f, 0.88f, 0.66f}, warm);
    float nebula =
        disk > 0.05f ? std::max(0.0f, noise.fbm(d * 6.0f + Vec3{-7.7f, 2.2f, 0}, 4) - 0.3f) * 2.5f * disk : 0;
    light = (color * brightness + Vec3{1.0f, 0.3f, 0.4f} * (BandBrightness * 0.45f * nebula)) * extinction;
}

std::vector<float> renderSkyFace(const SkyModel& sky, int face, int size) {
    // The band is smooth next to the stars, so it is evaluated on a grid of half the resolution whose outer
    // points lie on the cube's edges: neighbouring faces sample the same directions there and meet exactly.
    const int cells = std::max(1, size / 2);
    const int points = cells + 1;
    std::vector<float> grid(size_t(points) * points * 4);
    parallelFor(points, [&](int begin, int end) {
        for (int j = begin; j < end; ++j)
            for (int i = 0; i < points; ++i) {
                Vec3 d = normalize(cubeDirection(face, float(i) / cells, float(j) / cells));
                Vec3 light;
                float t;
                sky.diffuse(d, light, t);
                float* g = &grid[(size_t(j) * points + i) * 4];
                g[0] = light.x;
                g[1] = light.y;
                g[2] = light.z;
                g[3] = t;
            }
    });
    std::vector<float> diffuse(size_t(size) * size * 3);
    std::vector<float> transmission(size_t(size) * size);
    for (int y = 0; y < size; ++y) {
        float gy = (y + 0.5f) / size * cells;
        int j = std::min(int(gy), cells - 1);
        float fy = gy - j;
        for (int x = 0; x < size; ++x) {
            float gx = (x + 0.5f) / size * cells;
            int i = std::min(int(gx), cells - 1);
            float fx = gx - i;
            const float* g00 = &grid[(size_t(j) * points + i) * 4];
            const float* g10 = g00 + 4;
            const float* g01 = g00 + size_t(points) * 4;
            const float* g11 = g01 + 4;
            size_t p = size_t(y) * size + x;
            for (int c = 0; c < 4; ++c) {
                float v = mix(mix(g00[c], g10[c], fx), mix(g01[c], g11[c], fx), fy);
                if (c < 3)
                    diffuse[p * 3 + c] = v;
                else
                    transmission[p] = v;
            }
        }
    }

    // Stars as Gaussian spots. A star near an edge is splatted on every face it reaches, each in that face's own
    // projection, so spots continue across the seams.
    std::vector<float> starLight(size_t(size) * size * 3, 0.0f);
    float scale = float(size) / ReferenceFaceSize;
    for (const Star& star : sky.stars) {
        float s, t;
        if (!cubeProject(face, star.direction, s, t))
            continue;
        float sigma = std::max(0.5f, star.sigma * std::sqrt(scale));
        float inv = 1.0f / (2 * sigma * sigma);
        // Bright catalog stars get a faint halo three times wider: scattered light in the optics.
        float peak = std::max(star.color.x, std::max(star.color.y, star.color.z));
        float halo = !star.inBand && peak > 0.6f ? 0.02f : 0.0f;
        float haloInv = 1.0f / (2 * 9.0f * sigma * sigma);
        float reach = std::ceil((halo > 0 ? 9.0f : 3.2f) * sigma);
        float px = s * size, py = t * size;
        if (px < -reach || py < -reach || px > size + reach || py > size + reach)
            continue;
        int x0 = std::max(0, int(std::floor(px - reach))), x1 = std::min(size - 1, int(std::ceil(px + reach)));
        int y0 = std::max(0, int(std::floor(py - reach))), y1 = std::min(size - 1, int(std::ceil(py + reach)));
        Vec3 color = star.color;
        if (star.inBand) {
            // Band stars cluster where the band is bright and vanish behind its dust.
            int cx = std::clamp(int(px), 0, size - 1), cy = std::clamp(int(py), 0, size - 1);
            color = color * (luminance(&diffuse[(size_t(cy) * size + cx) * 3]) / BandBrightness);
        }
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                float dx = x + 0.5f - px, dy = y + 0.5f - py;
                float r2 = dx * dx + dy * dy;
                float w = std::exp(-r2 * inv) + halo * std::exp(-r2 * haloInv);
                float* out = starLight.data() + (size_t(y) * size + x) * 3;
                out[0] += color.x * w;
                out[1] += color.y * w;
                out[2] += color.z * w;
            }
    }

    for (size_t i = 0; i < transmission.size(); ++i) {
        // Dust hides most of the stars behind it; a few lie in front.
        float seen = 0.2f + 0.8f * transmission[i];
        for (int c = 0; c < 3; ++c)
            diffuse[i * 3 + c] = BandGlow * diffuse[i * 3 + c] + starLight[i * 3 + c] * seen;
    }
    return diffuse;
}

std::vector<uint8_t> encodeSkyFace(const std::vector<float>& rgb, int size, int face) {
    FloatImage image(size, size);
    for (size_t i = 0; i < size_t(size) * size; ++i) {
        for (int c = 0; c < 3; ++c) {
            // Linear up to 0.8, then a soft shoulder towards 1 so bright cores saturate gently to white.
            float v = rgb[i * 3 + c];
            image.pixels[i * 4 + c] = v < 0.8f ? v : 0.8f + 0.2f * (1 - std::exp(-(v - 0.8f) / 0.2f));
        }
        image.pixels[i * 4 + 3] = 1;
    }
    return encodeRgba8(image, TexelEncoding::Srgb, 0x5C1 + uint32_t(face));
}

void generateSky(const std::string& directory, int size, uint64_t seed) {
    SkyModel sky(seed);
    for (int face = 0; face < 6; ++face) {
        std::vector<uint8_t> bytes = encodeSkyFace(renderSkyFace(sky, face, size), size, face);
        writeDdsRgba8(directory + "/" + SkyFaceFiles[face], TexelEncoding::Srgb, size, size, 1, 1, {bytes});
    }
}

} // namespace AssetGen
