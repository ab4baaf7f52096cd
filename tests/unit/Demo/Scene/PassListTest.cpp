#include "Demo/Scene/PassProfiler.h"
#include "Demo/Scene/RenderManager.h"

#include <gtest/gtest.h>

using namespace Demo;

// Frame passes run once; each run of consecutive layer passes runs per layer from the farthest (highest) down.
TEST(PassList, ScheduleRunsLayerGroupsFromTheFarthestLayer) {
    std::vector<std::pair<uint32_t, uint32_t>> order;
    const std::vector<PassScope> scopes = {PassScope::Frame, PassScope::Frame, PassScope::Layer, PassScope::Layer,
                                           PassScope::Frame, PassScope::Layer, PassScope::Frame};
    passSchedule(scopes, 3, order);
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {0, 0}, {1, 0}, {2, 2}, {3, 2}, {2, 1}, {3, 1}, {2, 0}, {3, 0}, {4, 0}, {5, 2}, {5, 1}, {5, 0}, {6, 0}};
    EXPECT_EQ(order, expected);
    // Refilled, not appended to; no layers runs no layer pass.
    passSchedule(scopes, 0, order);
    EXPECT_EQ(order, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 0}, {1, 0}, {4, 0}, {6, 0}}));
}

TEST(PassList, MediansOfTheRingAndTheTimestampArithmetic) {
    SampleRing ring;
    EXPECT_EQ(ring.median(), 0.0f);
    for (float v : {5.0f, 1.0f, 3.0f})
        ring.push(v);
    EXPECT_EQ(ring.median(), 3.0f);
    ring.push(100.0f);
    EXPECT_EQ(ring.median(), 4.0f); // even count: mean of the middle two
    EXPECT_EQ(ring.mean(), 27.25f);
    EXPECT_EQ(ring.mean(1), 104.0f / 3.0f); // without the oldest (5)
    EXPECT_EQ(ring.mean(4), 0.0f);
    // A step that runs on some frames: its median over the frames that ran it, its mean over all.
    SampleRing sometimes;
    for (float v : {0.0f, 0.0f, 0.0f, 8.0f, 0.0f, 0.0f, 0.0f, 8.0f})
        sometimes.push(v);
    EXPECT_EQ(sometimes.median(), 0.0f);
    EXPECT_EQ(sometimes.median(true), 8.0f);
    EXPECT_EQ(sometimes.mean(), 2.0f);
    // Old samples fall out once the ring is full.
    for (uint32_t k = 0; k < SampleRing::Capacity; ++k)
        ring.push(2.0f);
    EXPECT_EQ(ring.size(), SampleRing::Capacity);
    EXPECT_EQ(ring.median(), 2.0f);

    EXPECT_DOUBLE_EQ(timestampDeltaMs(1000, 3000, 1.0f, 64), 0.002);
    // A 32-bit counter that wrapped between the two stamps.
    EXPECT_DOUBLE_EQ(timestampDeltaMs(0xFFFFFF00u, 0x100u, 1000.0f, 32), 0.512);
    EXPECT_FALSE(timestampsUsable(0.0f, 64));
    EXPECT_FALSE(timestampsUsable(1.0f, 0));
    EXPECT_TRUE(timestampsUsable(1.0f, 64));
}

TEST(PassList, ProfileTableListsEveryPassInOrder) {
    std::string table = formatPassTable({{"compute", 1.25f, 0.5f}, {"postProcess", 0.0f, 0.125f}}, true);
    EXPECT_NE(table.find("pass"), std::string::npos);
    EXPECT_LT(table.find("compute"), table.find("postProcess"));
    EXPECT_NE(table.find("1.250"), std::string::npos);
    EXPECT_NE(table.find("0.125"), std::string::npos);
    std::string cpuOnly = formatPassTable({{"main", 0.0f, 2.0f}}, false);
    EXPECT_NE(cpuOnly.find("n/a"), std::string::npos);
    EXPECT_NE(cpuOnly.find("2.000"), std::string::npos);
}
