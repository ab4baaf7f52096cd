#include "Demo/Surfaces/ParticleSystem.h"

#include "Demo/Astro/AstroObject.h"
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Scene/ScenePipelines.h"
#include "Engine/Buffers/StructuredBuffer.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/Pipelines/PipelineCompute.h"
#include "Engine/Pipelines/PipelineGraphics.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace Demo {

namespace {

constexpr const char* ComputeNotation = "UBD_0 UBD_1+UBD_2+SB_3+SB_4+SB_5+SB_6+SB_7+SB_8";
constexpr VkAccessFlags ShaderReadWrite = VK_ACCESS_SHADER_READ_BIT | VK_ACCESS_SHADER_WRITE_BIT;

// A barrier between two compute passes over one whole buffer.
void computeBarrier(CommandContext* context, const StructuredBuffer* buffer) {
    bufferBarrier(context, buffer->buffer, VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT, VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT,
                  ShaderReadWrite, ShaderReadWrite);
}

// Compute writes of the indirect buffer, read as indirect commands by dispatches and draws.
void indirectBarrier(CommandContext* context, const StructuredBuffer* buffer) {
    bufferBarrier(context, buffer->buffer, VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT, VK_PIPELINE_STAGE_DRAW_INDIRECT_BIT,
                  ShaderReadWrite, VK_ACCESS_INDIRECT_COMMAND_READ_BIT);
}

PipelineCompute* createComputePass(GraphicsDevice* device, const char* entryPoint,
                                   std::vector<VkPushConstantRange> pushConstants = {},
                                   std::vector<uint32_t> constants = {}) {
    auto* pipeline = new PipelineCompute(device);
    pipeline->layoutNotation = ComputeNotation;
    pipeline->load("particleSim", entryPoint);
    pipeline->pushConstantRanges = std::move(pushConstants);
    for (uint32_t id = 0; id < constants.size(); ++id)
        pipeline->specializationEntries.push_back({id, id * uint32_t(sizeof(uint32_t)), sizeof(uint32_t)});
    const auto* bytes = reinterpret_cast<const uint8_t*>(constants.data());
    pipeline->specializationData.assign(bytes, bytes + constants.size() * sizeof(uint32_t));
    pipeline->create();
    return pipeline;
}

} // namespace

ParticleSystem::ParticleSystem(SceneObject* owner_, const ParticleSystemCreateInfo& info_)
    : SceneComponent(owner_), info(info_) {
    if (info.maxParticles == 0 || info.maxParticles > MaxParticleCapacity || info.maxParticles % 2 != 0)
        throw std::runtime_error("ParticleSystem: capacity " + std::to_string(info.maxParticles) +
                                 " must be even and between 2 and " + std::to_string(MaxParticleCapacity));
    settings.maxParticles = info.maxParticles;
}

ParticleSystem::~ParticleSystem() {
    if (GraphicsDevice* device = info.device) {
        for (GraphicsResource* r :
             {static_cast<GraphicsResource*>(computeSet), static_cast<GraphicsResource*>(renderSet),
              static_cast<GraphicsResource*>(particleBuffer), static_cast<GraphicsResource*>(counterBuffer),
              static_cast<GraphicsResource*>(sortBufferA), static_cast<GraphicsResource*>(sortBufferB),
              static_cast<GraphicsResource*>(infoBuffer), static_cast<GraphicsResource*>(indirectBuffer),
              static_cast<GraphicsResource*>(mesh)})
            if (r)
                unregisterResource(device, r);
    }
    // The records detach themselves from data sets whose release is still pending.
    for (BufferBinding* binding : bufferBindings)
        delete binding;
    delete settingsUniform;
}

