#pragma once
// Binding a mesh's buffers for a draw. The pipeline reads attribute i of its own layout at binding i; each binding
// is fed from the mesh's stream with the same meaning, so one mesh serves pipelines that read different subsets
// of its attributes. A Mesh binds its buffers when the context's bound mesh is not itself, records itself as the
// bound mesh, then draws. Binding another graphics pipeline clears the bound mesh, because the vertex bindings
// follow the pipeline's attribute order.
#include "Engine/Buffers/VertexLayout.h"

#include <vulkan/vulkan.h>

#include <cstdint>

class CommandContext;
class VertexBuffer;
class IndexBuffer;

// Storage offsets for the pipeline's bindings: offsets[i] feeds the pipeline's attribute i. Returns the binding
// count. Throws when the vertex buffer has no uploaded stream for an attribute the pipeline reads.
uint32_t vertexBindingOffsets(const VertexLayout& pipelineLayout, const VertexBuffer& vertices,
                              VkDeviceSize offsets[VertexLayout::MaxAttributes]);

// vkCmdBindVertexBuffers from binding 0 with one entry per pipeline attribute, then the index buffer if any.
void bindMeshBuffers(CommandContext* context, const VertexLayout& pipelineLayout, const VertexBuffer& vertices,
                     const IndexBuffer* indices);

// One indexed draw of every index, or one draw of every vertex without an index buffer; counts the draw.
void drawMeshBuffers(CommandContext* context, const VertexBuffer& vertices, const IndexBuffer* indices);
