#include "Engine/Pipelines/PipelineState.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(PipelineState, BlendModes) {
    VkPipelineColorBlendAttachmentState alpha = blendAttachmentState(BlendAlpha);
    EXPECT_TRUE(alpha.blendEnable);
    EXPECT_EQ(alpha.srcColorBlendFactor, VK_BLEND_FACTOR_SRC_ALPHA);
    EXPECT_EQ(alpha.dstColorBlendFactor, VK_BLEND_FACTOR_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(alpha.srcAlphaBlendFactor, VK_BLEND_FACTOR_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(alpha.dstAlphaBlendFactor, VK_BLEND_FACTOR_ONE);
    EXPECT_EQ(alpha.colorWriteMask, 0xFu);

    VkPipelineColorBlendAttachmentState add = blendAttachmentState(BlendAdditive);
    EXPECT_TRUE(add.blendEnable);
    EXPECT_EQ(add.srcColorBlendFactor, VK_BLEND_FACTOR_ONE);
    EXPECT_EQ(add.dstColorBlendFactor, VK_BLEND_FACTOR_ONE);
    EXPECT_EQ(add.srcAlphaBlendFactor, VK_BLEND_FACTOR_ZERO);
    EXPECT_EQ(add.dstAlphaBlendFactor, VK_BLEND_FACTOR_ONE);

    EXPECT_FALSE(blendAttachmentState(BlendNone).blendEnable);
    EXPECT_FALSE(blendAttachmentState(7).blendEnable);
    EXPECT_EQ(blendAttachmentState(BlendNone).colorWriteMask, 0xFu);
}

TEST(PipelineState, TwoColourFormatsGetTwoIdenticalBlendStates) {
    PipelineOptions o;
    o.blendMode = BlendAlpha;
    FixedFunctionState s;
    buildFixedFunctionState(o, 2, s);
    ASSERT_EQ(s.colorBlend.attachmentCount, 2u);
    EXPECT_EQ(s.colorBlend.pAttachments, s.blendAttachments.data());
    EXPECT_EQ(std::memcmp(&s.blendAttachments[0], &s.blendAttachments[1], sizeof(VkPipelineColorBlendAttachmentState)),
              0);
    EXPECT_TRUE(s.blendAttachments[1].blendEnable);

    FixedFunctionState none;
    buildFixedFunctionState(o, 0, none); // atmosphere pipelines render without attachments
    EXPECT_EQ(none.colorBlend.attachmentCount, 0u);
}

TEST(PipelineState, TessellationForcesPatchLists) {
    PipelineOptions o;
    o.topology = VK_PRIMITIVE_TOPOLOGY_LINE_STRIP;
    EXPECT_EQ(effectiveTopology(o), VK_PRIMITIVE_TOPOLOGY_LINE_STRIP);
    o.tessellationEnable = 1;
    o.patchControlPoints = 3;
    EXPECT_EQ(effectiveTopology(o), VK_PRIMITIVE_TOPOLOGY_PATCH_LIST);
    FixedFunctionState s;
    buildFixedFunctionState(o, 1, s);
    EXPECT_EQ(s.inputAssembly.topology, VK_PRIMITIVE_TOPOLOGY_PATCH_LIST);
    EXPECT_EQ(s.tessellation.patchControlPoints, 3u);
}

TEST(PipelineState, OptionsReachRasterizationAndDepth) {
    PipelineOptions o;
    o.dynamicStates = standardDynamicStates();
    o.cullMode = VK_CULL_MODE_FRONT_BIT;
    o.polygonMode = VK_POLYGON_MODE_LINE;
    o.depthWriteEnable = 0;
    o.depthBiasEnable = 1;
    o.depthBiasConstantFactor = 1.5f;
    o.depthBiasClamp = 9.0f;
    o.depthBiasSlopeFactor = 2.5f;
    FixedFunctionState s;
    buildFixedFunctionState(o, 1, s);
    EXPECT_EQ(s.rasterization.cullMode, uint32_t(VK_CULL_MODE_FRONT_BIT));
    EXPECT_EQ(s.rasterization.polygonMode, VK_POLYGON_MODE_LINE);
    EXPECT_EQ(s.rasterization.frontFace, VK_FRONT_FACE_CLOCKWISE);
    EXPECT_EQ(s.rasterization.depthBiasConstantFactor, 1.5f);
    EXPECT_EQ(s.rasterization.depthBiasClamp, 0.0f);
    EXPECT_EQ(s.rasterization.depthBiasSlopeFactor, 2.5f);
    EXPECT_TRUE(s.depthStencil.depthTestEnable);
    EXPECT_FALSE(s.depthStencil.depthWriteEnable);
    EXPECT_EQ(s.depthStencil.depthCompareOp, VK_COMPARE_OP_LESS_OR_EQUAL);
    EXPECT_EQ(s.viewport.viewportCount, 0u);
    ASSERT_EQ(s.dynamic.dynamicStateCount, 2u);
    EXPECT_EQ(s.dynamic.pDynamicStates[0], VK_DYNAMIC_STATE_SCISSOR_WITH_COUNT);
    EXPECT_EQ(s.dynamic.pDynamicStates[1], VK_DYNAMIC_STATE_VIEWPORT_WITH_COUNT);
}

TEST(PipelineState, VertexInputPerAttributeOrInterleaved) {
    VertexInputDescription split = vertexInputFor(standardLayout, false);
    ASSERT_EQ(split.bindings.size(), 3u);
    ASSERT_EQ(split.attributes.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(split.bindings[i].binding, i);
        EXPECT_EQ(split.bindings[i].stride, standardLayout.attributes[i].size);
        EXPECT_EQ(split.attributes[i].binding, i);
        EXPECT_EQ(split.attributes[i].offset, 0u);
        EXPECT_EQ(split.attributes[i].location, i);
    }
    VertexInputDescription ui = vertexInputFor(uiLayout, true);
    ASSERT_EQ(ui.bindings.size(), 1u);
    EXPECT_EQ(ui.bindings[0].stride, 20u);
    ASSERT_EQ(ui.attributes.size(), 3u);
    EXPECT_EQ(ui.attributes[1].offset, 8u);
    EXPECT_EQ(ui.attributes[2].offset, 16u);
    EXPECT_EQ(ui.attributes[2].format, VK_FORMAT_R8G8B8A8_UNORM);
    EXPECT_TRUE(vertexInputFor(emptyLayout, false).bindings.empty());
    EXPECT_TRUE(vertexInputFor(emptyLayout, true).bindings.empty());
}
