#include "Demo/Scene/Bloom.h"

#include <gtest/gtest.h>

using namespace Demo;

TEST(BloomChain, HalvesFromAQuarterOfTheTargetWhileLevelsKeepEightTexels) {
    EXPECT_EQ(bloomChainExtents(1920, 1080),
              (std::vector<BloomExtent>{{480, 270}, {240, 135}, {120, 68}, {60, 34}, {30, 17}}));
    // Sizes round up, so every target texel lies under a level texel.
    EXPECT_EQ(bloomChainExtents(66, 33), (std::vector<BloomExtent>{{17, 9}}));
    // A minimised or tiny window still gets one level.
    EXPECT_EQ(bloomChainExtents(1, 1), (std::vector<BloomExtent>{{1, 1}}));
    EXPECT_EQ(bloomChainExtents(8192, 128).size(), 3u); // 2048×32, 1024×16, 512×8
}
