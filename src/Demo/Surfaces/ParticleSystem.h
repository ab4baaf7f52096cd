#pragma once
// GPU exhaust particles: emitted on request, moved under one attractor with the simulation's time step, sorted
// into the render manager's depth layers and drawn per layer with indirect draws, so the exhaust composites
// with the atmospheres. The CPU hands over emitter data, requests and the time step; particles never come back.
//
// Buffers (GPU only): particles (48 bytes each); per-layer counts and write cursors; sort buffer A holding the
// two alive lists (current and next) and the free-index stack; sort buffer B holding one 16-byte render record
// per live particle, grouped by layer; eight info words; the indirect commands. Dead particles go back on the
// free stack during the simulation, so the pool never leaks.
#include "Demo/Scene/SceneComponent.h"
#include "Demo/Surfaces/ParticleBlocks.h"

#include <vulkan/vulkan.h>

#include <cstdint>
#include <vector>

struct BufferBinding;
class CommandContext;
class DataSet;
class DataStorage;
class DescriptorPool;
class GraphicsDevice;
class IcoSphere;
class PipelineCompute;
class PipelineGraphics;
class StructuredBuffer;
struct StorageBinding;

namespace Demo {

struct FrameContext;

struct LayerBlock;

struct ParticleSystemCreateInfo {
    GraphicsDevice* device = nullptr;
    DescriptorPool* descriptorPool = nullptr;
    DataStorage* uniformStorage = nullptr; // the per-frame uniform storage
    DataStorage* meshStorage = nullptr;    // holds the particle mesh
    StorageBinding* layerBlock = nullptr;  // the render manager's 264-byte layer block
    const LayerBlock* layers = nullptr;    // its CPU copy, for the layer count of the frame
    StorageBinding* lights = nullptr;      // the owner's lights block
    StorageBinding* shadow = nullptr;      // the owner's shadow block
    uint32_t maxParticles = DefaultMaxParticles;
};

class ParticleSystem : public SceneComponent {
public:
    ParticleSystem(SceneObject* owner, const ParticleSystemCreateInfo& info);
    ~ParticleSystem() override;

    // Settings record, the six buffers, the particle mesh, both data sets and (once per device) the pipelines.
    void CreateUniform() override;
    // The frame's time step from the frame time and the owner's time factor.
    void Update(const FrameContext& frame) override;
    void UpdateUniforms(const FrameContext&) override { writeSettings(); }
    void RecordCompute(const FrameContext& frame, CommandContext* context) override;
    void RecordLayer(const FrameContext& frame, CommandContext* context, uint32_t layer) override;

    // Appends an emitter (its parameters; position, direction and velocity follow every frame) and returns its
    // index. The block holds 16: a seventeenth throws std::runtime_error.
    uint32_t addEmitter(const EmitterRecord& record);
    // This frame's world position, direction and inherited velocity (world units per particle time unit).
    void setEmitterFrame(uint32_t index, const float position[3], const float direction[3], const float velocity[3]);
    void setAttractor(const float position[3], float strength);
    // Queues a request for the next compute sequence. Requests for unknown emitters or of no particles are
    // dropped; counts are capped at the pool size.
    void queueEmission(const EmissionRequest& request);
    // The frame's time step from the real frame time and the time factor of the owner's system.
    void update(float frameMilliseconds, double timeFactor);
    // The time factor of the owner's astro system (1 without one).
    double ownerTimeFactor() const;
    void writeSettings();
    // Drops every particle and pending request: the next compute sequence starts from an empty pool.
    void clear();

    // The compute sequence: emission requests, then simulation, layer regions, sort and draw commands.
    void recordCompute(CommandContext* context, DataSet* cameraSet, uint32_t layerCount);
    // The indexed indirect draw of one layer's particles.
    void recordLayer(CommandContext* context, DataSet* cameraSet, uint32_t layer, uint32_t width, uint32_t height);

    ParticleSystemCreateInfo info;
    ParticleSettingsBlock settings;
    IcoSphere* mesh = nullptr;
    DataSet* computeSet = nullptr;
    DataSet* renderSet = nullptr;
    StorageBinding* settingsUniform = nullptr;
    StructuredBuffer* particleBuffer = nullptr;
    StructuredBuffer* counterBuffer = nullptr;
    StructuredBuffer* sortBufferA = nullptr;
    StructuredBuffer* sortBufferB = nullptr;
    StructuredBuffer* infoBuffer = nullptr;
    StructuredBuffer* indirectBuffer = nullptr;
    BufferBinding* bufferBindings[6] = {};
    std::vector<EmitterRecord> emitters;
    std::vector<EmissionRequest> pending;
    // Layers with draw commands from the last compute sequence (0 before the first one).
    uint32_t recordedLayers = 0;
    // Emit dispatches recorded by the last compute sequence.
    uint32_t lastEmitDispatches = 0;
    // Profiling: when set, the compute sequence writes timestamps 0 to 6 of this pool around its passes
    // (start, after emission, info, simulation, regions, sort, draw commands); the caller resets the queries.
    VkQueryPool passTimestamps = VK_NULL_HANDLE;

    // Shared by every particle system of a device (the device's shared resources): the six compute passes and the
    // render pipeline.
    struct Pipelines {
        PipelineCompute* emit = nullptr;
        PipelineCompute* infoSimulation = nullptr;
        PipelineCompute* simulate = nullptr;
        PipelineCompute* regions = nullptr;
        PipelineCompute* sort = nullptr;
        PipelineCompute* infoRender = nullptr;
        PipelineGraphics* render = nullptr;
    };
    Pipelines pipelines;

private:
    void createPipelines();
    void bindCompute(CommandContext* context, PipelineCompute* pipeline, DataSet* cameraSet);
    bool buffersCleared = false;
};

} // namespace Demo
