#include "Engine/Helper/Helper.h"

#include <gtest/gtest.h>

using Helper::QueueFamilyInfo;

TEST(DeviceSelection, FirstDeviceWithAPresentableGraphicsFamily) {
    QueueFamilyInfo computeOnly{VK_QUEUE_COMPUTE_BIT, true};
    QueueFamilyInfo graphicsNoPresent{VK_QUEUE_GRAPHICS_BIT, false};
    QueueFamilyInfo graphics{VK_QUEUE_GRAPHICS_BIT, true};
    EXPECT_EQ(Helper::selectPhysicalDevice({{computeOnly, graphicsNoPresent}, {computeOnly, graphics}}), 1);
    EXPECT_EQ(Helper::selectPhysicalDevice({{graphics}, {graphics}}), 0);
    EXPECT_EQ(Helper::selectPhysicalDevice({{computeOnly}, {graphicsNoPresent}}), -1);
    EXPECT_EQ(Helper::selectPhysicalDevice({}), -1);
}

TEST(DeviceSelection, QueueFamilyNeedsGraphicsComputeAndPresent) {
    QueueFamilyInfo graphicsOnly{VK_QUEUE_GRAPHICS_BIT, true};
    QueueFamilyInfo both{VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT | VK_QUEUE_TRANSFER_BIT, true};
    QueueFamilyInfo bothNoPresent{VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT, false};
    EXPECT_EQ(Helper::selectQueueFamily({graphicsOnly, bothNoPresent, both}), 2);
    EXPECT_EQ(Helper::selectQueueFamily({graphicsOnly}), -1);
}

TEST(DeviceSelection, SurfaceFormatPrefersSrgbNonLinear) {
    VkSurfaceFormatKHR unorm{VK_FORMAT_B8G8R8A8_UNORM, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR};
    VkSurfaceFormatKHR rgbaSrgb{VK_FORMAT_R8G8B8A8_SRGB, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR};
    VkSurfaceFormatKHR srgbOtherSpace{VK_FORMAT_B8G8R8A8_SRGB, VK_COLOR_SPACE_EXTENDED_SRGB_LINEAR_EXT};
    EXPECT_EQ(Helper::selectSurfaceFormat({unorm}).format, VK_FORMAT_B8G8R8A8_UNORM);
    EXPECT_EQ(Helper::selectSurfaceFormat({unorm, rgbaSrgb}).format, VK_FORMAT_R8G8B8A8_SRGB);
    EXPECT_EQ(Helper::selectSurfaceFormat({srgbOtherSpace, unorm}).format, VK_FORMAT_B8G8R8A8_SRGB);
    EXPECT_EQ(Helper::selectSurfaceFormat({srgbOtherSpace, unorm}).colorSpace,
              VK_COLOR_SPACE_EXTENDED_SRGB_LINEAR_EXT); // no match: the first entry
}

TEST(DeviceSelection, DepthFormatCandidatesInOrder) {
    auto supports = [](std::vector<VkFormat> ok) {
        return [ok](VkFormat f) -> VkFormatFeatureFlags {
            for (VkFormat o : ok)
                if (o == f)
                    return VK_FORMAT_FEATURE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT;
            return VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT;
        };
    };
    EXPECT_EQ(Helper::selectDepthFormat(supports({VK_FORMAT_D24_UNORM_S8_UINT, VK_FORMAT_D32_SFLOAT})),
              VK_FORMAT_D32_SFLOAT);
    EXPECT_EQ(Helper::selectDepthFormat(supports({VK_FORMAT_D24_UNORM_S8_UINT, VK_FORMAT_D32_SFLOAT_S8_UINT})),
              VK_FORMAT_D32_SFLOAT_S8_UINT);
    EXPECT_EQ(Helper::selectDepthFormat(supports({VK_FORMAT_D24_UNORM_S8_UINT})), VK_FORMAT_D24_UNORM_S8_UINT);
    EXPECT_EQ(Helper::selectDepthFormat(supports({VK_FORMAT_D16_UNORM})), VK_FORMAT_UNDEFINED);
}

