// The spacecraft's per-frame CPU work and the particle compute sequence on the GPU.
// Targets: recording the particle compute sequence (settings upload, ten emission requests, six passes) and
// the spacecraft's uniforms plus its draw each under 50 µs of CPU per frame. The GPU time of the particle
// sequence at 100,000 live particles is reported from timestamp queries (manual time, in the iteration time).
// Run from build/run (the spacecraft's assets and the shaders are read from there).
#include "Demo/Astro/Star.h"
#include "Demo/Scene/CameraMath.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/SceneObject.h"
#include "Demo/Spacecraft/SpacecraftVisual.h"
#include "Demo/Surfaces/ParticleSystem.h"
#include "Engine/Buffers/StructuredBuffer.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/Frame/EngineContext.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/VulkanInstance.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>

using namespace Demo;

namespace {

// A headless device with the program's storages, a camera, the layer block, the craft and its particles.
struct CraftRig {
    VulkanInstance instance;
    EngineContext* engine = nullptr;
    GraphicsDevice* device = nullptr;
    DsDeviceMeshSingle* meshStorage = nullptr;
    DescriptorPool* pool = nullptr;
    DsUniformSingle* uniforms = nullptr;
    std::unique_ptr<StorageBinding> camera, layers, matrix, body;
    DataSet* cameraSet = nullptr;
    LayerBlock layerBlock;
    std::unique_ptr<SpacecraftVisual> visual;
    std::unique_ptr<ParticleSystem> particles;
    StarLight star{};
    std::vector<OccluderCandidate> bodies;
    VkCommandPool commandPool = VK_NULL_HANDLE;
    CommandContext context;
    Image2D* color = nullptr;
    Image2D* depth = nullptr;

