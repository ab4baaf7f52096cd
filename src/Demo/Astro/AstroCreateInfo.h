#pragma once
// Creation records from which the factory builds each kind of body. Owned pointers inside are released with
// the record.
#include <cstdint>
#include <memory>
#include <string>

namespace Demo {

class AstroObject;

// Atmosphere scattering settings, in the order the atmosphere component takes them.
struct AtmosphereCreateInfo {
    AtmosphereCreateInfo() = default;
    AtmosphereCreateInfo(const AtmosphereCreateInfo&) = default;
    AtmosphereCreateInfo& operator=(const AtmosphereCreateInfo&) = default;
    virtual ~AtmosphereCreateInfo() = default;

    float radius = 120.0f; // shell thickness above the surface, world units
    float rayleigh[3] = {0.0058f, 0.0135f, 0.0331f};
    float mie = 0.002f;
    float mieG = 0.76f;
    float densityFalloff = 4.0f;
    float rayleighFactor = 0.25f;
};

struct OrbitCreateInfo {
    OrbitCreateInfo() = default;
    OrbitCreateInfo(const OrbitCreateInfo&) = default;
    OrbitCreateInfo& operator=(const OrbitCreateInfo&) = default;
    virtual ~OrbitCreateInfo() = default;

    double a = 0.0, e = 0.0, i = 0.0, ascendingNode = 0.0, argPeriapsis = 0.0, epoch = 0.0;
    float color[3] = {1.0f, 1.0f, 1.0f};
    float colorExtra = 0.0f;
};

struct AstroCreateInfo {
    AstroCreateInfo() = default;
    AstroCreateInfo(AstroCreateInfo&&) = default;
    AstroCreateInfo& operator=(AstroCreateInfo&&) = default;
    virtual ~AstroCreateInfo() = default;

    std::string name;
    AstroObject* parent = nullptr; // null: a child of the system
    float position[3] = {0.0f, 0.0f, 0.0f};
    float scale[3] = {1.0f, 1.0f, 1.0f};
    float radius = 1.0f; // world units
    double density = 1.0;
    std::unique_ptr<AtmosphereCreateInfo> atmosphere;
    bool hasAtmosphere = false;
    std::unique_ptr<OrbitCreateInfo> orbit; // null: the body stays static
};

struct StarCreateInfo : AstroCreateInfo {
    StarCreateInfo();

    float lightColor[3] = {1.0f, 0.95f, 0.9f};
    float lightIntensity = 10.0f;
};

// One colour band of a solid surface, selected by height and slope.
struct Biome {
    float heightMin = -1.0f, heightMax = 1.0f;
    float slopeMin = 0.0f, slopeMax = 1.0f;
    float color[3] = {0.5f, 0.5f, 0.5f};
    float metallic = 0.2f;
    float roughness = 0.2f;
};
static_assert(sizeof(Biome) == 36);

enum NoiseType : uint32_t {
    NONE = 0,
    FBM = 1,
    CURL = 2,
    GRADIENT = 3,
    PERLIN = 4,
    SIMPLEX = 5,
    VORONOI = 6,
    WORLEY = 7
};

// The first 56 bytes of a height generator layer, in the generator's order.
struct NoiseLayer {
    float offset[3] = {0.0f, 0.0f, 0.0f};
    float baseFrequency = 1.0f;
    float baseAmplitude = 1.0f;
    int32_t octaves = 4;
    float lacunarity = 2.0f;
    float persistence = 0.5f;
    uint32_t noiseType = NONE;
    float weight = 1.0f;
    float rangeAmplitude[2] = {-1.0f, 1.0f};
    float maskElevation[2] = {-1.0f, 1.0f};
};
static_assert(sizeof(NoiseLayer) == 56);

struct SurfaceCreateInfo {
    SurfaceCreateInfo() = default;
    SurfaceCreateInfo(const SurfaceCreateInfo&) = default;
    SurfaceCreateInfo& operator=(const SurfaceCreateInfo&) = default;
    virtual ~SurfaceCreateInfo() = default;

    float elevationScale = 0.1f; // relief height as a fraction of the radius
};

struct SolidSurfaceCreateInfo : SurfaceCreateInfo {
    static constexpr int MaxBiomes = 8;
    static constexpr int MaxNoiseLayers = 8;

    float tessellationFactor = 4.0f;
    float subdivisionMax = 32.0f;
    float subdivisionMin = 1.0f;
    Biome biomes[MaxBiomes];
    int32_t biomeCount = 0;
    NoiseLayer noiseLayers[MaxNoiseLayers];
    int32_t noiseLayerCount = 0;
};

struct GasSurfaceCreateInfo : SurfaceCreateInfo {};

struct PlanetSolidCreateInfo : AstroCreateInfo {
    PlanetSolidCreateInfo();

    SolidSurfaceCreateInfo surface;
};

struct PlanetGasCreateInfo : AstroCreateInfo {
    PlanetGasCreateInfo();

    GasSurfaceCreateInfo surface;
};

struct SpacecraftCreateInfo : AstroCreateInfo {};

} // namespace Demo
