#include "Demo/Surfaces/AtmosphereManager.h"

#include "Demo/Astro/AstroObject.h"
#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Scene/ScenePipelines.h"
#include "Demo/Surfaces/AstroSurface.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/PlanetSurfaceGas.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/Pipelines/PipelineCompute.h"
#include "Engine/Pipelines/PipelineGraphics.h"
#include "Engine/SwapChain/SwapChain.h"

#include <algorithm>
#include <cstring>
#include <cmath>

namespace Demo {

namespace {

// `beyondOnly`: the depth test keeps the pixels whose surface lies beyond the shell's far side (or nothing was
// drawn), for a planet that composites the air over its own ground itself.
PipelineGraphics* atmospherePipeline(GraphicsDevice* device, const char* name, const char* notation,
                                     bool beyondOnly) {
    ScenePipelineInfo info;
    info.shader = name;
    info.layoutNotation = notation;
    // The back faces: exactly one fragment per covered pixel, whether the eye is outside the shell or inside it.
    info.options.cullMode = VK_CULL_MODE_FRONT_BIT;
    info.options.depthTestEnable = beyondOnly ? 1 : 0;
    info.options.depthWriteEnable = 0;
    info.options.blendMode = BlendAlpha;
    info.pushConstants = {{VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof(ShellDraw)}};
    // No colour attachment: the fragment shader writes the colour target itself. The depth target is attached
    // read-only for the test, and sampled.
    AttachmentFormats formats{{}, sceneTargetFormats(device).depth};
    return sharedScenePipeline(device, std::string(name) + (beyondOnly ? " beyond" : ""), info, formats);
}

// The stages that sample a sky-view table: the atmosphere draws, and the ground of a planet that composites
// its own air.
constexpr VkPipelineStageFlags2 tableReaders =
    VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT | VK_PIPELINE_STAGE_2_TESSELLATION_EVALUATION_SHADER_BIT;

// The gas planets' presets describe a thick envelope; the haze above the cloud tops is a tenth of it (the gas
// planet's draw scales its shell alike).
constexpr float GasHazeScale = 0.1f;

} // namespace

AtmosphereManager::AtmosphereManager(const Services& services_, TextureBinding* colorTarget_,
                                     TextureBinding* depthTarget_)
    : services(services_), colorTarget(colorTarget_), depthTarget(depthTarget_) {}

AtmosphereManager::~AtmosphereManager() {
    if (GraphicsDevice* device = services.device) {
        releaseTables();
        for (Entry& e : entries)
            if (e.fluidSet)
                unregisterResource(device, e.fluidSet);
        for (GraphicsResource* r : std::initializer_list<GraphicsResource*>{
                 recordSet, targetSet, shell, placeholderImage, placeholderSampler, tableSampler})
            if (r)
                unregisterResource(device, r);
    }
    delete modelRecord;
    delete atmosphereRecord;
    delete bodyRecord;
    delete ownShadowRecord;
    delete placeholderBinding;
}

bool AtmosphereManager::isGas(const Entry& entry) const {
    return entry.atmosphere->body && entry.atmosphere->body->typeCode() == ASTRO_PLANET_GAS;
}

void AtmosphereManager::createPlaceholder() {
    GraphicsDevice* device = services.device;
    // A pale ochre cloud deck until the fluid is wired in (linear albedo, as the fluid paints it).
    const uint8_t texel[4] = {166, 133, 92, 255};
    placeholderImage =
        new Image2D(device, 1, 1, VK_FORMAT_R8G8B8A8_UNORM,
                    VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT, VK_IMAGE_ASPECT_COLOR_BIT, 1);
    placeholderImage->addStagingUpload(texel, sizeof(texel), 1, 1, 0, 1, 0);
    device->pendingImageUploads.push_back(placeholderImage);
    placeholderSampler = new Sampler(device, Sampler::defaultInfo(1.0f));
    placeholderBinding = new TextureBinding(&placeholderImage->imageView, placeholderSampler);
}

DataSet* AtmosphereManager::createFluidSet(const Entry& entry, TextureBinding* fluidImage) {
    return new DataSet(services.device, services.descriptorPool,
                       {{8, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, fluidImage},
                        {9, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, entry.tableSampled}});
}

void AtmosphereManager::releaseTables() {
    GraphicsDevice* device = services.device;
    // Frames in flight may still sample the tables: they go after those frames.
    for (Entry& e : entries) {
        for (GraphicsResource* r : std::initializer_list<GraphicsResource*>{e.table, e.tableWriteSet, e.tableSet})
            if (r)
                unregisterResource(device, r);
        delete e.tableStorage;
        delete e.tableSampled;
        e.table = nullptr;
        e.tableWriteSet = e.tableSet = nullptr;
        e.tableStorage = e.tableSampled = nullptr;
        e.tableBuilt = false;
        e.tableValid = false;
    }
    builtSize = {0, 0};
}

void AtmosphereManager::createTables() {
    releaseTables();
    GraphicsDevice* device = services.device;
    const AtmosphereTableSize size = atmosphereTableSize(quality);
    for (Entry& e : entries) {
        e.table = new Image2D(device, size.azimuths, 2 * size.rows, VK_FORMAT_R16G16B16A16_SFLOAT,
                              VK_IMAGE_USAGE_STORAGE_BIT | VK_IMAGE_USAGE_SAMPLED_BIT, VK_IMAGE_ASPECT_COLOR_BIT, 1);
        e.tableStorage = new TextureBinding(&e.table->imageView, tableSampler);
        e.tableStorage->sampledLayout = VK_IMAGE_LAYOUT_GENERAL;
        e.tableSampled = new TextureBinding(&e.table->imageView, tableSampler);
        e.tableSampled->sampledLayout = VK_IMAGE_LAYOUT_GENERAL;
        e.tableWriteSet = new DataSet(device, services.descriptorPool,
                                      {{9, TEXTURE, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, e.tableStorage}});
        if (isGas(e)) {
            if (e.fluidSet)
                unregisterResource(device, e.fluidSet);
            e.fluidSet = createFluidSet(e, e.fluidImage ? e.fluidImage : placeholderBinding);
        } else {
            e.tableSet = new DataSet(device, services.descriptorPool,
                                     {{9, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, e.tableSampled}});
        }
    }
    builtSize = size;
}

void AtmosphereManager::setTableQuality(AtmosphereTableQuality q) {
    quality = q;
}

void AtmosphereManager::init() {
    entries.clear();
    if (services.scene)
        for (SceneObject* object : services.scene->objects)
            for (SceneComponent* component : object->components) {
                Atmosphere* atmosphere = component->asAtmosphere();
                if (!atmosphere || !atmosphere->body)
                    continue;
                // Airless planets and moons carry the component too (the surfaces read it), with values no one
                // chose; drawn, they would wrap every small moon in a haze a hundred units deep.
                auto* planetoid = dynamic_cast<Planetoid*>(atmosphere->body);
                if (planetoid && !planetoid->hasAtmosphereSettings)
                    continue;
                entries.push_back({atmosphere});
            }
    nearToFar.assign(entries.size(), 0.0f);

    GraphicsDevice* device = services.device;
    if (!device || !services.uniformStorage || !services.descriptorPool)
        return;
    Star* star = services.scene ? services.scene->primaryStar : nullptr;
    ENGINE_CHECK(star && star->lightUniform, "AtmosphereManager: the atmospheres need a primary star to be lit by");
    ENGINE_CHECK(colorTarget && depthTarget, "AtmosphereManager: the render manager's targets are missing");

    createPlaceholder();
    // Linear between texels; the azimuth wraps round, the rows are clamped by the shaders to their own half.
    VkSamplerCreateInfo samplerInfo = Sampler::defaultInfo(1.0f);
    samplerInfo.addressModeU = VK_SAMPLER_ADDRESS_MODE_REPEAT;
    samplerInfo.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
    tableSampler = new Sampler(device, samplerInfo);
    createTables();

    shell = new IcoSphere(device, services.meshStorage, 4, 1.0f);
    const char* solidNotation = "UBD_0 UBD_1+UBD_2+UBD_3+UBD_4+UBD_5 SI_6+CIS_7 CIS_9";
    solidPipeline = atmospherePipeline(device, "atmosphereSolid", solidNotation, false);
    beyondPipeline = atmospherePipeline(device, "atmosphereSolid", solidNotation, true);
    gasPipeline = atmospherePipeline(device, "atmosphereGas",
                                     "UBD_0 UBD_1+UBD_2+UBD_3+UBD_4+UBD_5 SI_6+CIS_7 CIS_8+CIS_9", false);
    tablePipeline = sharedResource<PipelineCompute>(device, "atmosphereTables CS_skyView", [&] {
        auto* pipeline = new PipelineCompute(device);
        pipeline->layoutNotation = "UBD_0 UBD_1+UBD_2+UBD_3+UBD_4+UBD_5 SI_9";
        pipeline->load("atmosphereTables", "CS_skyView");
        pipeline->pushConstantRanges.push_back({VK_SHADER_STAGE_COMPUTE_BIT, 0, sizeof(SkyViewParameters)});
        pipeline->create();
        return pipeline;
    });

    DsUniformSingle* uniforms = services.uniformStorage;
    modelRecord = new StorageBinding(uniforms, sizeof(ObjectBlock));
    atmosphereRecord = new StorageBinding(uniforms, sizeof(AtmosphereBlock));
    bodyRecord = new StorageBinding(uniforms, sizeof(AstroObjectBlock));
    // Dynamic offsets name spans of the storage, so one record binds the surfaces' shadow blocks and the manager's.
    shadowRecord = ownShadowRecord = new StorageBinding(uniforms, sizeof(ShadowBlock));

    const uint32_t ubd = uniforms->descriptorType();
    recordSet = new DataSet(device, services.descriptorPool,
                            {{1, DATA_STORAGE, ubd, modelRecord},
                             {2, DATA_STORAGE, ubd, star->lightUniform},
                             {3, DATA_STORAGE, ubd, atmosphereRecord},
                             {4, DATA_STORAGE, ubd, bodyRecord},
                             {5, DATA_STORAGE, ubd, shadowRecord}});
    targetSet = new DataSet(device, services.descriptorPool,
                            {{6, TEXTURE, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, colorTarget},
                             {7, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, depthTarget}});
}

void AtmosphereManager::setFluidImage(AstroObject* gasPlanet, TextureBinding* fluidImage) {
    ENGINE_CHECK(fluidImage != nullptr, "AtmosphereManager: a fluid image binding is needed");
    for (Entry& e : entries) {
        if (e.atmosphere->body != gasPlanet || !e.fluidSet)
            continue;
        // A frame in flight may still bind the old set: it is released after those frames.
        unregisterResource(services.device, e.fluidSet);
        e.fluidImage = fluidImage;
        e.fluidSet = createFluidSet(e, fluidImage);
        e.fluidBound = true;
    }
}

void AtmosphereManager::bindReadyFluids() {
    for (Entry& e : entries) {
        if (!e.fluidSet || e.fluidBound)
            continue;
        // The image holds nothing until the first step has been recorded: the placeholder deck stands in.
        auto* gas = dynamic_cast<PlanetSurfaceGas*>(e.atmosphere->body->getSurface());
        if (gas && gas->fluidReady() && gas->fluidImageBinding())
            setFluidImage(e.atmosphere->body, gas->fluidImageBinding());
    }
}

void AtmosphereManager::update(const FrameContext&) {
    Vec3f eye;
    if (services.scene && services.scene->mainCamera)
        eye = services.scene->mainCamera->view.position;
    for (Entry& e : entries) {
        const float* p = e.atmosphere->body->position;
        float dx = p[0] - eye.x, dy = p[1] - eye.y, dz = p[2] - eye.z;
        e.squaredDistance = dx * dx + dy * dy + dz * dz;
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.squaredDistance > b.squaredDistance; });
    for (size_t i = 0; i < entries.size(); ++i)
        nearToFar[entries.size() - 1 - i] = entries[i].squaredDistance;

