#include "Engine/Meshes/VertexBuffer.h"

#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"

#include <stdexcept>
#include <string>

VertexBuffer::VertexBuffer(GraphicsDevice* d, DataStorage* storage_, const VertexLayout& layout_)
    : owner(d), storage(storage_), layout(layout_) {
    if (storage == nullptr)
        throw std::invalid_argument("VertexBuffer: no storage");
    tier = TierMemory;
    device = d;
    if (d)
        registerResource(d, this);
}

void VertexBuffer::upload(const VertexData& data) {
    vertexCount = data.vertexCount;
    for (uint32_t i = 0; i < data.layout.count; ++i) {
        int k = layout.find(data.layout.attributes[i].semantic);
        if (k < 0)
            continue;
        if (layout.attributes[k].size != data.layout.attributes[i].size)
            throw std::runtime_error("VertexBuffer::upload: attribute " + std::to_string(i) + " is " +
                                     std::to_string(data.layout.attributes[i].size) + " bytes, the buffer's is " +
                                     std::to_string(layout.attributes[k].size));
        VertexStream& s = streams[k];
        s.vertexCount = data.vertexCount;
        s.size = data.vertexCount * layout.attributes[k].size;
        s.offset = storage->write(s.offset, data.stream(i), s.size, false);
    }
}

IndexBuffer::IndexBuffer(GraphicsDevice* d, DataStorage* storage_) : owner(d), storage(storage_) {
    if (storage == nullptr)
        throw std::invalid_argument("IndexBuffer: no storage");
    tier = TierMemory;
    device = d;
    if (d)
        registerResource(d, this);
}

void IndexBuffer::set(const uint32_t* indices, uint32_t count) {
    if (uint64_t(count) * 4 > 0xFFFFFFFFull)
        throw std::length_error("IndexBuffer: too many indices");
    indexCount = count;
    size = count * 4;
    offset = storage->write(offset, indices, size, false);
}
