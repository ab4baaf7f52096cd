#include "Engine/Pipelines/PipelineGraphics.h"

#include "Engine/Commands/CommandContext.h"
#include "Engine/Descriptors/LayoutNotation.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"

#include <array>
#include <stdexcept>
#include <string>

VkPipelineLayout createPipelineLayout(GraphicsDevice* device, const std::string& notation,
                                      const std::vector<VkPushConstantRange>& pushConstantRanges,
                                      std::vector<VkDescriptorSetLayout>& setLayouts) {
    std::vector<std::vector<VkDescriptorSetLayoutBinding>> sets = parseLayoutNotation(notation);
    destroySetLayouts(device, setLayouts);
    setLayouts.assign(sets.size(), VK_NULL_HANDLE);
    for (size_t i = 0; i < sets.size(); ++i) {
        VkDescriptorSetLayoutCreateInfo info{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
        info.bindingCount = uint32_t(sets[i].size());
        info.pBindings = sets[i].data();
        if (vkCreateDescriptorSetLayout(device->device, &info, nullptr, &setLayouts[i]) != VK_SUCCESS) {
            destroySetLayouts(device, setLayouts);
            ENGINE_ERROR("failed to create descriptor set layout " + std::to_string(i) + " of \"" + notation + "\"");
        }
    }
    VkPipelineLayoutCreateInfo info{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
    info.setLayoutCount = uint32_t(setLayouts.size());
    info.pSetLayouts = setLayouts.data();
    info.pushConstantRangeCount = uint32_t(pushConstantRanges.size());
    info.pPushConstantRanges = pushConstantRanges.data();
    VkPipelineLayout layout = VK_NULL_HANDLE;
    if (vkCreatePipelineLayout(device->device, &info, nullptr, &layout) != VK_SUCCESS) {
        destroySetLayouts(device, setLayouts);
        ENGINE_ERROR("failed to create pipeline layout for \"" + notation + "\"");
    }
    return layout;
}

void destroySetLayouts(GraphicsDevice* device, std::vector<VkDescriptorSetLayout>& setLayouts) {
    for (VkDescriptorSetLayout l : setLayouts)
        if (l != VK_NULL_HANDLE)
            vkDestroyDescriptorSetLayout(device->device, l, nullptr);
    setLayouts.clear();
}

PipelineGraphics::PipelineGraphics(GraphicsDevice* d) : owner(d) {
    tier = TierPipeline;
    deferredRelease = 1;
    device = d;
    registerResource(d, this);
}

PipelineGraphics::~PipelineGraphics() {
    destroySetLayouts(owner, setLayouts);
    if (pipeline != VK_NULL_HANDLE)
        vkDestroyPipeline(owner->device, pipeline, nullptr);
    if (layout != VK_NULL_HANDLE)
        vkDestroyPipelineLayout(owner->device, layout, nullptr);
    for (VkShaderModule m : modules)
        if (m != VK_NULL_HANDLE)
            vkDestroyShaderModule(owner->device, m, nullptr);
}

void PipelineGraphics::loadShaders(const std::string& pipelineName) {
    loadShaders(pipelineName, "shaders");
}

void PipelineGraphics::loadShaders(const std::string& pipelineName, const std::filesystem::path& directory) {
    name = pipelineName;
    shaderDirectory = directory;
    const std::string what = "pipeline \"" + name + "\"";
    try {
        files = findGraphicsShaders(directory, pipelineName);
    } catch (const std::filesystem::filesystem_error& e) {
        ENGINE_ERROR(what + ": cannot read the shader directory " + directory.string() + " (" + e.code().message() +
                     ")");
    }
    vertexInputLocations.reset();
    for (uint32_t stage = 0; stage < GraphicsStageCount; ++stage) {
        if (modules[stage] != VK_NULL_HANDLE)
            vkDestroyShaderModule(owner->device, modules[stage], nullptr);
        modules[stage] = VK_NULL_HANDLE;
        entryPoints[stage].clear();
        moduleEntryPoints[stage].clear();
        if (files.entryPoints[stage].empty())
            continue;
        ShaderModule module;
        try {
            module = createShaderModule(owner->device, files.paths[stage].string(), stageBit(stage));
        } catch (const std::runtime_error& e) {
            ENGINE_ERROR(what + ": " + e.what());
        }
        modules[stage] = module.module;
        entryPoints[stage] = files.entryPoints[stage];
        moduleEntryPoints[stage] = module.moduleEntryPoint;
        if (stage == StageVertex)
            vertexInputLocations = module.inputLocations;
    }
}

void PipelineGraphics::setVertexLayout(const VertexLayout& layout_, bool interleaved) {
    declaredVertexLayout = layout_;
    interleavedVertices = interleaved;
    vertexLayout = layout_;
    VertexInputDescription input = vertexInputFor(layout_, interleaved);
    vertexBindings = std::move(input.bindings);
    vertexAttributes = std::move(input.attributes);
}

void PipelineGraphics::create(const AttachmentFormats& formats) {
    const std::string what = "pipeline \"" + name + "\"";
    bool tessellated = options.tessellationEnable != 0;
    // Every stage the pipeline cannot work without must have its file: a pipeline built without its fragment
    // shader would run and show nothing.
    std::array<bool, GraphicsStageCount> required =
        requiredGraphicsStages(!formats.color.empty(), formats.depth != VK_FORMAT_UNDEFINED, tessellated);
    std::string missing;
    for (uint32_t stage = 0; stage < GraphicsStageCount; ++stage)
        if (required[stage] && modules[stage] == VK_NULL_HANDLE)
            missing += std::string(missing.empty() ? "" : ", ") + stageName(stage) + " shader " +
                       expectedStageFile(shaderDirectory, name, stage, files);
    ENGINE_CHECK(missing.empty(), what + ": missing " + missing);
    ENGINE_CHECK(!tessellated || options.patchControlPoints > 0, what + ": tessellation needs patch control points");

    // The vertex input is what the vertex shader reads of the declared layout. Interleaved vertices keep every
    // attribute: their offsets depend on the attributes before them.
    if (vertexInputLocations) {
        for (uint32_t location : *vertexInputLocations) {
            bool provided = false;
            for (uint32_t i = 0; i < declaredVertexLayout.count; ++i)
                provided = provided || declaredVertexLayout.attributes[i].location == location;
            ENGINE_CHECK(provided, what + ": " + files.paths[StageVertex].string() + " reads vertex input location " +
                                       std::to_string(location) + ", which the vertex layout does not provide");
        }
        if (!interleavedVertices) {
            vertexLayout = consumedVertexLayout(declaredVertexLayout, *vertexInputLocations);
            VertexInputDescription input = vertexInputFor(vertexLayout, false);
            vertexBindings = std::move(input.bindings);
            vertexAttributes = std::move(input.attributes);
        }
    }

    VkSpecializationInfo specialization{};
    specialization.mapEntryCount = uint32_t(specializationEntries.size());
    specialization.pMapEntries = specializationEntries.data();
    specialization.dataSize = specializationData.size();
    specialization.pData = specializationData.data();
    std::vector<VkPipelineShaderStageCreateInfo> stages;
    std::string stageFiles; // for messages
    for (uint32_t stage = 0; stage < GraphicsStageCount; ++stage) {
        if (modules[stage] == VK_NULL_HANDLE)
            continue;
        if (!tessellated && (stage == StageTessControl || stage == StageTessEvaluation))
            continue;
        VkPipelineShaderStageCreateInfo info{VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO};
        info.stage = stageBit(stage);
        info.module = modules[stage];
        info.pName = moduleEntryPoints[stage].c_str();
        if (!specializationEntries.empty())
            info.pSpecializationInfo = &specialization;
        stages.push_back(info);
        stageFiles += (stageFiles.empty() ? "" : ", ") + files.paths[stage].string();
    }

    VkPipelineVertexInputStateCreateInfo vertexInput{VK_STRUCTURE_TYPE_PIPELINE_VERTEX_INPUT_STATE_CREATE_INFO};
    vertexInput.vertexBindingDescriptionCount = uint32_t(vertexBindings.size());
    vertexInput.pVertexBindingDescriptions = vertexBindings.data();
    vertexInput.vertexAttributeDescriptionCount = uint32_t(vertexAttributes.size());
    vertexInput.pVertexAttributeDescriptions = vertexAttributes.data();

    FixedFunctionState state;
    buildFixedFunctionState(options, uint32_t(formats.color.size()), state);

    if (layout != VK_NULL_HANDLE)
        vkDestroyPipelineLayout(owner->device, layout, nullptr);
    layout = createPipelineLayout(owner, layoutNotation, pushConstantRanges, setLayouts);

    VkPipelineRenderingCreateInfo rendering{VK_STRUCTURE_TYPE_PIPELINE_RENDERING_CREATE_INFO};
    rendering.viewMask = 0;
    rendering.colorAttachmentCount = uint32_t(formats.color.size());
    rendering.pColorAttachmentFormats = formats.color.data();
    rendering.depthAttachmentFormat = formats.depth;
    rendering.stencilAttachmentFormat = VK_FORMAT_UNDEFINED;

    VkGraphicsPipelineCreateInfo info{VK_STRUCTURE_TYPE_GRAPHICS_PIPELINE_CREATE_INFO};
    info.pNext = &rendering;
    info.stageCount = uint32_t(stages.size());
    info.pStages = stages.data();
    info.pVertexInputState = &vertexInput;
    info.pInputAssemblyState = &state.inputAssembly;
    info.pTessellationState = tessellated ? &state.tessellation : nullptr;
    info.pViewportState = &state.viewport;
    info.pRasterizationState = &state.rasterization;
    info.pMultisampleState = &state.multisample;
    info.pDepthStencilState = &state.depthStencil;
    info.pColorBlendState = &state.colorBlend;
    info.pDynamicState = &state.dynamic;
    info.layout = layout;
    info.renderPass = VK_NULL_HANDLE;
    info.subpass = 0;

    if (pipeline != VK_NULL_HANDLE)
        vkDestroyPipeline(owner->device, pipeline, nullptr);
    pipeline = VK_NULL_HANDLE;
    VkResult result = vkCreateGraphicsPipelines(owner->device, VK_NULL_HANDLE, 1, &info, nullptr, &pipeline);
    destroySetLayouts(owner, setLayouts);
    if (result != VK_SUCCESS)
        ENGINE_ERROR(what + ": vkCreateGraphicsPipelines failed (VkResult " + std::to_string(int(result)) + ") with " +
                     stageFiles);
}

void PipelineGraphics::bind(CommandContext* context) {
    if (context->boundGraphicsPipeline == this)
        return;
    vkCmdBindPipeline(context->commandBuffer, VK_PIPELINE_BIND_POINT_GRAPHICS, pipeline);
    context->boundGraphicsPipeline = this;
    // Vertex bindings follow the pipeline's attribute order: the same mesh must be bound again for it.
    context->boundMesh = nullptr;
}

void PipelineGraphics::bindDataSets(CommandContext* context) {
    context->flushPendingSets(VK_PIPELINE_BIND_POINT_GRAPHICS, layout);
}