    if (!recordSet)
        return;
    bindReadyFluids();
    Star* star = services.scene ? services.scene->primaryStar : nullptr;
    for (Entry& e : entries) {
        AstroObject* body = e.atmosphere->body;
        body->transform->updateMatrix();
        ObjectBlock model = makeObjectBlock(body->transform->worldMatrix);
        AstroObjectBlock block{{body->position[0], body->position[1], body->position[2]}, body->radius};
        e.modelOffset = modelRecord->storage->write(e.modelOffset, &model, sizeof(model));
        e.atmosphereOffset =
            atmosphereRecord->storage->write(e.atmosphereOffset, &e.atmosphere->block, sizeof(AtmosphereBlock));
        e.bodyOffset = bodyRecord->storage->write(e.bodyOffset, &block, sizeof(block));
        if (!body->getSurface()) {
            ShadowBlock shadow;
            if (star) {
                std::copy(star->position, star->position + 3, shadow.starPosition);
                shadow.starRadius = star->radius;
            }
            e.shadowOffset = shadowRecord->storage->write(e.shadowOffset, &shadow, sizeof(shadow));
        }
    }
}

uint32_t AtmosphereManager::setsFor(uint32_t index, DataSet* out[MaxSets]) const {
    const Entry& e = entries[index];
    DemoCamera* camera = services.scene ? services.scene->mainCamera : nullptr;
    out[0] = camera ? camera->dataSet : nullptr;
    out[1] = recordSet;
    out[2] = targetSet;
    out[3] = isGas(e) ? e.fluidSet : e.tableSet;
    return 4;
}

