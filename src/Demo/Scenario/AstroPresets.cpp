#include "Demo/Scenario/AstroPresets.h"

#include <initializer_list>

namespace Demo {

PlanetSolidCreateInfo solidCreateInfo(const std::string& name, AstroObject* parent, float radius, double density) {
    PlanetSolidCreateInfo info;
    info.name = name;
    info.parent = parent;
    info.radius = radius;
    info.density = density;
    info.orbit = std::make_unique<OrbitCreateInfo>();
    return info;
}

namespace {

struct AtmosphereRow {
    float radiusFactor;
    float rayleigh[3];
    float mie, mieG, falloff, rayleighFactor;
};

// Presets 1 to 14; the radius is the row's factor times the scale.
constexpr AtmosphereRow AtmosphereRows[14] = {
    {4.0f, {0.15f, 0.45f, 1.0f}, 0.01f, 0.85f, 5.0f, 1.0f},        // 1 Earth: blue sky
    {5.0f, {0.5f, 0.35f, 0.3f}, 0.004f, 0.75f, 9.0f, 0.55f},       // 2 Mars: thin, dusty
    {3.0f, {0.3f, 0.137f, 0.6f}, 0.04f, 0.88f, 0.2f, 2.48f},       // 3 Venus: thick haze
    {2.0f, {0.856f, 0.455f, 0.158f}, 0.013f, 0.88f, 0.0f, 1.32f},  // 4 Titan: orange smog
    {5.0f, {0.0f, 0.0f, 0.887f}, 0.0f, 0.0f, 8.0f, 0.69f},         // 5 Neptune
    {4.0f, {0.05f, 0.15f, 0.8f}, 0.001f, 0.85f, 7.5f, 0.3f},       // 6
    {4.0f, {0.6f, 0.65f, 0.7f}, 0.0005f, 0.8f, 8.0f, 0.1f},        // 7
    {4.5f, {0.02f, 0.12f, 0.7f}, 0.002f, 0.8f, 7.5f, 0.3f},        // 8
    {4.0f, {0.55f, 0.38f, 0.33f}, 0.004f, 0.76f, 9.0f, 0.3f},      // 9
    {4.5f, {0.4f, 0.6f, 0.8f}, 0.015f, 0.9f, 6.0f, 0.5f},          // 10
    {4.0f, {0.136f, 0.97f, 0.988f}, 0.025f, 0.85f, 7.53f, 0.254f}, // 11 thin cyan exospheres
    {4.0f, {0.28f, 0.55f, 0.95f}, 0.004f, 0.75f, 6.0f, 0.35f},     // 12
    {4.0f, {0.25f, 0.5f, 1.0f}, 0.004f, 0.76f, 6.5f, 0.3f},        // 13 Europa
    {6.0f, {0.545f, 0.132f, 0.002f}, 0.004f, 0.8f, 5.0f, 0.801f},  // 14 Io: sulphur glow
};

NoiseLayer layer(NoiseType type, float frequency, float amplitude, int octaves, float persistence, float rangeLow,
                 float rangeHigh, float maskLow = -1.0f, float maskHigh = 1.0f, float lacunarity = 2.0f,
                 float offsetSeed = 0.0f) {
    NoiseLayer l;
    l.noiseType = type;
    l.baseFrequency = frequency;
    l.baseAmplitude = amplitude;
    l.octaves = octaves;
    l.persistence = persistence;
    l.lacunarity = lacunarity;
    l.rangeAmplitude[0] = rangeLow;
    l.rangeAmplitude[1] = rangeHigh;
    l.maskElevation[0] = maskLow;
    l.maskElevation[1] = maskHigh;
    // Distinct offsets keep bodies sharing a preset type from sharing the same pattern of features.
    l.offset[0] = offsetSeed * 1.37f;
    l.offset[1] = offsetSeed * -2.11f;
    l.offset[2] = offsetSeed * 0.73f;
    return l;
}

void setLayers(SolidSurfaceCreateInfo& surface, std::initializer_list<NoiseLayer> layers) {
    int n = 0;
    for (const NoiseLayer& l : layers)
        if (n < SolidSurfaceCreateInfo::MaxNoiseLayers)
            surface.noiseLayers[n++] = l;
    surface.noiseLayerCount = n;
}

struct BiomeRow {
    float heightMax;
    float color[3];
    float metallic, roughness;
};

void setBiomes(SolidSurfaceCreateInfo& surface, std::initializer_list<BiomeRow> rows) {
    int n = 0;
    for (const BiomeRow& r : rows) {
        if (n >= SolidSurfaceCreateInfo::MaxBiomes)
            break;
        Biome& b = surface.biomes[n++];
        // Bands are cumulative: every biome starts at the bottom, the first whose maximum lies above a height
        // colours it.
        b.heightMin = -1.0f;
        b.heightMax = r.heightMax;
        b.slopeMin = 0.0f;
        b.slopeMax = 1.0f;
        b.color[0] = r.color[0];
        b.color[1] = r.color[1];
        b.color[2] = r.color[2];
        b.metallic = r.metallic;
        b.roughness = r.roughness;
    }
    surface.biomeCount = n;
}

} // namespace

std::unique_ptr<AtmosphereCreateInfo> atmospherePreset(int preset, float scale) {
    auto info = std::make_unique<AtmosphereCreateInfo>();
    if (preset < 1 || preset > 14)
        return info;
    const AtmosphereRow& r = AtmosphereRows[preset - 1];
    info->radius = r.radiusFactor * scale;
    info->rayleigh[0] = r.rayleigh[0];
    info->rayleigh[1] = r.rayleigh[1];
    info->rayleigh[2] = r.rayleigh[2];
    info->mie = r.mie;
    info->mieG = r.mieG;
    info->densityFalloff = r.falloff;
    info->rayleighFactor = r.rayleighFactor;
    return info;
}

// Heights add up layer by layer: a layer maps its noise (−1..1) onto its range amplitude and applies where the
// height so far lies inside its mask band. Biome heights below refer to the same scale.
void applyNoisePreset(SolidSurfaceCreateInfo& surface, int preset, float elevationScale) {
    surface.elevationScale = elevationScale;
    switch (preset) {
    case 0: // airless and cratered (Mercury, Callisto, the small moons)
        setLayers(surface, {layer(FBM, 1.5f, 1.2f, 6, 0.5f, -0.15f, 0.15f),
                            layer(WORLEY, 3.0f, 1.0f, 3, 0.45f, -0.15f, 0.15f, -1.0f, 1.0f, 2.3f, 1.0f),
                            layer(WORLEY, 9.0f, 1.0f, 2, 0.5f, -0.05f, 0.05f, -1.0f, 1.0f, 2.0f, 2.0f)});
        break;
    case 1: // Venus: lava plains, shield swells and coronae
        setLayers(surface, {layer(CURL, 1.2f, 1.4f, 6, 0.5f, -0.2f, 0.2f),
                            layer(SIMPLEX, 4.0f, 1.0f, 4, 0.5f, -0.05f, 0.08f, -1.0f, 1.0f, 2.0f, 3.0f),
                            layer(WORLEY, 2.0f, 1.0f, 1, 0.5f, -0.05f, 0.05f, -1.0f, 1.0f, 2.0f, 4.0f)});
        break;
    case 2: // Earth: continents and oceans, ridged mountain chains on land only
        setLayers(surface, {layer(FBM, 1.1f, 1.8f, 8, 0.5f, -0.3f, 0.3f),
                            layer(GRADIENT, 2.5f, 1.0f, 7, 0.5f, -0.1f, 0.25f, 0.02f, 1.0f, 2.1f, 5.0f)});
        break;
    case 3: // Luna, Ganymede: smooth dark maria among cratered highlands
        setLayers(surface, {layer(FBM, 1.0f, 1.5f, 5, 0.5f, -0.12f, 0.12f, -1.0f, 1.0f, 2.0f, 6.0f),
                            layer(WORLEY, 4.0f, 1.0f, 4, 0.55f, -0.14f, 0.14f, -1.0f, 1.0f, 2.2f, 7.0f),
                            layer(WORLEY, 14.0f, 1.0f, 2, 0.5f, -0.05f, 0.05f, -1.0f, 1.0f, 2.0f, 8.0f)});
        break;
    case 4: // Mars: lowland/highland dichotomy, craters, volcanic highlands, canyon networks
        setLayers(surface, {layer(FBM, 0.8f, 1.6f, 7, 0.5f, -0.25f, 0.25f, -1.0f, 1.0f, 2.0f, 9.0f),
                            layer(WORLEY, 3.0f, 1.0f, 3, 0.5f, -0.12f, 0.12f, -1.0f, 1.0f, 2.2f, 10.0f),
                            layer(GRADIENT, 1.8f, 1.0f, 5, 0.5f, 0.0f, 0.25f, 0.1f, 1.0f, 2.0f, 11.0f),
                            layer(VORONOI, 1.2f, 1.0f, 1, 0.5f, -0.08f, 0.0f, -1.0f, 1.0f, 2.0f, 12.0f)});
        break;
    case 5: // Neptune: soft, banded swells
        setLayers(surface, {layer(PERLIN, 1.5f, 1.0f, 5, 0.5f, -0.3f, 0.3f, -1.0f, 1.0f, 2.0f, 13.0f),
                            layer(SIMPLEX, 6.0f, 1.0f, 3, 0.5f, -0.1f, 0.1f, -1.0f, 1.0f, 2.0f, 14.0f)});
        break;
    case 6: // Phobos, Deimos: lumpy rubble bodies with a few large craters and grooves
        setLayers(surface, {layer(FBM, 0.6f, 1.5f, 3, 0.5f, -0.25f, 0.25f, -1.0f, 1.0f, 2.0f, 15.0f),
                            layer(WORLEY, 2.5f, 1.0f, 2, 0.5f, -0.1f, 0.1f, -1.0f, 1.0f, 2.0f, 16.0f),
                            layer(VORONOI, 5.0f, 1.0f, 1, 0.5f, -0.03f, 0.0f, -1.0f, 1.0f, 2.0f, 17.0f)});
        break;
    case 7: // Io: volcanic plains, lava flows, calderas and isolated mountains
        setLayers(surface, {layer(SIMPLEX, 1.5f, 1.0f, 5, 0.5f, -0.1f, 0.15f, -1.0f, 1.0f, 2.0f, 18.0f),
                            layer(CURL, 2.5f, 1.2f, 5, 0.5f, -0.08f, 0.08f, -1.0f, 1.0f, 2.0f, 19.0f),
                            layer(WORLEY, 5.0f, 1.0f, 2, 0.5f, -0.15f, 0.1f, -1.0f, 1.0f, 2.0f, 20.0f),
                            layer(GRADIENT, 2.0f, 1.0f, 5, 0.5f, -0.02f, 0.3f, 0.12f, 1.0f, 2.0f, 21.0f)});
        break;
    case 8: // Enceladus: smooth plains cut by deep fractures, some craters
        setLayers(surface, {layer(FBM, 1.2f, 1.2f, 5, 0.5f, -0.1f, 0.1f, -1.0f, 1.0f, 2.0f, 22.0f),
                            layer(VORONOI, 2.0f, 1.0f, 2, 0.5f, -0.15f, 0.02f, -1.0f, 1.0f, 2.0f, 23.0f),
                            layer(WORLEY, 6.0f, 1.0f, 2, 0.5f, -0.05f, 0.05f, -1.0f, 1.0f, 2.0f, 24.0f)});
        break;
    case 9: // Europa, Rhea: nearly flat ice crossed by networks of cracks
        setLayers(surface, {layer(FBM, 1.4f, 1.0f, 4, 0.5f, -0.05f, 0.05f, -1.0f, 1.0f, 2.0f, 25.0f),
                            layer(VORONOI, 3.0f, 1.0f, 3, 0.5f, -0.12f, 0.02f, -1.0f, 1.0f, 2.3f, 26.0f),
                            layer(VORONOI, 9.0f, 1.0f, 2, 0.5f, -0.04f, 0.01f, -1.0f, 1.0f, 2.0f, 27.0f)});
        break;
    default:
        break;
    }
}

void applyBiomePreset(SolidSurfaceCreateInfo& surface, int preset) {
    switch (preset) {
    case 1: // Earth: ocean, beach, grass, forest, dark forest, earth, rock, snow
        setBiomes(surface, {{0.0f, {0.0f, 0.2f, 0.5f}, 0.0f, 0.1f},
                            {0.02f, {0.8f, 0.7f, 0.5f}, 0.3f, 0.2f},
                            {0.058f, {0.4f, 0.8f, 0.3f}, 0.3f, 0.3f},
                            {0.142f, {0.1f, 0.5f, 0.1f}, 0.12f, 0.25f},
                            {0.192f, {0.08f, 0.4f, 0.08f}, 0.1f, 0.23f},
                            {0.224f, {0.4f, 0.35f, 0.2f}, 0.0f, 0.6f},
                            {0.267f, {0.5f, 0.5f, 0.5f}, 0.1f, 0.3f},
                            {1.0f, {1.0f, 1.0f, 1.0f}, 0.16f, 0.13f}});
        break;
    case 2: // Oberon: dusty tan floors, grey-brown plains, bright rims
        setBiomes(surface, {{-0.1f, {0.76f, 0.7f, 0.5f}, 0.0f, 0.85f},
                            {-0.03f, {0.55f, 0.48f, 0.4f}, 0.0f, 0.85f},
                            {0.03f, {0.45f, 0.4f, 0.36f}, 0.02f, 0.9f},
                            {0.09f, {0.38f, 0.34f, 0.31f}, 0.02f, 0.9f},
                            {0.16f, {0.52f, 0.49f, 0.46f}, 0.05f, 0.8f},
                            {1.0f, {0.7f, 0.68f, 0.65f}, 0.05f, 0.7f}});
        break;
    case 3: // Neptune: deep to pale blue
        setBiomes(surface, {{-0.15f, {0.05f, 0.12f, 0.45f}, 0.0f, 0.35f},
                            {-0.05f, {0.1f, 0.22f, 0.6f}, 0.0f, 0.35f},
                            {0.05f, {0.16f, 0.32f, 0.75f}, 0.0f, 0.35f},
                            {0.15f, {0.3f, 0.48f, 0.85f}, 0.0f, 0.35f},
                            {1.0f, {0.75f, 0.85f, 0.95f}, 0.0f, 0.3f}});
        break;
    case 4: // bright ice moons: blue-grey hollows to white highs
        setBiomes(surface, {{-0.1f, {0.55f, 0.6f, 0.66f}, 0.05f, 0.5f},
                            {-0.03f, {0.72f, 0.76f, 0.8f}, 0.05f, 0.45f},
                            {0.04f, {0.85f, 0.87f, 0.9f}, 0.05f, 0.4f},
                            {0.12f, {0.92f, 0.93f, 0.95f}, 0.05f, 0.35f},
                            {1.0f, {0.98f, 0.98f, 1.0f}, 0.05f, 0.3f}});
        break;
    case 5: // Europa: red-brown lineae in white-blue ice
        setBiomes(surface, {{-0.06f, {0.45f, 0.25f, 0.15f}, 0.0f, 0.5f},
                            {-0.02f, {0.65f, 0.5f, 0.38f}, 0.0f, 0.4f},
                            {0.02f, {0.82f, 0.8f, 0.75f}, 0.05f, 0.3f},
                            {0.06f, {0.88f, 0.9f, 0.93f}, 0.05f, 0.25f},
                            {1.0f, {0.95f, 0.97f, 1.0f}, 0.05f, 0.2f}});
        break;
    case 6: // Titan: glossy methane lakes, dark dunes, orange uplands
        setBiomes(surface, {{-0.05f, {0.08f, 0.07f, 0.06f}, 0.0f, 0.05f},
                            {0.0f, {0.35f, 0.25f, 0.12f}, 0.0f, 0.7f},
                            {0.06f, {0.6f, 0.42f, 0.2f}, 0.0f, 0.8f},
                            {0.14f, {0.72f, 0.55f, 0.3f}, 0.0f, 0.8f},
                            {1.0f, {0.8f, 0.7f, 0.5f}, 0.0f, 0.75f}});
        break;
    case 7: // Io: black calderas, red and yellow sulphur, white frost on the heights
        setBiomes(surface, {{-0.1f, {0.12f, 0.08f, 0.05f}, 0.1f, 0.4f},
                            {-0.04f, {0.6f, 0.18f, 0.06f}, 0.0f, 0.6f},
                            {0.03f, {0.9f, 0.7f, 0.2f}, 0.0f, 0.7f},
                            {0.1f, {0.95f, 0.85f, 0.45f}, 0.0f, 0.7f},
                            {0.2f, {0.85f, 0.55f, 0.25f}, 0.0f, 0.75f},
                            {1.0f, {0.95f, 0.95f, 0.9f}, 0.0f, 0.5f}});
        break;
    case 8: // dirty ice moons: dark grey-brown lows, bright ice on rims and heights
        setBiomes(surface, {{-0.1f, {0.25f, 0.23f, 0.21f}, 0.0f, 0.85f},
                            {-0.03f, {0.35f, 0.32f, 0.29f}, 0.0f, 0.8f},
                            {0.03f, {0.45f, 0.42f, 0.38f}, 0.02f, 0.75f},
                            {0.1f, {0.58f, 0.56f, 0.53f}, 0.03f, 0.6f},
                            {1.0f, {0.8f, 0.8f, 0.8f}, 0.05f, 0.45f}});
        break;
    case 9: // Mercury: grey-brown regolith
        setBiomes(surface, {{-0.1f, {0.28f, 0.27f, 0.26f}, 0.05f, 0.9f},
                            {-0.03f, {0.38f, 0.36f, 0.34f}, 0.05f, 0.9f},
                            {0.04f, {0.47f, 0.45f, 0.42f}, 0.05f, 0.9f},
                            {0.12f, {0.55f, 0.52f, 0.48f}, 0.05f, 0.85f},
                            {1.0f, {0.68f, 0.66f, 0.62f}, 0.05f, 0.8f}});
        break;
    case 10: // Venus: dark basalt to sulphur-yellow highlands under the haze
        setBiomes(surface, {{-0.08f, {0.45f, 0.28f, 0.12f}, 0.05f, 0.8f},
                            {0.0f, {0.62f, 0.42f, 0.18f}, 0.05f, 0.8f},
                            {0.08f, {0.75f, 0.55f, 0.25f}, 0.05f, 0.75f},
                            {0.15f, {0.82f, 0.66f, 0.38f}, 0.05f, 0.7f},
                            {1.0f, {0.9f, 0.8f, 0.55f}, 0.05f, 0.7f}});
        break;
    case 11: // Luna: dark maria, grey plains, bright highlands
        setBiomes(surface, {{-0.06f, {0.2f, 0.2f, 0.21f}, 0.0f, 0.9f},
                            {0.0f, {0.32f, 0.32f, 0.33f}, 0.0f, 0.9f},
                            {0.06f, {0.5f, 0.5f, 0.5f}, 0.0f, 0.85f},
                            {0.14f, {0.62f, 0.62f, 0.61f}, 0.0f, 0.85f},
                            {1.0f, {0.78f, 0.78f, 0.76f}, 0.0f, 0.8f}});
        break;
    case 12: // Mars: dark basalt lowlands, rust plains, tan uplands, frost on the highest peaks
        setBiomes(surface, {{-0.15f, {0.3f, 0.15f, 0.08f}, 0.05f, 0.85f},
                            {-0.05f, {0.55f, 0.25f, 0.12f}, 0.05f, 0.85f},
                            {0.05f, {0.72f, 0.38f, 0.18f}, 0.05f, 0.8f},
                            {0.15f, {0.78f, 0.5f, 0.3f}, 0.05f, 0.8f},
                            {0.3f, {0.6f, 0.4f, 0.3f}, 0.05f, 0.75f},
                            {1.0f, {0.92f, 0.9f, 0.88f}, 0.1f, 0.4f}});
        break;
    case 13: // Deimos: smooth reddish-grey dust
        setBiomes(surface, {{-0.05f, {0.42f, 0.38f, 0.34f}, 0.0f, 0.9f},
                            {0.05f, {0.5f, 0.46f, 0.42f}, 0.0f, 0.9f},
                            {1.0f, {0.58f, 0.54f, 0.5f}, 0.0f, 0.85f}});
        break;
    case 14: // Phobos: very dark carbonaceous rock, lighter groove walls
        setBiomes(surface, {{-0.08f, {0.18f, 0.17f, 0.16f}, 0.0f, 0.9f},
                            {0.0f, {0.28f, 0.26f, 0.25f}, 0.0f, 0.9f},
                            {0.08f, {0.36f, 0.34f, 0.32f}, 0.0f, 0.9f},
                            {1.0f, {0.45f, 0.42f, 0.4f}, 0.0f, 0.85f}});
        break;
    default:
        break;
    }
}

} // namespace Demo
