#include "Engine/Buffers/VertexData.h"

#include <string>

VertexData::VertexData(const VertexLayout& layout_, uint32_t vertexCount_)
    : layout(layout_), vertexCount(vertexCount_) {
    uint64_t total = uint64_t(vertexCount) * layout.stride;
    if (total > 0xFFFFFFFFull)
        throw std::length_error("VertexData: " + std::to_string(vertexCount) + " vertices of " +
                                std::to_string(layout.stride) + " bytes do not fit 32-bit offsets");
    uint32_t start = 0;
    for (uint32_t i = 0; i < layout.count; ++i) {
        streamStart[i] = start;
        start += vertexCount * layout.attributes[i].size;
    }
    bytes.assign(total, 0);
}