void AtmosphereManager::record(const FrameContext&, CommandContext* context, uint32_t index) {
    if (index < entries.size())
        draw(context, uint32_t(entries.size()) - 1 - index);
}

void AtmosphereManager::draw(CommandContext* context, uint32_t index) {
    if (index >= entries.size() || !recordSet)
        return;
    const Entry& e = entries[index];
    DataSet* sets[MaxSets] = {};
    uint32_t setCount = setsFor(index, sets);
    for (uint32_t k = 0; k < setCount; ++k)
        if (!sets[k])
            return; // no camera yet

    if (!e.tableBuilt)
        return; // off screen or under a pixel this frame

    setRecordOffsets(e);
    PipelineGraphics* pipeline = isGas(e) ? gasPipeline : e.atmosphere->groundAir ? beyondPipeline : solidPipeline;
    pipeline->bind(context);
    setViewportAndScissor(context, context->renderWidth, context->renderHeight);
    for (uint32_t k = 0; k < setCount; ++k)
        bindDataSet(context, sets[k]);
    pipeline->bindDataSets(context);
    const ShellDraw ring = e.atmosphere->groundAir ? ringFor(e) : ShellDraw{};
    vkCmdPushConstants(context->commandBuffer, pipeline->layout, VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof(ring), &ring);
    if (ring.segments == 0) {
        shell->draw(context, *pipeline);
        return;
    }
    shell->bind(context, *pipeline);
    vkCmdDraw(context->commandBuffer, 6 * ring.segments, 1, 0, 0);
    ++context->device->drawCount;
}

