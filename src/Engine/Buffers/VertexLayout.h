#pragma once
// Vertex layouts: attributes tagged with what they mean, so a mesh's streams can be matched to a pipeline's
// vertex input by meaning rather than by position. The five layouts of the program are compile-time constants.
#include <vulkan/vulkan.h>

#include <array>
#include <cstdint>
#include <initializer_list>

enum VertexSemantic : uint32_t {
    POSITION = 1,
    NORMAL = 2,
    TANGENT = 3,
    TEXCOORD = 4,
    COLOR_RGBA32F = 6, // four-float colour of imported models
    COLOR = 7,
};

struct VertexAttribute {
    uint32_t location = 0;
    VkFormat format = VK_FORMAT_UNDEFINED;
    uint32_t size = 0; // bytes
    uint32_t semantic = 0;
};

class VertexLayout {
public:
    static constexpr uint32_t MaxAttributes = 8;

    constexpr VertexLayout() = default;
    constexpr VertexLayout(std::initializer_list<VertexAttribute> list) {
        for (const VertexAttribute& a : list) {
            attributes[count++] = a;
            stride += a.size;
        }
    }

    // Index of the first attribute with this meaning, -1 when there is none.
    constexpr int find(uint32_t semantic) const {
        for (uint32_t i = 0; i < count; ++i)
            if (attributes[i].semantic == semantic)
                return int(i);
        return -1;
    }
    // Byte offset of attribute i inside one interleaved vertex.
    constexpr uint32_t interleavedOffset(uint32_t index) const {
        uint32_t offset = 0;
        for (uint32_t i = 0; i < index; ++i)
            offset += attributes[i].size;
        return offset;
    }

    uint32_t stride = 0; // sum of the attribute sizes
    uint32_t count = 0;
    std::array<VertexAttribute, MaxAttributes> attributes{};
};

// Full-screen passes that make their vertices in the shader.
inline constexpr VertexLayout emptyLayout{};
// Lines.
inline constexpr VertexLayout positionLayout{{0, VK_FORMAT_R32G32B32_SFLOAT, 12, POSITION}};
// Generated geometry: cubes, spheres, surfaces, atmospheres, sky box, particles, markers.
inline constexpr VertexLayout standardLayout{{0, VK_FORMAT_R32G32B32_SFLOAT, 12, POSITION},
                                             {1, VK_FORMAT_R32G32B32_SFLOAT, 12, NORMAL},
                                             {2, VK_FORMAT_R32G32_SFLOAT, 8, TEXCOORD}};
// Imported models with normal maps.
inline constexpr VertexLayout tangentLayout{{0, VK_FORMAT_R32G32B32_SFLOAT, 12, POSITION},
                                            {1, VK_FORMAT_R32G32B32_SFLOAT, 12, NORMAL},
                                            {2, VK_FORMAT_R32G32B32_SFLOAT, 12, TANGENT},
                                            {3, VK_FORMAT_R32G32_SFLOAT, 8, TEXCOORD}};
// The UI renderer's interleaved vertices.
inline constexpr VertexLayout uiLayout{{0, VK_FORMAT_R32G32_SFLOAT, 8, POSITION},
                                       {1, VK_FORMAT_R32G32_SFLOAT, 8, TEXCOORD},
                                       {2, VK_FORMAT_R8G8B8A8_UNORM, 4, COLOR}};

static_assert(positionLayout.stride == 12 && standardLayout.stride == 32 && tangentLayout.stride == 44 &&
              uiLayout.stride == 20);
