#pragma once
#include "Engine/Buffers/VertexLayout.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

// CPU-side vertices for one upload, one stream per attribute (structure of arrays): stream i starts after
// the streams before it, element v of stream i lies at start(i) + v * size(i).
class VertexData {
public:
    // Throws when vertexCount * stride does not fit 32 bits.
    VertexData(const VertexLayout& layout, uint32_t vertexCount);

    uint8_t* element(uint32_t attribute, uint32_t vertex) {
        return bytes.data() + streamStart[attribute] + size_t(vertex) * layout.attributes[attribute].size;
    }
    const uint8_t* stream(uint32_t attribute) const { return bytes.data() + streamStart[attribute]; }

    // Copies one element; the value's size must equal the attribute's size.
    template <class T> void set(uint32_t attribute, uint32_t vertex, const T& value) {
        if (attribute >= layout.count || vertex >= vertexCount || sizeof(T) != layout.attributes[attribute].size)
            throw std::out_of_range("VertexData::set: attribute, vertex or element size out of range");
        std::memcpy(element(attribute, vertex), &value, sizeof(T));
    }

    VertexLayout layout;
    uint32_t vertexCount = 0;
    uint32_t streamStart[VertexLayout::MaxAttributes] = {};
    std::vector<uint8_t> bytes;
};