    CraftRig() {
        instance.createHeadless();
        engine = new EngineContext(instance.instance, VK_NULL_HANDLE, nullptr);
        device = engine->device;
        device->hdrColorFormat = VK_FORMAT_R32G32B32A32_SFLOAT;
        meshStorage = engine->meshStorage;
        pool = engine->descriptorPool;
        uniforms = engine->uniformStorage;
        camera = std::make_unique<StorageBinding>(uniforms, uint32_t(sizeof(CameraBlock)));
        layers = std::make_unique<StorageBinding>(uniforms, uint32_t(sizeof(LayerBlock)));
        matrix = std::make_unique<StorageBinding>(uniforms, uint32_t(sizeof(ObjectBlock)));
        body = std::make_unique<StorageBinding>(uniforms, uint32_t(sizeof(AstroObjectBlock)));
        cameraSet = new DataSet(device, pool, {{0, DATA_STORAGE, uniforms->descriptorType(), camera.get()}});
        layerBlock = computeLayerBlock({400.0f, 90000.0f}); // two atmospheres: three layers

        SpacecraftVisualCreateInfo v;
        v.device = device;
        v.descriptorPool = pool;
        v.uniformStorage = uniforms;
        v.meshStorage = meshStorage;
        v.objectMatrix = matrix.get();
        v.objectBlock = body.get();
        visual = std::make_unique<SpacecraftVisual>(v);
        ParticleSystemCreateInfo p;
        p.device = device;
        p.descriptorPool = pool;
        p.uniformStorage = uniforms;
        p.meshStorage = meshStorage;
        p.layerBlock = layers.get();
        p.layers = &layerBlock;
        p.lights = visual->lightsUniform;
        p.shadow = visual->shadowUniform;
        particles = std::make_unique<ParticleSystem>(nullptr, p);
        particles->CreateUniform();
        visual->addEngines(particles.get());

        star.color[0] = star.color[1] = star.color[2] = 1.0f;
        star.intensity = 10.0f;
        for (int k = 0; k < 24; ++k)
            bodies.push_back({{500.0 * k, 100.0, 0.0}, 10.0, 2, false});

        VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
        poolInfo.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
        poolInfo.queueFamilyIndex = device->queueFamilyIndex;
        vkCreateCommandPool(device->device, &poolInfo, nullptr, &commandPool);
        VkCommandBufferAllocateInfo alloc{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
        alloc.commandPool = commandPool;
        alloc.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
        alloc.commandBufferCount = 1;
        vkAllocateCommandBuffers(device->device, &alloc, &context.commandBuffer);
        context.device = device;
        color = new Image2D(device, 64, 64, VK_FORMAT_R32G32B32A32_SFLOAT, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT,
                            VK_IMAGE_ASPECT_COLOR_BIT, 1);
        depth = new Image2D(device, 64, 64, Helper::findDepthFormat(device->physicalDevice),
                            VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT, VK_IMAGE_ASPECT_DEPTH_BIT, 1);
        // Meshes, textures and the particle buffers' first clear.
        submit([&] { uploadPass(&context); });
    }
    ~CraftRig() {
        vkDeviceWaitIdle(device->device);
        particles.reset();
        visual.reset();
        vkDestroyCommandPool(device->device, commandPool, nullptr);
        delete engine;
        instance.destroy();
    }
    static CraftRig& get() {
        static CraftRig rig;
        return rig;
    }

    void begin() {
        vkResetCommandBuffer(context.commandBuffer, 0);
        VkCommandBufferBeginInfo info{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
        info.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
        vkBeginCommandBuffer(context.commandBuffer, &info);
        context.clearBindings();
    }
    void end() { vkEndCommandBuffer(context.commandBuffer); }
    template <class F> void submit(F&& record) {
        begin();
        record();
        end();
        VkSubmitInfo info{VK_STRUCTURE_TYPE_SUBMIT_INFO};
        info.commandBufferCount = 1;
        info.pCommandBuffers = &context.commandBuffer;
        vkQueueSubmit(device->queue, 1, &info, VK_NULL_HANDLE);
        vkQueueWaitIdle(device->queue);
    }

    // The frame's blocks other than the craft's own.
    void beginFrame() {
        uniforms->beginSlot();
        CameraBlock block{};
        Mat4f vp = perspective(60.0f, 16.0f / 9.0f, 0.1f, 200000.0f) *
                   lookAt({0.0f, 0.3f, 1.5f}, {0, 0, 0}, viewUpFor({0.0f, -0.3f, -1.5f}));
        std::memcpy(block.viewProjection, vp.m, 64);
        block.eye[1] = 0.3f;
        block.eye[2] = 1.5f;
        camera->write(&block);
        layers->write(&layerBlock);
        ObjectBlock object = makeObjectBlock(Mat4d::scale({0.1, 0.1, 0.1}));
        matrix->write(&object);
        AstroObjectBlock position{{0, 0, 0}, 1.0f};
        body->write(&position);
    }

    CraftFrameInput craftFrame(bool burning) {
        CraftFrameInput f;
        f.world = Mat4d::scale({0.1, 0.1, 0.1});
        f.velocity = {0.0, 3e-4, 0.0};
        if (burning)
            f.thrustAcceleration = {0.0, 0.0, -1e-8};
        f.rcsActive = true;
        f.burnBlend = 0.7f;
        f.smoothedBurnAttitude = {0.0, 0.05, 0.0, 0.99875};
        f.timeFactor = 20000.0;
        f.frameMilliseconds = 16.0;
        f.starLight = &star;
        f.starPosition = {-2500.0, 0.0, 0.0};
        f.starRadius = 100.0;
        f.bodies = &bodies;
        f.hasAttractor = true;
        f.attractorPosition = {20.0, 0.0, 0.0};
        f.attractorMu = 2.36e-6;
        return f;
    }
};

// Settings upload, ten emission requests and the six passes of one frame.
void BM_ParticleComputeRecording(benchmark::State& state) {
    CraftRig& rig = CraftRig::get();
    for (auto _ : state) {
        rig.beginFrame();
        rig.begin();
        auto t0 = std::chrono::steady_clock::now();
        rig.particles->update(16.0f, 20000.0);
        for (uint32_t e = 0; e < 10; ++e)
            rig.particles->queueEmission({e, 100, e + 1, 0});
        rig.particles->writeSettings();
        rig.particles->recordCompute(&rig.context, rig.cameraSet, uint32_t(rig.layerBlock.layerCount));
        auto t1 = std::chrono::steady_clock::now();
        rig.end();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
}
BENCHMARK(BM_ParticleComputeRecording)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The craft's frame uniforms (shadow test over 24 bodies, thrusters, emitters, lights) and its draw.
void BM_SpacecraftUniformsAndDraw(benchmark::State& state) {
    CraftRig& rig = CraftRig::get();
    CraftFrameInput frame = rig.craftFrame(true);
    uint32_t seed = 0;
    auto nextSeed = [&] { return ++seed; };
    for (auto _ : state) {
        rig.beginFrame();
        rig.begin();
        VkRenderingAttachmentInfo colorAttachment{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
        colorAttachment.imageView = rig.color->imageView.view;
        colorAttachment.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
        VkRenderingAttachmentInfo depthAttachment{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
        depthAttachment.imageView = rig.depth->imageView.view;
        depthAttachment.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
        VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
        rendering.renderArea = {{0, 0}, {64, 64}};
        rendering.layerCount = 1;
        rendering.colorAttachmentCount = 1;
        rendering.pColorAttachments = &colorAttachment;
        rendering.pDepthAttachment = &depthAttachment;
        vkCmdBeginRendering(rig.context.commandBuffer, &rendering);
        auto t0 = std::chrono::steady_clock::now();
        rig.visual->updateUniforms(frame, rig.particles.get(), nextSeed);
        rig.visual->record(&rig.context, rig.cameraSet, 1920, 1080);
        auto t1 = std::chrono::steady_clock::now();
        vkCmdEndRendering(rig.context.commandBuffer);
        rig.end();
        rig.particles->pending.clear();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
}
BENCHMARK(BM_SpacecraftUniformsAndDraw)->UseManualTime()->Unit(benchmark::kMicrosecond);

// GPU time of one frame's particle compute sequence with 100,000 live particles (timestamps).
void BM_ParticleSequenceGpu100k(benchmark::State& state) {
    CraftRig& rig = CraftRig::get();
    ParticleSystem& particles = *rig.particles;
    // 100,000 long-lived particles spread along both main engines' exhaust.
    particles.clear();
    uint32_t seed = 0;
    rig.visual->updateUniforms(rig.craftFrame(true), &particles, [&] { return ++seed; });
    particles.pending.clear();
    particles.settings.timeStep = 0.005f;
    particles.queueEmission({0, 50000, 1, 0});
    particles.queueEmission({1, 50000, 2, 0});
    for (uint32_t e = 0; e < 2; ++e)
        particles.settings.emitters[e].f[EmitterLifetime] = 1e6f;
    rig.beginFrame();
    particles.writeSettings();
    rig.submit([&] { particles.recordCompute(&rig.context, rig.cameraSet, uint32_t(rig.layerBlock.layerCount)); });

    VkQueryPoolCreateInfo queryInfo{VK_STRUCTURE_TYPE_QUERY_POOL_CREATE_INFO};
    queryInfo.queryType = VK_QUERY_TYPE_TIMESTAMP;
    queryInfo.queryCount = 8;
    VkQueryPool queries = VK_NULL_HANDLE;
    vkCreateQueryPool(rig.device->device, &queryInfo, nullptr, &queries);
    const double period = rig.device->properties.limits.timestampPeriod; // ns per tick
    double passMs[7] = {};
    int frames = 0;
    for (auto _ : state) {
        rig.beginFrame();
        particles.writeSettings();
        rig.submit([&] {
            vkCmdResetQueryPool(rig.context.commandBuffer, queries, 0, 8);
            particles.passTimestamps = queries;
            particles.recordCompute(&rig.context, rig.cameraSet, uint32_t(rig.layerBlock.layerCount));
            vkCmdWriteTimestamp(rig.context.commandBuffer, VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT, queries, 7);
        });
        particles.passTimestamps = VK_NULL_HANDLE;
        uint64_t all[8];
        vkGetQueryPoolResults(rig.device->device, queries, 0, 8, sizeof all, all, sizeof(uint64_t),
                              VK_QUERY_RESULT_64_BIT | VK_QUERY_RESULT_WAIT_BIT);
        for (int k = 0; k < 7; ++k)
            passMs[k] += double(all[k + 1] - all[k]) * period * 1e-6;
        ++frames;
        state.SetIterationTime(double(all[7] - all[0]) * period * 1e-9);
    }
    std::vector<uint8_t> info(32);
    {
        // Live count at the end, as a check that the benchmark measured what it says.
        auto [staging, memory] =
            Helper::createBuffer(rig.device->physicalDevice, rig.device->device, 32, VK_BUFFER_USAGE_TRANSFER_DST_BIT,
                                 VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
        rig.submit([&] {
            VkBufferCopy region{0, 0, 32};
            vkCmdCopyBuffer(rig.context.commandBuffer, particles.infoBuffer->buffer, staging, 1, &region);
        });
        void* mapped = nullptr;
        vkMapMemory(rig.device->device, memory, 0, 32, 0, &mapped);
        std::memcpy(info.data(), mapped, 32);
        vkUnmapMemory(rig.device->device, memory);
        vkDestroyBuffer(rig.device->device, staging, nullptr);
        vkFreeMemory(rig.device->device, memory, nullptr);
    }
    int32_t alive = 0;
    std::memcpy(&alive, info.data() + 4 * InfoAlive, 4);
    state.counters["live"] = double(alive);
    // Mean milliseconds of each pass: emission, info, simulation, regions, sort, draw commands, final barriers.
    const char* names[7] = {"emitMs", "infoMs", "simulateMs", "regionsMs", "sortMs", "commandsMs", "barriersMs"};
    for (int k = 0; k < 7; ++k)
        state.counters[names[k]] = frames ? passMs[k] / frames : 0.0;
    vkDestroyQueryPool(rig.device->device, queries, nullptr);
}
BENCHMARK(BM_ParticleSequenceGpu100k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
