#include "Engine/Pipelines/PipelineState.h"

#include <algorithm>

std::vector<VkDynamicState> standardDynamicStates() {
    return {VK_DYNAMIC_STATE_SCISSOR_WITH_COUNT, VK_DYNAMIC_STATE_VIEWPORT_WITH_COUNT};
}

VkPrimitiveTopology effectiveTopology(const PipelineOptions& options) {
    return options.tessellationEnable ? VK_PRIMITIVE_TOPOLOGY_PATCH_LIST : VkPrimitiveTopology(options.topology);
}

VkPipelineColorBlendAttachmentState blendAttachmentState(uint32_t blendMode) {
    VkPipelineColorBlendAttachmentState s{};
    s.colorWriteMask =
        VK_COLOR_COMPONENT_R_BIT | VK_COLOR_COMPONENT_G_BIT | VK_COLOR_COMPONENT_B_BIT | VK_COLOR_COMPONENT_A_BIT;
    if (blendMode == BlendAlpha) {
        s.blendEnable = VK_TRUE;
        s.srcColorBlendFactor = VK_BLEND_FACTOR_SRC_ALPHA;
        s.dstColorBlendFactor = VK_BLEND_FACTOR_ONE_MINUS_SRC_ALPHA;
        s.colorBlendOp = VK_BLEND_OP_ADD;
        s.srcAlphaBlendFactor = VK_BLEND_FACTOR_ONE_MINUS_SRC_ALPHA;
        s.dstAlphaBlendFactor = VK_BLEND_FACTOR_ONE;
        s.alphaBlendOp = VK_BLEND_OP_ADD;
    } else if (blendMode == BlendOver) {
        s.blendEnable = VK_TRUE;
        s.srcColorBlendFactor = VK_BLEND_FACTOR_SRC_ALPHA;
        s.dstColorBlendFactor = VK_BLEND_FACTOR_ONE_MINUS_SRC_ALPHA;
        s.colorBlendOp = VK_BLEND_OP_ADD;
        s.srcAlphaBlendFactor = VK_BLEND_FACTOR_ZERO;
        s.dstAlphaBlendFactor = VK_BLEND_FACTOR_ONE;
        s.alphaBlendOp = VK_BLEND_OP_ADD;
    } else if (blendMode == BlendAdditive) {
        s.blendEnable = VK_TRUE;
        s.srcColorBlendFactor = VK_BLEND_FACTOR_ONE;
        s.dstColorBlendFactor = VK_BLEND_FACTOR_ONE;
        s.colorBlendOp = VK_BLEND_OP_ADD;
        s.srcAlphaBlendFactor = VK_BLEND_FACTOR_ZERO;
        s.dstAlphaBlendFactor = VK_BLEND_FACTOR_ONE;
        s.alphaBlendOp = VK_BLEND_OP_ADD;
    } else {
        s.blendEnable = VK_FALSE;
    }
    return s;
}

VertexInputDescription vertexInputFor(const VertexLayout& layout, bool interleaved) {
    VertexInputDescription d;
    if (interleaved && layout.count > 0)
        d.bindings.push_back({0, layout.stride, VK_VERTEX_INPUT_RATE_VERTEX});
    for (uint32_t i = 0; i < layout.count; ++i) {
        const VertexAttribute& a = layout.attributes[i];
        if (interleaved) {
            d.attributes.push_back({a.location, 0, a.format, layout.interleavedOffset(i)});
        } else {
            d.bindings.push_back({i, a.size, VK_VERTEX_INPUT_RATE_VERTEX});
            d.attributes.push_back({a.location, i, a.format, 0});
        }
    }
    return d;
}

VertexLayout consumedVertexLayout(const VertexLayout& layout, const std::vector<uint32_t>& locations) {
    VertexLayout consumed;
    for (uint32_t i = 0; i < layout.count; ++i) {
        const VertexAttribute& a = layout.attributes[i];
        if (std::find(locations.begin(), locations.end(), a.location) == locations.end())
            continue;
        consumed.attributes[consumed.count++] = a;
        consumed.stride += a.size;
    }
    return consumed;
}

void buildFixedFunctionState(const PipelineOptions& o, uint32_t colorAttachmentCount, FixedFunctionState& s) {
    s.inputAssembly.topology = effectiveTopology(o);
    s.inputAssembly.primitiveRestartEnable = o.primitiveRestartEnable ? VK_TRUE : VK_FALSE;

    s.tessellation.patchControlPoints = o.patchControlPoints;

    // Viewport and scissor are dynamic with count.
    s.viewport.viewportCount = 0;
    s.viewport.scissorCount = 0;

    s.rasterization.depthClampEnable = VK_FALSE;
    s.rasterization.rasterizerDiscardEnable = VK_FALSE;
    s.rasterization.polygonMode = VkPolygonMode(o.polygonMode);
    s.rasterization.cullMode = o.cullMode;
    s.rasterization.frontFace = VK_FRONT_FACE_CLOCKWISE;
    s.rasterization.depthBiasEnable = o.depthBiasEnable ? VK_TRUE : VK_FALSE;
    s.rasterization.depthBiasConstantFactor = o.depthBiasConstantFactor;
    s.rasterization.depthBiasClamp = 0.0f;
    s.rasterization.depthBiasSlopeFactor = o.depthBiasSlopeFactor;
    s.rasterization.lineWidth = o.lineWidth;

    s.multisample.rasterizationSamples = VK_SAMPLE_COUNT_1_BIT;
    s.multisample.sampleShadingEnable = VK_FALSE;
    s.multisample.minSampleShading = 1.0f;

    s.depthStencil.depthTestEnable = o.depthTestEnable ? VK_TRUE : VK_FALSE;
    s.depthStencil.depthWriteEnable = o.depthWriteEnable ? VK_TRUE : VK_FALSE;
    s.depthStencil.depthCompareOp = VK_COMPARE_OP_LESS_OR_EQUAL;
    s.depthStencil.depthBoundsTestEnable = VK_FALSE;
    s.depthStencil.stencilTestEnable = VK_FALSE;
    s.depthStencil.minDepthBounds = 0.0f;
    s.depthStencil.maxDepthBounds = 1.0f;

    s.blendAttachments.assign(colorAttachmentCount, blendAttachmentState(o.blendMode));
    s.colorBlend.logicOpEnable = VK_FALSE;
    s.colorBlend.attachmentCount = colorAttachmentCount;
    s.colorBlend.pAttachments = s.blendAttachments.data();

    s.dynamicStates = o.dynamicStates;
    s.dynamic.dynamicStateCount = uint32_t(s.dynamicStates.size());
    s.dynamic.pDynamicStates = s.dynamicStates.data();
}
