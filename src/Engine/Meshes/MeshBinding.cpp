#include "Engine/Meshes/MeshBinding.h"

#include "Engine/Meshes/VertexBuffer.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"

#include <stdexcept>
#include <string>

uint32_t vertexBindingOffsets(const VertexLayout& pipelineLayout, const VertexBuffer& vertices,
                              VkDeviceSize offsets[VertexLayout::MaxAttributes]) {
    for (uint32_t i = 0; i < pipelineLayout.count; ++i) {
        uint32_t semantic = pipelineLayout.attributes[i].semantic;
        int k = vertices.layout.find(semantic);
        if (k < 0 || vertices.streams[k].offset == VertexStream::NotUploaded)
            throw std::runtime_error("mesh has no uploaded stream of vertex semantic " + std::to_string(semantic) +
                                     " that the pipeline reads at location " +
                                     std::to_string(pipelineLayout.attributes[i].location));
        offsets[i] = vertices.streams[k].offset;
    }
    return pipelineLayout.count;
}

void bindMeshBuffers(CommandContext* context, const VertexLayout& pipelineLayout, const VertexBuffer& vertices,
                     const IndexBuffer* indices) {
    VkDeviceSize offsets[VertexLayout::MaxAttributes];
    uint32_t count = vertexBindingOffsets(pipelineLayout, vertices, offsets);
    if (count) {
        VkBuffer buffers[VertexLayout::MaxAttributes];
        for (uint32_t i = 0; i < count; ++i)
            buffers[i] = vertices.storage->buffer;
        vkCmdBindVertexBuffers(context->commandBuffer, 0, count, buffers, offsets);
    }
    if (indices)
        vkCmdBindIndexBuffer(context->commandBuffer, indices->storage->buffer, indices->offset, VK_INDEX_TYPE_UINT32);
}

void drawMeshBuffers(CommandContext* context, const VertexBuffer& vertices, const IndexBuffer* indices) {
    if (indices)
        vkCmdDrawIndexed(context->commandBuffer, indices->indexCount, 1, 0, 0, 0);
    else
        vkCmdDraw(context->commandBuffer, vertices.vertexCount, 1, 0, 0);
    ++context->device->drawCount;
}
