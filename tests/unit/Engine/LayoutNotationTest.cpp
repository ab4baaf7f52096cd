#include "Engine/Descriptors/LayoutNotation.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

struct B {
    uint32_t binding;
    VkDescriptorType type;
};

void expectSet(const std::vector<VkDescriptorSetLayoutBinding>& set, std::initializer_list<B> want) {
    ASSERT_EQ(set.size(), want.size());
    size_t i = 0;
    for (const B& w : want) {
        EXPECT_EQ(set[i].binding, w.binding) << "entry " << i;
        EXPECT_EQ(set[i].descriptorType, w.type) << "entry " << i;
        EXPECT_EQ(set[i].descriptorCount, 1u);
        EXPECT_EQ(set[i].stageFlags, uint32_t(VK_SHADER_STAGE_ALL));
        EXPECT_EQ(set[i].pImmutableSamplers, nullptr);
        ++i;
    }
}

// The message must name the notation and the offending token.
void expectMalformed(const std::string& notation, const std::string& token, bool poolSizes = false) {
    try {
        if (poolSizes)
            parsePoolSizes(notation);
        else
            parseLayoutNotation(notation);
        FAIL() << "accepted \"" << notation << "\"";
    } catch (const std::runtime_error& e) {
        std::string message = e.what();
        EXPECT_NE(message.find("\"" + notation + "\""), std::string::npos) << message;
        EXPECT_NE(message.find("\"" + token + "\""), std::string::npos) << message;
    }
}

} // namespace

TEST(LayoutNotation, SetsAreSplitAtBlanksAndKeepTokenOrder) {
    auto sets = parseLayoutNotation("UBD_0 CIS_1");
    ASSERT_EQ(sets.size(), 2u);
    expectSet(sets[0], {{0, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC}});
    expectSet(sets[1], {{1, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER}});

    sets = parseLayoutNotation("UBD_0+SB_1+SB_2+SB_3+SB_4+SI_5 SB_6+SB_7");
    ASSERT_EQ(sets.size(), 2u);
    expectSet(sets[0], {{0, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC},
                        {1, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER},
                        {2, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER},
                        {3, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER},
                        {4, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER},
                        {5, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE}});
    expectSet(sets[1], {{6, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER}, {7, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER}});
}

TEST(LayoutNotation, PrefixesMatchByWholeLength) {
    auto sets = parseLayoutNotation("UBD_0 UBD_1+UBD_2+SB_3");
    ASSERT_EQ(sets.size(), 2u);
    expectSet(sets[1], {{1, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC},
                        {2, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC},
                        {3, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER}});
    expectSet(parseLayoutNotation("SBD_4")[0], {{4, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC}});
    expectSet(parseLayoutNotation("SI_0+UBD_1")[0],
              {{0, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE}, {1, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC}});
    expectSet(parseLayoutNotation("IA_3")[0], {{3, VK_DESCRIPTOR_TYPE_INPUT_ATTACHMENT}});
    EXPECT_FALSE(descriptorTypeForPrefix("S"));
    EXPECT_FALSE(descriptorTypeForPrefix("SBDX"));
    EXPECT_FALSE(descriptorTypeForPrefix("ubd"));
}

TEST(LayoutNotation, EveryNotationOfTheProgramParses) {
    const char* notations[] = {"UBD_0 UBD_1+UBD_2+UBD_3",
                               "UBD_0 UBD_1+UBD_2+UBD_3+UBD_4+UBD_5+UBD_6+UBD_7+UBD_8+CIS_9",
                               "UBD_0+SB_1+SB_2+SB_3+SB_4+SI_5 SB_6+SB_7",
                               "SI_0+UBD_1",
                               "UBD_0 UBD_1+UBD_2+UBD_3+UBD_4+UBD_5 SI_6+CIS_7 CIS_8",
                               "UBD_0 UBD_1+UBD_2+SB_3+SB_4+SB_5+SB_6+SB_7+SB_8",
                               "UBD_0 UBD_1+UBD_2+UBD_3+UBD_4 CIS_5+CIS_6+CIS_7+CIS_8",
                               "UBD_0+CIS_1",
                               "CIS_0"};
    for (const char* n : notations) {
        // Binding numbers continue across sets: 0 .. count-1 in order.
        uint32_t next = 0;
        for (const auto& set : parseLayoutNotation(n))
            for (const auto& b : set)
                EXPECT_EQ(b.binding, next++) << n;
    }
    // A trailing blank adds no set; no text gives no set.
    EXPECT_EQ(parseLayoutNotation("UBD_0 ").size(), 1u);
    EXPECT_TRUE(parseLayoutNotation("").empty());
}

TEST(LayoutNotation, PoolSizesGiveFiveSizesInTokenOrder) {
    auto sizes = parsePoolSizes("UBD_100+SBD_50+SB_50+CIS_20+SI_10");
    ASSERT_EQ(sizes.size(), 5u);
    const VkDescriptorPoolSize want[] = {{VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC, 100},
                                         {VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC, 50},
                                         {VK_DESCRIPTOR_TYPE_STORAGE_BUFFER, 50},
                                         {VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 20},
                                         {VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, 10}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(sizes[i].type, want[i].type);
        EXPECT_EQ(sizes[i].descriptorCount, want[i].descriptorCount);
    }
}

TEST(LayoutNotation, MalformedTokensNameNotationAndToken) {
    expectMalformed("UBD0", "UBD0");                       // missing "_"
    expectMalformed("UBD_0+SB_x", "SB_x");                 // not a number
    expectMalformed("UBD_0+SB_-1", "SB_-1");               // sign is not a decimal digit
    expectMalformed("UBD_ 1", "UBD_");                     // missing number
    expectMalformed("UBD_99999999999", "UBD_99999999999"); // out of int range
    expectMalformed("UBD_0++SB_1", "");                    // doubled "+"
    expectMalformed("UBD_0  SB_1", "");                    // doubled blank
    expectMalformed(" UBD_0", "");                         // leading blank
    expectMalformed("UBD_0+XB_1", "XB_1");                 // unknown prefix
    expectMalformed("ubd_0", "ubd_0");                     // prefixes are case-sensitive
    expectMalformed("UBD_0_1", "UBD_0_1");                 // two "_"
    expectMalformed("UBD_0+SB_0", "SB_0");                 // binding used twice in one set
    expectMalformed("UBD_100+IA_4", "IA_4", true);         // no input attachments in a pool
    expectMalformed("UBD_100+SB_x", "SB_x", true);
    expectMalformed("UBD_100++SB_1", "", true);
}