void ParticleSystem::CreateUniform() {
    GraphicsDevice* device = info.device;
    if (!device || !info.uniformStorage || !info.descriptorPool || !info.meshStorage)
        return; // headless: emitters and requests are kept, nothing runs
    ENGINE_CHECK(info.layerBlock && info.lights && info.shadow,
                 "ParticleSystem: the layer block and the owner's lights and shadow records are needed");

    settingsUniform = new StorageBinding(info.uniformStorage, sizeof(ParticleSettingsBlock));
    mesh = new IcoSphere(device, info.meshStorage, 0, 1.0f);
    if (auto* storage = dynamic_cast<DataStorageDevice*>(info.meshStorage))
        storage->registerFlush();

    const uint32_t capacity = info.maxParticles;
    particleBuffer = new StructuredBuffer(device, capacity, 48);
    counterBuffer = new StructuredBuffer(device, 64, 4);
    // A: the two alive lists and the free stack (3 × capacity indices); B: a 16-byte render record per particle.
    sortBufferA = new StructuredBuffer(device, capacity / 2, 32);
    sortBufferB = new StructuredBuffer(device, capacity / 2, 32);
    infoBuffer = new StructuredBuffer(device, InfoWordCount, 4);
    indirectBuffer = new StructuredBuffer(device, 160, 4, VK_BUFFER_USAGE_INDIRECT_BUFFER_BIT);
    StructuredBuffer* buffers[6] = {particleBuffer, counterBuffer, sortBufferA,
                                    sortBufferB,    infoBuffer,    indirectBuffer};
    for (int k = 0; k < 6; ++k)
        bufferBindings[k] = new BufferBinding(buffers[k]);

    const uint32_t ubd = info.uniformStorage->descriptorType();
    const uint32_t sb = VK_DESCRIPTOR_TYPE_STORAGE_BUFFER;
    computeSet = new DataSet(device, info.descriptorPool,
                             {{1, DATA_STORAGE, ubd, settingsUniform},
                              {2, DATA_STORAGE, ubd, info.layerBlock},
                              {3, STRUCTURED_BUFFER, sb, bufferBindings[0]},
                              {4, STRUCTURED_BUFFER, sb, bufferBindings[1]},
                              {5, STRUCTURED_BUFFER, sb, bufferBindings[2]},
                              {6, STRUCTURED_BUFFER, sb, bufferBindings[3]},
                              {7, STRUCTURED_BUFFER, sb, bufferBindings[4]},
                              {8, STRUCTURED_BUFFER, sb, bufferBindings[5]}});
    renderSet = new DataSet(device, info.descriptorPool,
                            {{1, DATA_STORAGE, ubd, info.lights},
                             {2, DATA_STORAGE, ubd, info.shadow},
                             {3, STRUCTURED_BUFFER, sb, bufferBindings[3]},
                             {4, STRUCTURED_BUFFER, sb, bufferBindings[1]}});
    createPipelines();
}

void ParticleSystem::createPipelines() {
    GraphicsDevice* device = info.device;
    auto compute = [device](const char* entryPoint, std::vector<VkPushConstantRange> pushConstants = {},
                            std::vector<uint32_t> constants = {}) {
        return sharedResource<PipelineCompute>(device, std::string("particles ") + entryPoint, [&] {
            return createComputePass(device, entryPoint, std::move(pushConstants), std::move(constants));
        });
    };
    pipelines.emit = compute("CS_emitNewParticles", {{VK_SHADER_STAGE_COMPUTE_BIT, 0, sizeof(EmissionRequest)}});
    pipelines.infoSimulation = compute("CS_updateInfoSimulation");
    pipelines.simulate = compute("CS_simulateParticles");
    pipelines.regions = compute("CS_updateRegions");
    pipelines.sort = compute("CS_sortParticles");
    // The draw commands carry the particle mesh's index count and its first index in the mesh storage: the
    // draws bind the index buffer at the storage's start, as indirect draws on some drivers (lavapipe) do not
    // apply the offset of the bound index buffer.
    const IndexBuffer* indices = mesh->indexBuffer;
    pipelines.infoRender =
        compute("CS_updateInfoRender", {}, {indices->indexCount, indices->offset / uint32_t(sizeof(uint32_t))});

    pipelines.render = sharedResource<PipelineGraphics>(device, "particles render", [&] {
        auto* render = new PipelineGraphics(device);
        render->loadShaders("particleRender");
        render->layoutNotation = "UBD_0 UBD_1+UBD_2+SB_3+SB_4";
        render->pushConstantRanges = {{VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof(uint32_t)}};
        render->setVertexLayout(standardLayout, false);
        render->options.dynamicStates = standardDynamicStates();
        render->options.cullMode = VK_CULL_MODE_FRONT_BIT;
        render->options.depthWriteEnable = 0;
        render->options.blendMode = BlendAdditive;
        render->create({{VkFormat(device->hdrColorFormat)}, Helper::findDepthFormat(device->physicalDevice)});
        return render;
    });
}

uint32_t ParticleSystem::addEmitter(const EmitterRecord& record) {
    if (emitters.size() >= MaxEmitters)
        throw std::runtime_error("ParticleSystem: the settings block holds " + std::to_string(MaxEmitters) +
                                 " emitters; a further one cannot be added");
    uint32_t index = uint32_t(emitters.size());
    emitters.push_back(record);
    settings.emitters[index] = record;
    settings.emitterCount = index + 1;
    return index;
}

