#include "App/Config.h"
#include "App/Window.h"

#include <gtest/gtest.h>

#include <cstring>

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

TEST(ConfigFile, RoundTripIs48BytesInTheStoredLayout) {
    ConfigRecord r;
    r.lookSensitivity = 2.5f;
    r.windowMode = 0;
    r.refreshMode = 1;
    r.monitorIndex = 1;
    r.window.fullscreen = 0;
    r.window.positionX = 200;
    r.window.positionY = 100;
    r.window.refreshRate = 144;
    std::string bytes = encodeConfig(r);
    ASSERT_EQ(bytes.size(), 48u);
    int32_t x;
    std::memcpy(&x, bytes.data() + 20, 4);
    EXPECT_EQ(x, 200);
    int32_t rate;
    std::memcpy(&rate, bytes.data() + 36, 4);
    EXPECT_EQ(rate, 144);
    ConfigRecord back;
    decodeConfig(bytes, back);
    EXPECT_EQ(back.lookSensitivity, 2.5f);
    EXPECT_EQ(back.windowMode, 0);
    EXPECT_EQ(back.window.positionY, 100);
    EXPECT_EQ(back.window.monitor, nullptr);
}

TEST(ConfigFile, TruncatedFileFillsWhatItCovers) {
    ConfigRecord saved;
    saved.windowMode = 0;
    saved.refreshMode = 0x01010101; // only its first byte survives the cut below
    std::string bytes = encodeConfig(saved).substr(0, 9);
    ConfigRecord r;
    r.refreshMode = 0;
    decodeConfig(bytes, r);
    EXPECT_EQ(r.windowMode, 0);
    EXPECT_EQ(r.refreshMode, 1);
    EXPECT_EQ(r.monitorIndex, 0);
    EXPECT_EQ(r.window.positionX, 50);
}

TEST(ConfigFile, CorruptValuesFallBackToDefaults) {
    ConfigRecord garbage;
    std::memset(static_cast<void*>(&garbage), 0xFF, sizeof garbage); // NaN sensitivity, mode -1, refresh -1
    ConfigRecord r;
    decodeConfig(encodeConfig(garbage), r);
    EXPECT_EQ(r.lookSensitivity, 1.0f);
    EXPECT_EQ(r.windowMode, 1);
    EXPECT_EQ(r.refreshMode, 0);
    EXPECT_EQ(r.window.fullscreen, 1);
    EXPECT_EQ(r.window.monitor, nullptr);
    ConfigRecord fromEmpty;
    decodeConfig("", fromEmpty);
    EXPECT_EQ(fromEmpty.window.width, 1920);
}
