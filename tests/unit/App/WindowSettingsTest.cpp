#include "App/Window.h"

#include <gtest/gtest.h>

TEST(DisplaySettings, VideoModesGroupIntoRunsOfEqualSize) {
    auto entries = groupVideoModes({{1920, 1080, 60}, {1920, 1080, 144}, {1280, 720, 60}, {1920, 1080, 30}});
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].refreshRates, (std::vector<uint32_t>{60, 144}));
    EXPECT_EQ(entries[1].width, 1280);
    EXPECT_EQ(entries[2].refreshRates, (std::vector<uint32_t>{30})); // a separate run stays separate
    EXPECT_TRUE(groupVideoModes({}).empty());
}

TEST(DisplaySettings, RefreshModeToPresentMode) {
    EXPECT_EQ(presentModeForRefreshMode(0, VK_PRESENT_MODE_FIFO_KHR), uint32_t(VK_PRESENT_MODE_IMMEDIATE_KHR));
    EXPECT_EQ(presentModeForRefreshMode(1, 0), uint32_t(VK_PRESENT_MODE_FIFO_KHR));
    EXPECT_EQ(presentModeForRefreshMode(2, 0), uint32_t(VK_PRESENT_MODE_FIFO_KHR));
    EXPECT_EQ(presentModeForRefreshMode(7, VK_PRESENT_MODE_FIFO_KHR), uint32_t(VK_PRESENT_MODE_FIFO_KHR));
}
