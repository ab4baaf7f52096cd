#include "Engine/Pipelines/PipelineCompute.h"

#include "Engine/Commands/CommandContext.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Pipelines/PipelineGraphics.h"
#include "Engine/Pipelines/ShaderFiles.h"

#include <stdexcept>
#include <string>

PipelineCompute::PipelineCompute(GraphicsDevice* d) : owner(d) {
    tier = TierPipeline;
    deferredRelease = 1;
    device = d;
    registerResource(d, this);
}

PipelineCompute::~PipelineCompute() {
    destroySetLayouts(owner, setLayouts);
    if (pipeline != VK_NULL_HANDLE)
        vkDestroyPipeline(owner->device, pipeline, nullptr);
    if (layout != VK_NULL_HANDLE)
        vkDestroyPipelineLayout(owner->device, layout, nullptr);
    if (module != VK_NULL_HANDLE)
        vkDestroyShaderModule(owner->device, module, nullptr);
}

void PipelineCompute::load(const std::string& pipelineName, const std::string& entryPoint_) {
    load(pipelineName, entryPoint_, "shaders");
}

void PipelineCompute::load(const std::string& pipelineName, const std::string& entryPoint_,
                           const std::filesystem::path& directory) {
    name = pipelineName;
    entryPoint = entryPoint_;
    file = (directory / (pipelineName + "_" + entryPoint_ + ".spv")).string();
    ShaderModule created;
    try {
        created = createShaderModule(owner->device, file, VK_SHADER_STAGE_COMPUTE_BIT);
    } catch (const std::runtime_error& e) {
        ENGINE_ERROR(description() + ": " + e.what());
    }
    if (module != VK_NULL_HANDLE)
        vkDestroyShaderModule(owner->device, module, nullptr);
    module = created.module;
    moduleEntryPoint = created.moduleEntryPoint;
}

std::string PipelineCompute::description() const {
    return "compute pipeline \"" + name + "\" (" + entryPoint + ")";
}

void PipelineCompute::create() {
    const std::string what = description();
    ENGINE_CHECK(module != VK_NULL_HANDLE, what + ": no shader module loaded" + (file.empty() ? "" : " from " + file));
    if (layout != VK_NULL_HANDLE)
        vkDestroyPipelineLayout(owner->device, layout, nullptr);
    layout = createPipelineLayout(owner, layoutNotation, pushConstantRanges, setLayouts);

    VkComputePipelineCreateInfo info{VK_STRUCTURE_TYPE_COMPUTE_PIPELINE_CREATE_INFO};
    info.stage = {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO};
    info.stage.stage = VK_SHADER_STAGE_COMPUTE_BIT;
    info.stage.module = module;
    info.stage.pName = moduleEntryPoint.c_str();
    VkSpecializationInfo specialization{};
    if (!specializationEntries.empty()) {
        specialization.mapEntryCount = uint32_t(specializationEntries.size());
        specialization.pMapEntries = specializationEntries.data();
        specialization.dataSize = specializationData.size();
        specialization.pData = specializationData.data();
        info.stage.pSpecializationInfo = &specialization;
    }
    info.flags = createFlags;
    info.layout = layout;
    if (pipeline != VK_NULL_HANDLE)
        vkDestroyPipeline(owner->device, pipeline, nullptr);
    pipeline = VK_NULL_HANDLE;
    VkResult result = vkCreateComputePipelines(owner->device, VK_NULL_HANDLE, 1, &info, nullptr, &pipeline);
    destroySetLayouts(owner, setLayouts);
    if (result != VK_SUCCESS)
        ENGINE_ERROR(what + ": vkCreateComputePipelines failed (VkResult " + std::to_string(int(result)) + ") with " +
                     file);
}

void PipelineCompute::bind(CommandContext* context) {
    if (context->boundComputePipeline == this)
        return;
    vkCmdBindPipeline(context->commandBuffer, VK_PIPELINE_BIND_POINT_COMPUTE, pipeline);
    context->boundComputePipeline = this;
}

void PipelineCompute::bindDataSets(CommandContext* context) {
    context->flushPendingSets(VK_PIPELINE_BIND_POINT_COMPUTE, layout);
}
