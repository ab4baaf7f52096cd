#include "Demo/Spacecraft/SpacecraftVisual.h"

#include "Demo/Astro/Star.h"
#include "Demo/Surfaces/ParticleSystem.h"
#include "Demo/Scene/ScenePipelines.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"
#include "Engine/Meshes/Geometry.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/Pipelines/PipelineGraphics.h"

#include <cmath>
#include <exception>

namespace Demo {

SpacecraftAssetPaths spacecraftAssetPaths(const std::string& directory, const std::string& name) {
    const std::string base = directory + "/" + name + "/" + name;
    return {base + ".obj", base + "_DefaultMaterial_BaseColor.dds", base + "_DefaultMaterial_Metallic.dds",
            base + "_DefaultMaterial_Normal.dds", base + "_DefaultMaterial_Roughness.dds"};
}

std::string modelGeometryProblem(const GeometryData& g) {
    const size_t n = g.vertexCount();
    if (n == 0 || g.positions.size() != n * 3)
        return "the mesh has no vertices";
    if (g.indices.empty() || g.indices.size() % 3 != 0)
        return "the mesh has no triangles";
    if (g.normals.size() != n * 3)
        return "the mesh has no normals";
    if (g.tangents.size() != n * 3)
        return "the mesh has no tangents (texture coordinates are needed to compute them)";
    if (g.texCoords.size() != n * 2)
        return "the mesh has no texture coordinates";
    for (uint32_t index : g.indices)
        if (index >= n)
            return "a triangle refers to vertex " + std::to_string(index) + " of " + std::to_string(n);
    for (const std::vector<float>* stream : {&g.positions, &g.normals, &g.tangents, &g.texCoords})
        for (float value : *stream)
            if (!std::isfinite(value))
                return "the mesh holds a value that is not a finite number";
    return {};
}

namespace {

ScenePipelineInfo spacecraftPipelineInfo() {
    ScenePipelineInfo info;
    info.shader = "spacecraft";
    info.layoutNotation = "UBD_0 UBD_1+UBD_2+UBD_3+UBD_4 CIS_5+CIS_6+CIS_7+CIS_8";
    info.vertexLayout = &tangentLayout;
    info.options.cullMode = VK_CULL_MODE_BACK_BIT;
    info.options.topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
    info.options.depthWriteEnable = 1;
    info.options.blendMode = BlendNone;
    return info;
}

} // namespace

GeometryData importSpacecraftModel(const std::string& path) {
    std::vector<GeometryData> meshes;
    try {
        meshes = importModel(path);
    } catch (const std::exception& e) {
        ENGINE_ERROR(std::string(e.what()));
    }
    if (meshes.empty())
        ENGINE_ERROR("Unable to load model file [" + path + "]: it holds no triangle mesh");
    std::string problem = modelGeometryProblem(meshes.front());
    if (!problem.empty())
        ENGINE_ERROR("Unable to load model file [" + path + "]: " + problem);
    return std::move(meshes.front());
}

SpacecraftVisual::SpacecraftVisual(const SpacecraftVisualCreateInfo& info_) : info(info_) {
    GraphicsDevice* device = info.device;
    ENGINE_CHECK(device && info.descriptorPool && info.uniformStorage && info.meshStorage,
                 "SpacecraftVisual: a device, the descriptor pool and the uniform and mesh storages are needed");
    ENGINE_CHECK(info.objectMatrix && info.objectBlock,
                 "SpacecraftVisual: the craft's object blocks must exist (create the astro object first)");
    const SpacecraftAssetPaths paths = spacecraftAssetPaths(info.assetDirectory, info.modelName);

    GeometryData geometry = importSpacecraftModel(paths.model);
    // Textures next, so a bad file stops the program before any GPU object of the craft exists.
    baseColorImage = createTextureFromDds(device, paths.baseColor);
    metallicImage = createTextureFromDds(device, paths.metallic);
    normalImage = createTextureFromDds(device, paths.normal);
    roughnessImage = createTextureFromDds(device, paths.roughness);

    model = new Mesh(device, geometry.name);
    model->upload(geometry, info.meshStorage, tangentLayout);
    if (auto* storage = dynamic_cast<DataStorageDevice*>(info.meshStorage))
        storage->registerFlush();

    sampler = new Sampler(device, Sampler::defaultInfo(1.0f));
    sampler->deferredRelease = 1;
    Image2D* images[4] = {baseColorImage, metallicImage, normalImage, roughnessImage};
    for (int k = 0; k < 4; ++k)
        textureBindings[k] = new TextureBinding(&images[k]->imageView, sampler);

    shadowUniform = new StorageBinding(info.uniformStorage, sizeof(ShadowBlock));
    lightsUniform = new StorageBinding(info.uniformStorage, sizeof(CraftLightsBlock));
    const uint32_t ubd = info.uniformStorage->descriptorType();
    const uint32_t cis = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
    uniformSet = new DataSet(device, info.descriptorPool,
                             {{1, DATA_STORAGE, ubd, info.objectMatrix},
                              {2, DATA_STORAGE, ubd, lightsUniform},
                              {3, DATA_STORAGE, ubd, info.objectBlock},
                              {4, DATA_STORAGE, ubd, shadowUniform}});
    textureSet = new DataSet(device, info.descriptorPool,
                             {{5, TEXTURE, cis, textureBindings[0]},
                              {6, TEXTURE, cis, textureBindings[1]},
                              {7, TEXTURE, cis, textureBindings[2]},
                              {8, TEXTURE, cis, textureBindings[3]}});
    pipeline = sharedScenePipeline(device, "spacecraft", spacecraftPipelineInfo());
}

SpacecraftVisual::~SpacecraftVisual() {
    if (GraphicsDevice* device = info.device) {
        for (GraphicsResource* r :
             {static_cast<GraphicsResource*>(uniformSet), static_cast<GraphicsResource*>(textureSet),
              static_cast<GraphicsResource*>(model), static_cast<GraphicsResource*>(baseColorImage),
              static_cast<GraphicsResource*>(metallicImage), static_cast<GraphicsResource*>(normalImage),
              static_cast<GraphicsResource*>(roughnessImage), static_cast<GraphicsResource*>(sampler)})
            if (r)
                unregisterResource(device, r);
    }
    for (TextureBinding* binding : textureBindings)
        delete binding;
    delete shadowUniform;
    delete lightsUniform;
}

void SpacecraftVisual::addEngines(ParticleSystem* particles) {
    for (const EngineMount& mount : craftEngineMounts()) {
        uint32_t emitter = particles ? particles->addEmitter(mount.emitter) : uint32_t(engines.mounts.size());
        engines.add(mount, emitter);
    }
}

EngineFrameInput SpacecraftVisual::engineInput(const CraftFrameInput& frame) {
    EngineFrameInput in;
    in.world = frame.world;
    in.rotation = frame.rotation;
    in.velocity = frame.velocity;
    in.thrustAcceleration = frame.thrustAcceleration;
    in.rcsActive = frame.rcsActive;
    in.burnBlend = frame.burnBlend;
    in.burnAttitude = frame.burnAttitude;
    in.smoothedBurnAttitude = frame.smoothedBurnAttitude;
    in.timeFactor = frame.timeFactor;
    in.frameMilliseconds = frame.frameMilliseconds;
    return in;
}

void SpacecraftVisual::writeShadow(const CraftFrameInput& frame) {
    static const std::vector<OccluderCandidate> none;
    if (frame.starLight)
        shadowBlock = computeCraftShadowBlock(frame.starPosition, frame.starRadius, frame.position,
                                              frame.bodies ? *frame.bodies : none);
    else
        shadowBlock = ShadowBlock{};
    shadowUniform->write(&shadowBlock);
}

void SpacecraftVisual::feedParticles(const CraftFrameInput& frame, ParticleSystem* particles) {
    if (!particles)
        return;
    for (size_t m = 0; m < engines.placements.size(); ++m) {
        const EmitterPlacement& e = engines.placements[m];
        particles->setEmitterFrame(engines.emitters[m], e.position, e.direction, e.velocity);
    }
    for (const EmissionRequest& request : engines.requests)
        particles->queueEmission(request);
    ParticleAttractor attractor;
    if (frame.hasAttractor)
        attractor = particleAttractor(frame.attractorPosition, frame.attractorMu);
    particles->setAttractor(attractor.position, attractor.strength);
}

void SpacecraftVisual::writeLights(const CraftFrameInput& frame) {
    static const StarLight dark{};
    lightsBlock = computeCraftLightsBlock(frame.starLight ? *frame.starLight : dark, engines.lights, frame.world);
    lightsUniform->write(&lightsBlock);
}

void SpacecraftVisual::record(CommandContext* context, DataSet* cameraSet, uint32_t width, uint32_t height) {
    if (!pipeline || !cameraSet || !model)
        return;
    pipeline->bind(context);
    setViewportAndScissor(context, width, height);
    bindDataSet(context, cameraSet);
    bindDataSet(context, uniformSet);
    bindDataSet(context, textureSet);
    pipeline->bindDataSets(context);
    model->draw(context, *pipeline);
}

} // namespace Demo