void ParticleSystem::setEmitterFrame(uint32_t index, const float position[3], const float direction[3],
                                     const float velocity[3]) {
    if (index >= settings.emitterCount)
        return;
    float* f = settings.emitters[index].f;
    std::copy(position, position + 3, f + EmitterPosition);
    std::copy(direction, direction + 3, f + EmitterDirection);
    std::copy(velocity, velocity + 3, f + EmitterVelocity);
}

void ParticleSystem::setAttractor(const float position[3], float strength) {
    std::copy(position, position + 3, settings.attractorPosition);
    settings.attractorStrength = strength;
}

void ParticleSystem::queueEmission(const EmissionRequest& request) {
    if (request.count == 0 || request.emitter >= settings.emitterCount)
        return;
    EmissionRequest r = request;
    r.count = std::min(r.count, info.maxParticles);
    r.zero = 0;
    pending.push_back(r);
}

void ParticleSystem::update(float frameMilliseconds, double timeFactor) {
    settings.timeStep = particleTimeStep(frameMilliseconds, timeFactor);
}

double ParticleSystem::ownerTimeFactor() const {
    auto* body = dynamic_cast<AstroObject*>(owner);
    AstroSystem* system = body ? body->getSystem() : nullptr;
    return system ? system->timeFactor : 1.0;
}

void ParticleSystem::writeSettings() {
    if (settingsUniform)
        settingsUniform->write(&settings);
}

void ParticleSystem::clear() {
    pending.clear();
    buffersCleared = false;
    recordedLayers = 0;
}

void ParticleSystem::Update(const FrameContext& frame) {
    update(frame.frame.frameTime, ownerTimeFactor());
}

void ParticleSystem::RecordCompute(const FrameContext&, CommandContext* context) {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    if (camera && camera->dataSet && info.layers)
        recordCompute(context, camera->dataSet, uint32_t(info.layers->layerCount));
}

void ParticleSystem::RecordLayer(const FrameContext&, CommandContext* context, uint32_t layer) {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    if (camera && camera->dataSet)
        recordLayer(context, camera->dataSet, layer, context->renderWidth, context->renderHeight);
}

void ParticleSystem::bindCompute(CommandContext* context, PipelineCompute* pipeline, DataSet* cameraSet) {
    pipeline->bind(context);
    bindDataSet(context, cameraSet);
    bindDataSet(context, computeSet);
    pipeline->bindDataSets(context);
}

