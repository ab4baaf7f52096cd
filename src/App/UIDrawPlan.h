#pragma once
// The decisions of the UI pass over ImGui's draw data, kept apart from the Vulkan calls that carry them out so
// they can be checked with made-up draw lists: clip rectangles clamped to the target, commands clipped away
// skipped, the descriptor set rebound only when the texture changes, a null texture drawn with the font atlas.
#include <imgui.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

// ImGui's vertex is the pipeline's 20-byte vertex: position, texture coordinate, RGBA8 colour.
static_assert(sizeof(ImDrawVert) == 20);
static_assert(offsetof(ImDrawVert, pos) == 0);
static_assert(offsetof(ImDrawVert, uv) == 8);
static_assert(offsetof(ImDrawVert, col) == 16);

struct UiScissor {
    int32_t x = 0, y = 0;
    uint32_t width = 0, height = 0;
};

// ImGui's clip rectangle (x0, y0, x1, y1 in display pixels) clamped to a target of width x height; offset and
// extent are truncated to whole pixels. nullopt when nothing of it lies on the target.
inline std::optional<UiScissor> clampClipRect(const ImVec4& clip, float width, float height) {
    float x0 = std::max(0.0f, clip.x), y0 = std::max(0.0f, clip.y);
    float x1 = std::min(width, clip.z), y1 = std::min(height, clip.w);
    if (!(x1 > x0) || !(y1 > y0))
        return std::nullopt;
    return UiScissor{int32_t(x0), int32_t(y0), uint32_t(x1 - x0), uint32_t(y1 - y0)};
}

// One indexed draw of the UI pass.
struct UiDrawStep {
    UiScissor scissor;
    const void* bindTexture = nullptr; // set to bind before this draw; null when the bound one stays
    uint32_t indexCount = 0;
    uint32_t firstIndex = 0;  // into the frame's index array (all lists concatenated)
    int32_t vertexOffset = 0; // into the frame's vertex array
};

// Calls `draw(const UiDrawStep&)` for every command that draws, in order. Indices and vertices of the lists are
// taken as concatenated in list order; a null texture identifier means `fontTexture`; user callbacks are not run.
template <class F>
void forEachUiDraw(const ImDrawData& data, const void* fontTexture, float width, float height, F&& draw) {
    uint32_t globalIndex = 0;
    int32_t globalVertex = 0;
    const void* lastTexture = nullptr;
    for (int n = 0; n < data.CmdListsCount; ++n) {
        const ImDrawList* list = data.CmdLists[n];
        for (const ImDrawCmd& cmd : list->CmdBuffer) {
            if (cmd.UserCallback != nullptr)
                continue;
            std::optional<UiScissor> scissor = clampClipRect(cmd.ClipRect, width, height);
            if (!scissor)
                continue;
            const void* texture = cmd.TextureId ? static_cast<const void*>(cmd.TextureId) : fontTexture;
            UiDrawStep step;
            step.scissor = *scissor;
            if (texture != lastTexture) {
                step.bindTexture = texture;
                lastTexture = texture;
            }
            step.indexCount = cmd.ElemCount;
            step.firstIndex = globalIndex + cmd.IdxOffset;
            step.vertexOffset = globalVertex + int32_t(cmd.VtxOffset);
            draw(step);
        }
        globalIndex += uint32_t(list->IdxBuffer.Size);
        globalVertex += list->VtxBuffer.Size;
    }
}

// ImGui's 16-bit indices as the pass's 32-bit indices.
inline void widenIndices(const ImDrawIdx* source, uint32_t count, uint32_t* target) {
    for (uint32_t i = 0; i < count; ++i)
        target[i] = source[i];
}
