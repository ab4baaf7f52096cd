#include "App/UIDrawPlan.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A draw list built by hand: `vertices` and `indices` sized, commands appended.
struct HandList {
    ImDrawList list{nullptr};
    HandList(int vertices, int indices) {
        list.VtxBuffer.resize(vertices);
        list.IdxBuffer.resize(indices);
        list.CmdBuffer.clear();
    }
    void command(ImVec4 clip, void* texture, unsigned count, unsigned indexOffset, unsigned vertexOffset = 0) {
        ImDrawCmd cmd;
        cmd.ClipRect = clip;
        cmd.TextureId = texture;
        cmd.ElemCount = count;
        cmd.IdxOffset = indexOffset;
        cmd.VtxOffset = vertexOffset;
        list.CmdBuffer.push_back(cmd);
    }
};

std::vector<UiDrawStep> plan(std::vector<HandList*> lists, const void* font, float w = 800, float h = 600) {
    std::vector<ImDrawList*> pointers;
    for (HandList* l : lists)
        pointers.push_back(&l->list);
    ImDrawData data;
    data.Valid = true;
    data.CmdLists = pointers.data();
    data.CmdListsCount = int(pointers.size());
    std::vector<UiDrawStep> steps;
    forEachUiDraw(data, font, w, h, [&](const UiDrawStep& s) { steps.push_back(s); });
    return steps;
}

int font, image; // addresses stand for descriptor sets

} // namespace

TEST(UiDrawPlan, ClipRectanglesAreClampedToTheTargetAndTruncated) {
    auto inside = clampClipRect({10.5f, 20.25f, 110.9f, 70.0f}, 800, 600);
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->x, 10);
    EXPECT_EQ(inside->y, 20);
    EXPECT_EQ(inside->width, 100u); // 100.4 truncated
    EXPECT_EQ(inside->height, 49u);

    auto beyond = clampClipRect({-50, -10, 900, 700}, 800, 600);
    ASSERT_TRUE(beyond);
    EXPECT_EQ(beyond->x, 0);
    EXPECT_EQ(beyond->y, 0);
    EXPECT_EQ(beyond->width, 800u);
    EXPECT_EQ(beyond->height, 600u);

    EXPECT_FALSE(clampClipRect({810, 10, 900, 50}, 800, 600)); // right of the target
    EXPECT_FALSE(clampClipRect({10, -80, 50, -1}, 800, 600));  // above it
    EXPECT_FALSE(clampClipRect({30, 30, 30, 60}, 800, 600));   // no width
    EXPECT_FALSE(clampClipRect({30, 60, 90, 20}, 800, 600));   // inverted
}

TEST(UiDrawPlan, TextureIsReboundOnlyWhenItChangesAndNullMeansTheFontSet) {
    HandList a(40, 60);
    a.command({0, 0, 100, 100}, nullptr, 6, 0);
    a.command({0, 0, 100, 100}, nullptr, 6, 6);    // same (font) texture: no rebind
    a.command({0, 0, 100, 100}, &image, 12, 12);   // an image
    a.command({900, 0, 950, 100}, nullptr, 6, 24); // clipped away: neither drawn nor bound
    a.command({0, 0, 100, 100}, &image, 6, 30);    // still the image: no rebind
    a.command({0, 0, 100, 100}, nullptr, 6, 36);   // back to the font
    auto steps = plan({&a}, &font);
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_EQ(steps[0].bindTexture, &font);
    EXPECT_EQ(steps[1].bindTexture, nullptr);
    EXPECT_EQ(steps[2].bindTexture, &image);
    EXPECT_EQ(steps[3].bindTexture, nullptr);
    EXPECT_EQ(steps[3].firstIndex, 30u);
    EXPECT_EQ(steps[4].bindTexture, &font);
}

TEST(UiDrawPlan, OffsetsRunOnAcrossListsAndSkippedCommandsDrawNothing) {
    HandList first(10, 30), second(20, 12);
    first.command({0, 0, 50, 50}, nullptr, 30, 0);
    second.command({-5, -5, -1, -1}, nullptr, 6, 0); // entirely outside
    second.command({0, 0, 50, 50}, nullptr, 6, 6, 4);
    ImDrawCmd callback;
    callback.UserCallback = [](const ImDrawList*, const ImDrawCmd*) {};
    second.list.CmdBuffer.push_back(callback); // not run, not drawn
    auto steps = plan({&first, &second}, &font);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].firstIndex, 0u);
    EXPECT_EQ(steps[0].vertexOffset, 0);
    EXPECT_EQ(steps[0].indexCount, 30u);
    EXPECT_EQ(steps[1].firstIndex, 30u + 6u);
    EXPECT_EQ(steps[1].vertexOffset, 10 + 4);
    EXPECT_EQ(steps[1].bindTexture, nullptr); // the font set stays bound from the first list

    EXPECT_TRUE(plan({}, &font).empty()); // no lists, no vertices: nothing recorded
}

TEST(UiDrawPlan, SixteenBitIndicesWidenToThirtyTwo) {
    const ImDrawIdx source[] = {0, 1, 65535, 40000};
    uint32_t target[4] = {};
    widenIndices(source, 4, target);
    EXPECT_EQ(target[2], 65535u);
    EXPECT_EQ(target[3], 40000u);
}