void ParticleSystem::recordCompute(CommandContext* context, DataSet* cameraSet, uint32_t layerCount) {
    lastEmitDispatches = 0;
    if (!computeSet || !pipelines.emit || !cameraSet || settingsUniform->offset == StorageBinding::NoOffset)
        return;
    layerCount = std::clamp(layerCount, 1u, MaxLayers);
    VkCommandBuffer cmd = context->commandBuffer;
    auto timestamp = [&](uint32_t query) {
        if (passTimestamps != VK_NULL_HANDLE)
            vkCmdWriteTimestamp(cmd, VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT, passTimestamps, query);
    };
    timestamp(0);

    // The previous frame's passes wrote every buffer, and its draws read the commands and sort buffer B, which
    // this frame rewrites (or clears): one memory barrier over all of them.
    VkMemoryBarrier barrier{VK_STRUCTURE_TYPE_MEMORY_BARRIER};
    barrier.srcAccessMask = VK_ACCESS_SHADER_WRITE_BIT;
    barrier.dstAccessMask = ShaderReadWrite | VK_ACCESS_TRANSFER_WRITE_BIT;
    vkCmdPipelineBarrier(cmd,
                         VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT | VK_PIPELINE_STAGE_DRAW_INDIRECT_BIT |
                             VK_PIPELINE_STAGE_VERTEX_SHADER_BIT,
                         VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT | VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 1, &barrier, 0,
                         nullptr, 0, nullptr);
    if (!buffersCleared) {
        // Fresh or cleared buffers: no particle alive, none free, no draw.
        for (StructuredBuffer* b : {infoBuffer, counterBuffer, indirectBuffer})
            vkCmdFillBuffer(cmd, b->buffer, 0, VK_WHOLE_SIZE, 0);
        for (StructuredBuffer* b : {infoBuffer, counterBuffer, indirectBuffer})
            bufferBarrier(context, b->buffer, VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT,
                          VK_ACCESS_TRANSFER_WRITE_BIT, ShaderReadWrite);
        buffersCleared = true;
    }

    // 1. Emission, one dispatch per request.
    for (size_t i = 0; i < pending.size(); ++i) {
        const EmissionRequest& request = pending[i];
        if (i > 0)
            computeBarrier(context, infoBuffer); // the free stack and the alive count are shared
        bindCompute(context, pipelines.emit, cameraSet);
        vkCmdPushConstants(cmd, pipelines.emit->layout, VK_SHADER_STAGE_COMPUTE_BIT, 0, sizeof(EmissionRequest),
                           &request);
        vkCmdDispatch(cmd, emitGroupCount(request.count), 1, 1);
        ++lastEmitDispatches;
    }
    pending.clear();

    timestamp(1);
    // 2. Dispatch size of the simulation and sort passes; layer counters cleared.
    computeBarrier(context, infoBuffer);
    computeBarrier(context, sortBufferA); // the alive list the simulation reads
    bindCompute(context, pipelines.infoSimulation, cameraSet);
    vkCmdDispatch(cmd, 1, 1, 1);

    timestamp(2);
    // 3-4. Simulation: age, attractor, death onto the free stack, survivors into the next list by layer.
    computeBarrier(context, infoBuffer);
    indirectBarrier(context, indirectBuffer);
    computeBarrier(context, particleBuffer);
    computeBarrier(context, counterBuffer);
    bindCompute(context, pipelines.simulate, cameraSet);
    vkCmdDispatchIndirect(cmd, indirectBuffer->buffer, 0);

    timestamp(3);
    // 5-6. Where each layer's records start in sort buffer B.
    computeBarrier(context, infoBuffer);
    computeBarrier(context, sortBufferA);
    computeBarrier(context, counterBuffer);
    bindCompute(context, pipelines.regions, cameraSet);
    vkCmdDispatch(cmd, layerGroupCount(layerCount), 1, 1);

    timestamp(4);
    // 7. Render records into their layer's region, from the positions the simulation wrote.
    computeBarrier(context, counterBuffer);
    computeBarrier(context, particleBuffer);
    bindCompute(context, pipelines.sort, cameraSet);
    vkCmdDispatchIndirect(cmd, indirectBuffer->buffer, 0);

    timestamp(5);
    // 8. One draw command per layer (over the dispatch command the sort just consumed); lists swapped.
    computeBarrier(context, counterBuffer);
    computeBarrier(context, infoBuffer);
    bindCompute(context, pipelines.infoRender, cameraSet);
    vkCmdDispatch(cmd, layerGroupCount(layerCount), 1, 1);

    timestamp(6);
    // 9. The draws read the commands, and the vertex shader reads sort buffer B and the layer cursors, which the
    // sort wrote last.
    indirectBarrier(context, indirectBuffer);
    for (StructuredBuffer* b : {sortBufferB, counterBuffer})
        bufferBarrier(context, b->buffer, VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT, VK_PIPELINE_STAGE_VERTEX_SHADER_BIT,
                      ShaderReadWrite, VK_ACCESS_SHADER_READ_BIT);
    recordedLayers = layerCount;
}

void ParticleSystem::recordLayer(CommandContext* context, DataSet* cameraSet, uint32_t layer, uint32_t width,
                                 uint32_t height) {
    // The vertex shader finds the layer's region of sort buffer B from its cursor: the draw needs no first
    // instance in the command, which a device without drawIndirectFirstInstance must leave at 0.
    if (!renderSet || !pipelines.render || !cameraSet || layer >= recordedLayers)
        return;
    PipelineGraphics* pipeline = pipelines.render;
    pipeline->bind(context);
    setViewportAndScissor(context, width, height);
    bindDataSet(context, cameraSet);
    bindDataSet(context, renderSet);
    pipeline->bindDataSets(context);
    vkCmdPushConstants(context->commandBuffer, pipeline->layout, VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof layer, &layer);
    mesh->bind(context, *pipeline);
    vkCmdBindIndexBuffer(context->commandBuffer, mesh->indexBuffer->storage->buffer, 0, VK_INDEX_TYPE_UINT32);
    context->boundMesh = nullptr; // its index buffer is not bound the way Mesh::bind leaves it
    vkCmdDrawIndexedIndirect(context->commandBuffer, indirectBuffer->buffer, layerDrawOffset(layer), 1, 20);
    ++context->device->drawCount;
}

} // namespace Demo
