#pragma once
// How the spacecraft looks: the imported model with its four material textures, drawn by the "spacecraft"
// pipeline, lit by the star (with eclipses) and by its engine and thruster lights; and, every frame, the
// blocks that feed that lighting and the exhaust (throttles, emitter placement, emission, attractor).
#include "Demo/Scene/MathTypes.h"
#include "Demo/Spacecraft/SpacecraftLighting.h"
#include "Demo/Spacecraft/Thrusters.h"

#include <cstdint>
#include <string>
#include <vector>

class CommandContext;
class DataSet;
class DataStorage;
class DescriptorPool;
class GraphicsDevice;
class Image2D;
class Mesh;
class PipelineGraphics;
class Sampler;
struct GeometryData;
struct StorageBinding;
struct TextureBinding;

namespace Demo {

class ParticleSystem;
class Scene;
struct StarLight;

struct SpacecraftVisualCreateInfo {
    GraphicsDevice* device = nullptr;
    DescriptorPool* descriptorPool = nullptr;
    DataStorage* uniformStorage = nullptr;
    DataStorage* meshStorage = nullptr;
    std::string assetDirectory = "assets"; // the model and textures are read from <dir>/<name>/<name>...
    std::string modelName = "Vessel_11";
    StorageBinding* objectMatrix = nullptr; // the craft's 64-byte model matrix block (binding 1)
    StorageBinding* objectBlock = nullptr;  // its 16-byte position and radius block (binding 3)
};

// Asset paths of a model name: "<dir>/<name>/<name>.obj" and the four "_DefaultMaterial_" textures.
struct SpacecraftAssetPaths {
    std::string model;
    std::string baseColor, metallic, normal, roughness;
};
SpacecraftAssetPaths spacecraftAssetPaths(const std::string& assetDirectory, const std::string& modelName);

// Why an imported mesh cannot be drawn with the tangent layout (empty when it can): no triangles, streams
// missing or of the wrong length, indices past the vertices, or values that are not finite.
std::string modelGeometryProblem(const GeometryData& geometry);

// The first triangle mesh of a model file, checked before anything reaches the GPU. A missing, unreadable or
// unusable file is the engine error "Unable to load model file [path]: reason".
GeometryData importSpacecraftModel(const std::string& path);

// The craft's state a frame of uniforms reads (filled from the Spacecraft, its navigation and its system).
struct CraftFrameInput {
    Mat4d world;    // the craft transform's world matrix
    Mat4d rotation; // its world rotation (unit axes, no translation)
    Vec3d position; // world position, world units
    Vec3d velocity; // simulated velocity, world units per second
    Vec3d thrustAcceleration;
    bool rcsActive = false;
    float burnBlend = 0.0f;
    Quatd burnAttitude, smoothedBurnAttitude;
    double timeFactor = 0.0;              // simulated seconds per real second
    double frameMilliseconds = 0.0;       // real time of the frame
    const StarLight* starLight = nullptr; // the primary star's light block; null: no star
    Vec3d starPosition;
    double starRadius = 0.0;
    const std::vector<OccluderCandidate>* bodies = nullptr; // solid and gas planets
    bool hasAttractor = false;                              // the dominant body
    Vec3d attractorPosition;
    double attractorMu = 0.0;
};

class SpacecraftVisual {
public:
    // Imports the model and textures (a missing or unreadable file is the engine error naming it), creates the
    // shadow and lights records, both data sets and, once per device, the "spacecraft" pipeline.
    explicit SpacecraftVisual(const SpacecraftVisualCreateInfo& info);
    ~SpacecraftVisual();
    SpacecraftVisual(const SpacecraftVisual&) = delete;
    SpacecraftVisual& operator=(const SpacecraftVisual&) = delete;

    // Adds the craft's two main engines and eight thrusters in table order: each an emitter of `particles`
    // (when given), a light and a thruster record.
    void addEngines(ParticleSystem* particles);

    // The frame's uniforms in order: shadow block; throttles and emitter placement; main-engine and thruster
    // updates with their emission requests (seeds from `nextSeed`); the attractor; the lights block.
    template <class SeedSource>
    void updateUniforms(const CraftFrameInput& frame, ParticleSystem* particles, SeedSource&& nextSeed) {
        writeShadow(frame);
        engines.update(engineInput(frame), nextSeed);
        feedParticles(frame, particles);
        writeLights(frame);
    }

    // Draws the model (render extent `width` × `height`).
    void record(CommandContext* context, DataSet* cameraSet, uint32_t width, uint32_t height);

    SpacecraftVisualCreateInfo info;
    SpacecraftEngines engines;
    Mesh* model = nullptr;
    Image2D* baseColorImage = nullptr;
    Image2D* metallicImage = nullptr;
    Image2D* normalImage = nullptr;
    Image2D* roughnessImage = nullptr;
    Sampler* sampler = nullptr;
    TextureBinding* textureBindings[4] = {}; // base colour, metallic, normal, roughness
    StorageBinding* shadowUniform = nullptr; // 288 bytes
    StorageBinding* lightsUniform = nullptr; // 544 bytes
    DataSet* uniformSet = nullptr;           // set 1
    DataSet* textureSet = nullptr;           // set 2
    ShadowBlock shadowBlock;
    CraftLightsBlock lightsBlock;

    PipelineGraphics* pipeline = nullptr; // "spacecraft", shared (the device's)

private:
    static EngineFrameInput engineInput(const CraftFrameInput& frame);
    void writeShadow(const CraftFrameInput& frame);
    void feedParticles(const CraftFrameInput& frame, ParticleSystem* particles);
    void writeLights(const CraftFrameInput& frame);
};

} // namespace Demo
