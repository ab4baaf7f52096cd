#pragma once
#include "Engine/Buffers/VertexData.h"
#include "Engine/Buffers/VertexLayout.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <cstdint>
#include <vector>

class DataStorage;
class GraphicsDevice;

// One attribute's span in the storage.
struct VertexStream {
    static constexpr uint32_t NotUploaded = 0xFFFFFFFFu;
    uint32_t offset = NotUploaded; // bytes into the storage
    uint32_t vertexCount = 0;
    uint32_t size = 0; // bytes
};

// A mesh's vertices: one stream per attribute of its layout, each a span of a mesh storage.
// Holds no Vulkan object of its own, so it is deleted at once on release.
class VertexBuffer : public GraphicsResource {
public:
    // A null device gives an unregistered buffer (used where no device exists, such as CPU-side tests).
    VertexBuffer(GraphicsDevice* device, DataStorage* storage, const VertexLayout& layout);

    // Writes each attribute of the data into the stream of this buffer's layout with the same meaning;
    // attributes this layout lacks are left out. Every upload appends new spans to the storage.
    void upload(const VertexData& data);

    GraphicsDevice* owner = nullptr;
    DataStorage* storage = nullptr;
    VertexStream streams[VertexLayout::MaxAttributes];
    uint32_t vertexCount = 0;
    VertexLayout layout;
};

// 32-bit indices in a mesh storage.
class IndexBuffer : public GraphicsResource {
public:
    IndexBuffer(GraphicsDevice* device, DataStorage* storage);

    void set(const uint32_t* indices, uint32_t count);
    void set(const std::vector<uint32_t>& indices) { set(indices.data(), uint32_t(indices.size())); }

    GraphicsDevice* owner = nullptr;
    uint32_t indexCount = 0;
    uint32_t size = 0; // bytes, indexCount * 4
    DataStorage* storage = nullptr;
    uint32_t offset = VertexStream::NotUploaded;
};