ShellDraw AtmosphereManager::ringFor(const Entry& e) const {
    // Where the ground composites its own air, what is left to this pass lies outside the ground's silhouette:
    // a flat ring about it (its points on the pixels' rays) covers that, without testing away the whole disc.
    // From inside the shell, or so close above it that the ring would reach the horizon, the shell is drawn.
    AstroObject* body = e.atmosphere->body;
    const auto* surface = dynamic_cast<const PlanetSurfaceSolid*>(body->getSurface());
    DemoCamera* camera = services.scene ? services.scene->mainCamera : nullptr;
    if (!surface || !camera)
        return {};
    const Vec3f eye = camera->view.position;
    const float dx = body->position[0] - eye.x, dy = body->position[1] - eye.y, dz = body->position[2] - eye.z;
    const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    const float top = drawnShellTop(e);
    return shellDrawFor(d, top, float(surface->lowestGroundRadius()));
}

void AtmosphereManager::setRecordOffsets(const Entry& e) {
    modelRecord->offset = e.modelOffset;
    atmosphereRecord->offset = e.atmosphereOffset;
    bodyRecord->offset = e.bodyOffset;
    if (AstroSurface* surface = e.atmosphere->body->getSurface())
        shadowRecord->offset = surface->shadowOffset;
    else
        shadowRecord->offset = e.shadowOffset;
}

float AtmosphereManager::drawnShellTop(const Entry& e) const {
    const AstroObject* body = e.atmosphere->body;
    return 1.01f * (body->radius + std::max(e.atmosphere->block.radius, 1e-4f * body->radius));
}

bool AtmosphereManager::tableNeeded(const Entry& e) const {
    DemoCamera* camera = services.scene ? services.scene->mainCamera : nullptr;
    if (!camera)
        return false;
    const AstroObject* body = e.atmosphere->body;
    const Vec3f eye = camera->view.position;
    const float toCentre[3] = {body->position[0] - eye.x, body->position[1] - eye.y, body->position[2] - eye.z};
    const float forward[3] = {camera->view.direction.x, camera->view.direction.y, camera->view.direction.z};
    const float top = drawnShellTop(e);
    const ProjectionParams& projection = camera->view.projectionParams;
    const float height = services.swapChain ? float(services.swapChain->height) : 1080.0f;
    return shellCoversPixels(toCentre, top, forward, projection.fov * 3.14159265f / 180.0f, projection.aspect, height);
}