TEST(DeviceSelection, MemoryTypeLowestAllowedWithAllProperties) {
    VkPhysicalDeviceMemoryProperties mem{};
    mem.memoryTypeCount = 3;
    mem.memoryTypes[0].propertyFlags = VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT;
    mem.memoryTypes[1].propertyFlags = VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT;
    mem.memoryTypes[2].propertyFlags = VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT;
    EXPECT_EQ(Helper::selectMemoryType(mem, 0b111, VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT), 1);
    EXPECT_EQ(Helper::selectMemoryType(mem, 0b101, VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT), 2);
    EXPECT_EQ(Helper::selectMemoryType(mem, 0b011, 6), -1);
    EXPECT_EQ(Helper::selectMemoryType(mem, 0b1000, 0), -1); // beyond the type count
}

TEST(SwapChainRules, ImageCountAndExtentClamps) {
    VkSurfaceCapabilitiesKHR caps{};
    caps.minImageCount = 2;
    caps.maxImageCount = 0;
    EXPECT_EQ(Helper::selectImageCount(3, caps), 3u);
    caps.minImageCount = 4;
    EXPECT_EQ(Helper::selectImageCount(3, caps), 4u);
    caps.minImageCount = 1;
    caps.maxImageCount = 2;
    EXPECT_EQ(Helper::selectImageCount(3, caps), 2u);

    caps.minImageExtent = {1, 1};
    caps.maxImageExtent = {3840, 2160};
    VkExtent2D e = Helper::clampExtent(5000, 5000, caps);
    EXPECT_EQ(e.width, 3840u);
    EXPECT_EQ(e.height, 2160u);
    e = Helper::clampExtent(0, 600, caps);
    EXPECT_EQ(e.width, 1u);
    EXPECT_EQ(e.height, 600u);
}

TEST(SwapChainRules, PresentModeFallsBackToFifo) {
    EXPECT_EQ(Helper::selectPresentMode(VK_PRESENT_MODE_IMMEDIATE_KHR,
                                        {VK_PRESENT_MODE_FIFO_KHR, VK_PRESENT_MODE_IMMEDIATE_KHR}),
              VK_PRESENT_MODE_IMMEDIATE_KHR);
    EXPECT_EQ(Helper::selectPresentMode(VK_PRESENT_MODE_IMMEDIATE_KHR, {VK_PRESENT_MODE_FIFO_KHR}),
              VK_PRESENT_MODE_FIFO_KHR);
    EXPECT_EQ(Helper::selectPresentMode(VK_PRESENT_MODE_MAILBOX_KHR, {}), VK_PRESENT_MODE_FIFO_KHR);
}

TEST(DeviceSelection, MissingRequiredFeaturesAreNamed) {
    Helper::DeviceFeatureSupport all{true, true, true};
    EXPECT_TRUE(Helper::missingRequiredFeatures(all).empty());
    Helper::DeviceFeatureSupport noTess{true, true, false};
    EXPECT_EQ(Helper::missingRequiredFeatures(noTess), std::vector<std::string>{"tessellationShader"});
    EXPECT_EQ(Helper::missingRequiredFeatures({}).size(), 3u);
}

TEST(Split, KeepsEmptyPieces) {
    EXPECT_EQ(Helper::split("UBD_0+UBD_1", '+'), (std::vector<std::string>{"UBD_0", "UBD_1"}));
    EXPECT_EQ(Helper::split("a++b", '+'), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(Helper::split("+a", '+'), (std::vector<std::string>{"", "a"}));
    EXPECT_EQ(Helper::split("a+", '+'), (std::vector<std::string>{"a"})); // getline: no trailing empty piece
    EXPECT_TRUE(Helper::split("", '+').empty());
}

TEST(ErrorConvention, FileNameAfterLastSeparator) {
    EXPECT_STREQ(sourceFileName("src/Engine/Helper/Helper.cpp"), "Helper.cpp");
    EXPECT_STREQ(sourceFileName("C:\\src\\Engine\\Helper.cpp"), "Helper.cpp");
    EXPECT_STREQ(sourceFileName("plain.cpp"), "plain.cpp");
    testing::internal::CaptureStdout();
    EXPECT_THROW(reportError("boom", "a/b/c.cpp", 42), std::runtime_error);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: boom (in c.cpp at line #42)\n");
}
