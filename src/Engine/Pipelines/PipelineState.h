#pragma once
// Fixed-function state of the graphics pipelines, derived from a few options. Plain functions over plain
// structs so the rules are testable without a device.
#include "Engine/Buffers/VertexLayout.h"

#include <vulkan/vulkan.h>

#include <cstdint>
#include <vector>

enum BlendMode : uint32_t {
    BlendAlpha = 0,    // src alpha over destination
    BlendAdditive = 1, // colours add up, destination alpha kept
    BlendNone = 2,
    BlendOver = 3, // src alpha over the destination colour, destination alpha kept
};

struct PipelineOptions {
    // Every pipeline of the program sets scissor and viewport with count per draw.
    std::vector<VkDynamicState> dynamicStates;
    uint32_t cullMode = VK_CULL_MODE_BACK_BIT;
    uint32_t topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
    uint32_t polygonMode = VK_POLYGON_MODE_FILL;
    uint8_t depthBiasEnable = 0;
    float depthBiasConstantFactor = 0.0f;
    float depthBiasClamp = 0.0f; // not passed on: the clamp is always 0
    float depthBiasSlopeFactor = 0.0f;
    uint8_t depthTestEnable = 1;
    uint8_t depthWriteEnable = 1;
    uint8_t tessellationEnable = 0;
    uint8_t primitiveRestartEnable = 0;
    float lineWidth = 1.0f;
    uint32_t patchControlPoints = 0;
    uint32_t blendMode = BlendNone;
};

// The dynamic states of every pipeline of the program: scissor then viewport, both with count.
std::vector<VkDynamicState> standardDynamicStates();

// Patch list whenever tessellation is on, whatever the options' topology.
VkPrimitiveTopology effectiveTopology(const PipelineOptions& options);
VkPipelineColorBlendAttachmentState blendAttachmentState(uint32_t blendMode);

// Vertex input: interleaved = one binding with the layout's stride; otherwise one binding per attribute
// (binding i = attribute i, stride = its size), which lets a mesh feed each attribute from its own stream.
struct VertexInputDescription {
    std::vector<VkVertexInputBindingDescription> bindings;
    std::vector<VkVertexInputAttributeDescription> attributes;
};
VertexInputDescription vertexInputFor(const VertexLayout& layout, bool interleaved);

// The attributes of `layout` at the locations a vertex shader reads, in layout order (strides follow). Feeding an
// attribute the shader never reads costs a fetch per vertex for nothing.
VertexLayout consumedVertexLayout(const VertexLayout& layout, const std::vector<uint32_t>& locations);

// Everything fixed-function a graphics pipeline create info points to. The create info's pointers refer into
// this struct, so it must outlive the vkCreateGraphicsPipelines call.
struct FixedFunctionState {
    VkPipelineInputAssemblyStateCreateInfo inputAssembly{VK_STRUCTURE_TYPE_PIPELINE_INPUT_ASSEMBLY_STATE_CREATE_INFO};
    VkPipelineTessellationStateCreateInfo tessellation{VK_STRUCTURE_TYPE_PIPELINE_TESSELLATION_STATE_CREATE_INFO};
    VkPipelineViewportStateCreateInfo viewport{VK_STRUCTURE_TYPE_PIPELINE_VIEWPORT_STATE_CREATE_INFO};
    VkPipelineRasterizationStateCreateInfo rasterization{VK_STRUCTURE_TYPE_PIPELINE_RASTERIZATION_STATE_CREATE_INFO};
    VkPipelineMultisampleStateCreateInfo multisample{VK_STRUCTURE_TYPE_PIPELINE_MULTISAMPLE_STATE_CREATE_INFO};
    VkPipelineDepthStencilStateCreateInfo depthStencil{VK_STRUCTURE_TYPE_PIPELINE_DEPTH_STENCIL_STATE_CREATE_INFO};
    std::vector<VkPipelineColorBlendAttachmentState> blendAttachments;
    VkPipelineColorBlendStateCreateInfo colorBlend{VK_STRUCTURE_TYPE_PIPELINE_COLOR_BLEND_STATE_CREATE_INFO};
    VkPipelineDynamicStateCreateInfo dynamic{VK_STRUCTURE_TYPE_PIPELINE_DYNAMIC_STATE_CREATE_INFO};
    std::vector<VkDynamicState> dynamicStates;

    FixedFunctionState() = default;
    FixedFunctionState(const FixedFunctionState&) = delete; // internal pointers
    FixedFunctionState& operator=(const FixedFunctionState&) = delete;
};
// Fills `state` for the options and one identical blend attachment per colour format.
void buildFixedFunctionState(const PipelineOptions& options, uint32_t colorAttachmentCount, FixedFunctionState& state);
