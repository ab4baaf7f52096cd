#include "Demo/Surfaces/PlanetSurfaceSolid.h"

#include "App/Globals.h"
#include "App/InputState.h"
#include "Demo/Astro/AstroCreateInfo.h"
#include "Demo/Astro/AstroObject.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/SurfaceResources.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/Pipelines/PipelineGraphics.h"
#include "Engine/SwapChain/SwapChain.h"

#include <algorithm>

namespace Demo {

PipelineGraphics* PlanetSurfaceSolid::filledPipeline = nullptr;
PipelineGraphics* PlanetSurfaceSolid::wireframePipeline = nullptr;
IcoSphere* PlanetSurfaceSolid::sharedMesh = nullptr;

BiomeEntry toBiomeEntry(const Biome& b) {
    BiomeEntry e;
    e.heightRange[0] = b.heightMin;
    e.heightRange[1] = b.heightMax;
    e.slopeRange[0] = b.slopeMin;
    e.slopeRange[1] = b.slopeMax;
    std::copy(b.color, b.color + 3, e.color);
    e.metallic = b.metallic;
    e.roughness = b.roughness;
    return e;
}

namespace {

PipelineGraphics* createPlanetPipeline(GraphicsDevice* device, bool wireframe) {
    auto* pipeline = new PipelineGraphics(device);
    pipeline->loadShaders("planet_solid");
    pipeline->layoutNotation = "UBD_0 UBD_1+UBD_2+UBD_3+UBD_4+UBD_5+UBD_6+UBD_7+UBD_8+CIS_9";
    pipeline->setVertexLayout(standardLayout, false);
    pipeline->options.dynamicStates = standardDynamicStates();
    pipeline->options.cullMode = VK_CULL_MODE_BACK_BIT;
    pipeline->options.depthWriteEnable = 1;
    pipeline->options.tessellationEnable = 1;
    pipeline->options.patchControlPoints = 3;
    pipeline->options.blendMode = BlendNone;
    if (wireframe)
        pipeline->options.polygonMode = VK_POLYGON_MODE_LINE;
    pipeline->create({{VkFormat(device->hdrColorFormat)}, Helper::findDepthFormat(device->physicalDevice)});
    return pipeline;
}

} // namespace

PlanetSurfaceSolid::PlanetSurfaceSolid(SceneObject* owner_) : PlanetSurface(owner_) {}

PlanetSurfaceSolid::~PlanetSurfaceSolid() {
    if (GraphicsDevice* device = Globals::device)
        if (dataSet)
            unregisterResource(device, dataSet);
    delete biomeUniform;
    delete tessellationUniform;
    delete noAtmosphereUniform;
}

void PlanetSurfaceSolid::CreateUniform() {
    PlanetSurface::CreateUniform();
    GraphicsDevice* device = Globals::device;
    if (!device || !Globals::uniformStorage)
        return; // headless: the blocks are kept, nothing is drawn

    generator = new PlanetGenerator(device);
    biomeUniform = createUniformBinding(sizeof(BiomeBlock));
    tessellationUniform = createUniformBinding(sizeof(TessellationBlock));
    // Every solid planet draws the same unit sphere (the shaders scale it by the radius), so they share one:
    // 24 copies of a 5-times subdivided icosphere would not fit the mesh storage.
    if (!sharedMesh) {
        sharedMesh = new IcoSphere(device, Globals::meshStorage, 5, 1.0f);
        new SharedHandleReset<IcoSphere>(device, {&sharedMesh});
    }
    mesh = sharedMesh;

    StorageBinding* atmosphereRecord = nullptr;
    if (auto* body = dynamic_cast<AstroObject*>(owner))
        if (Atmosphere* atmosphere = body->getAtmosphere()) {
            atmosphere->CreateUniform();
            atmosphereRecord = atmosphere->uniform;
        }
    if (!atmosphereRecord) {
        noAtmosphereUniform = createUniformBinding(sizeof(AtmosphereBlock));
        atmosphereRecord = noAtmosphereUniform;
    }
    Star* star = primaryStar;
    ENGINE_CHECK(star && star->lightUniform, "PlanetSurfaceSolid: a solid planet needs a primary star to be lit by");
    ENGINE_CHECK(owner->uniformBinding && planet && planet->objectUniform,
                 "PlanetSurfaceSolid: the owner must be an astro object created before its surface");

    const uint32_t ubd = Globals::uniformStorage->descriptorType();
    dataSet = new DataSet(device, Globals::descriptorPool,
                          {{1, DATA_STORAGE, ubd, owner->uniformBinding},
                           {2, DATA_STORAGE, ubd, star->lightUniform},
                           {3, DATA_STORAGE, ubd, planet->objectUniform},
                           {4, DATA_STORAGE, ubd, atmosphereRecord},
                           {5, DATA_STORAGE, ubd, tessellationUniform},
                           {6, DATA_STORAGE, ubd, surfaceUniform},
                           {7, DATA_STORAGE, ubd, biomeUniform},
                           {8, DATA_STORAGE, ubd, sharedShadow},
                           {9, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, generator->heightMapBinding}});

    if (!filledPipeline) {
        filledPipeline = createPlanetPipeline(device, false);
        // Without fillModeNonSolid the T key keeps drawing filled.
        wireframePipeline = device->wireframeSupported ? createPlanetPipeline(device, true) : filledPipeline;
        new SharedHandleReset<PipelineGraphics>(device, {&filledPipeline, &wireframePipeline});
    }
}

void PlanetSurfaceSolid::Update() {
    PlanetSurface::Update();
    if (Globals::input && Globals::input->pressed(WireframeKey))
        wireframe = !wireframe;
    tessellation.distance = tessellationDistance(planet ? planet->radius : 1.0f, tessellation.factor);
    writeUniformBinding(biomeUniform, &biomes);
    writeUniformBinding(tessellationUniform, &tessellation);
    if (noAtmosphereUniform) {
        AtmosphereBlock none{};
        std::fill(none.rayleigh, none.rayleigh + 3, 0.0f);
        none.radius = 0.0f;
        none.mie = 0.0f;
        none.rayleighFactor = 0.0f;
        writeUniformBinding(noAtmosphereUniform, &none);
    }
}

void PlanetSurfaceSolid::RecordMain(CommandContext* context) {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    // Until its first generation the map holds nothing and is not yet a cube view: nothing to draw.
    if (!dataSet || !filledPipeline || !hasRelief() || !camera || !camera->dataSet)
        return;
    selectShadowBlock();
    PipelineGraphics* pipeline = wireframe ? wireframePipeline : filledPipeline;
    pipeline->bind(context);
    uint32_t width = Globals::swapChain ? Globals::swapChain->width : context->renderWidth;
    uint32_t height = Globals::swapChain ? Globals::swapChain->height : context->renderHeight;
    setViewportAndScissor(context, width, height);
    context->bindDataSet(camera->dataSet);
    context->bindDataSet(dataSet);
    pipeline->bindDataSets(context);
    mesh->draw(context, *pipeline);
}

void PlanetSurfaceSolid::applySettings(const SolidSurfaceCreateInfo& info) {
    surfaceBlock.elevationScale = info.elevationScale;
    tessellation.factor = info.tessellationFactor;
    tessellation.maxSubdivision = info.subdivisionMax;
    tessellation.minSubdivision = info.subdivisionMin;
    int biomeCount = std::clamp(info.biomeCount, 0, BiomeBlock::BiomeCount);
    for (int k = 0; k < biomeCount; ++k)
        biomes.biomes[k] = toBiomeEntry(info.biomes[k]);
    if (generator) {
        int layerCount = std::clamp(info.noiseLayerCount, 0, GeneratorSettings::LayerCount);
        for (int k = 0; k < layerCount; ++k)
            generator->settings.layers[k] = toGeneratorLayer(info.noiseLayers[k]);
    }
}

} // namespace Demo
