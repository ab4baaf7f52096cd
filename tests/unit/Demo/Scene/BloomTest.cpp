#include "Demo/Scene/Bloom.h"

#include <gtest/gtest.h>

#include <utility>

using namespace Demo;

TEST(BloomChain, StartsAtAnEighthOfTheTargetAndHalvesExactly) {
    // 1080 / 8 = 135 rows, padded to 136 so that four levels halve exactly.
    EXPECT_EQ(bloomChainExtents(1920, 1080), (std::vector<BloomExtent>{{240, 136}, {120, 68}, {60, 34}, {30, 17}}));
    // Level 0 rounds up, so every target texel lies under a level texel; levels stop at eight texels.
    EXPECT_EQ(bloomChainExtents(66, 33), (std::vector<BloomExtent>{{9, 5}}));
    EXPECT_EQ(bloomChainExtents(150, 130), (std::vector<BloomExtent>{{20, 18}, {10, 9}}));
    // A minimised or tiny window still gets one level.
    EXPECT_EQ(bloomChainExtents(1, 1), (std::vector<BloomExtent>{{1, 1}}));
    for (auto [w, h] : {std::pair{1920u, 1080u}, {1366u, 768u}, {801u, 599u}}) {
        std::vector<BloomExtent> levels = bloomChainExtents(w, h);
        EXPECT_GE(BloomFootprint * levels[0].width, w);
        EXPECT_GE(BloomFootprint * levels[0].height, h);
        for (size_t k = 1; k < levels.size(); ++k) {
            EXPECT_EQ(levels[k].width * 2, levels[k - 1].width) << w << "x" << h << " level " << k;
            EXPECT_EQ(levels[k].height * 2, levels[k - 1].height) << w << "x" << h << " level " << k;
        }
    }
}