SkyViewInputs AtmosphereManager::tableInputs(const Entry& e) const {
    SkyViewInputs in;
    const AstroObject* body = e.atmosphere->body;
    const Vec3f eye = services.scene->mainCamera->view.position;
    const AstroObject* primary = services.scene->primaryStar;
    const float eyeAt[3] = {eye.x, eye.y, eye.z};
    for (int k = 0; k < 3; ++k) {
        in.eye[k] = eyeAt[k] - body->position[k];
        in.star[k] = primary ? primary->position[k] - body->position[k] : 0.0f;
    }
    in.groundRadius = body->radius;
    if (const AstroSurface* surface = e.atmosphere->body->getSurface()) {
        in.occluderCount = std::min(surface->shadow.occluderCount, SkyViewInputs::MaxOccluders);
        for (uint32_t i = 0; i < in.occluderCount; ++i)
            for (int k = 0; k < 4; ++k)
                in.occluders[i][k] = surface->shadow.occluders[i][k] - (k < 3 ? body->position[k] : 0.0f);
    }
    static_assert(sizeof(in.atmosphere) == sizeof(AtmosphereBlock));
    std::memcpy(in.atmosphere, &e.atmosphere->block, sizeof(in.atmosphere));
    return in;
}

bool AtmosphereManager::groundCompositesAir(const Entry& e) const {
    AstroObject* body = e.atmosphere->body;
    const auto* surface = dynamic_cast<const PlanetSurfaceSolid*>(body->getSurface());
    if (!e.tableBuilt || isGas(e) || body == services.scene->primaryStar || !surface || !surface->drawsOwnAir())
        return false;
    // The atmosphere pass then skips everything in front of the shell's far side: nothing else may stand inside
    // the shell (a craft flying through the air), or it would lose the air in front of it.
    const float top = drawnShellTop(e);
    for (const SceneObject* object : services.scene->objects) {
        const auto* other = dynamic_cast<const AstroObject*>(object);
        if (other && other != body && reachesIntoShell(body->position, top, other->position, other->radius))
            return false;
    }
    return true;
}

void AtmosphereManager::recordTables(const FrameContext&, CommandContext* context) {
    for (Entry& e : entries) {
        e.tableBuilt = false;
        e.atmosphere->groundAir = nullptr;
    }
    if (!recordSet || !tablePipeline)
        return;
    DemoCamera* camera = services.scene ? services.scene->mainCamera : nullptr;
    if (!camera || !camera->dataSet)
        return;
    const AtmosphereTableSize size = atmosphereTableSize(quality);
    if (size.azimuths != builtSize.azimuths || size.rows != builtSize.rows)
        createTables();
    const AstroObject* primary = services.scene->primaryStar;
    for (Entry& e : entries) {
        if (!tableNeeded(e))
            continue;
        // A table still showing what this frame's would is kept (a camera following its body builds it once).
        const SkyViewInputs inputs = tableInputs(e);
        if (e.tableValid && skyViewStillFits(e.builtFrom, inputs)) {
            e.tableBuilt = true;
            continue;
        }
        // Last frame's draws may still sample the table (a planet's ground reads it per vertex); its contents are
        // rebuilt whole. (The source stages name compute too: a barrier from the fragment stage alone, outside any
        // rendering, upsets lavapipe.)
        imageBarrier(context, e.table->image, e.table->range, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_GENERAL,
                     tableReaders | VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_NONE,
                     VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_WRITE_BIT);
        setRecordOffsets(e);
        tablePipeline->bind(context);
        bindDataSet(context, camera->dataSet);
        bindDataSet(context, recordSet);
        bindDataSet(context, e.tableWriteSet);
        tablePipeline->bindDataSets(context);
        SkyViewParameters p;
        p.size[0] = int32_t(size.azimuths);
        p.size[1] = int32_t(size.rows);
        p.coefficientScale = isGas(e) ? GasHazeScale : 1.0f;
        p.corona = e.atmosphere->body == primary ? 1 : 0;
        vkCmdPushConstants(context->commandBuffer, tablePipeline->layout, VK_SHADER_STAGE_COMPUTE_BIT, 0, sizeof(p),
                           &p);
        vkCmdDispatch(context->commandBuffer, (size.azimuths + 7) / 8, (size.rows + 7) / 8, 1);
        imageBarrier(context, e.table->image, e.table->range, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL,
                     VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_WRITE_BIT, tableReaders,
                     VK_ACCESS_2_SHADER_READ_BIT);
        e.tableBuilt = true;
        e.tableValid = true;
        e.builtFrom = inputs;
    }
    for (Entry& e : entries)
        if (groundCompositesAir(e))
            e.atmosphere->groundAir = e.tableSet;
}

} // namespace Demo
