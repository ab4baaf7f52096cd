#include "GpuFixture.h"

#include "Engine/Buffers/StructuredBuffer.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/Data/DescriptorSet.h"
#include "Engine/Images/Image.h"

#include <stdexcept>

namespace {

class DataSetGpuTest : public GpuTest {
protected:
    static Image2D* makeTexture() {
        return new Image2D(device, 4, 4, VK_FORMAT_R8G8B8A8_UNORM,
                           VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT, VK_IMAGE_ASPECT_COLOR_BIT, 1);
    }
    static DataBinding storageEntry(uint32_t binding, StorageBinding* record) {
        return {binding, DATA_STORAGE, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC, record};
    }
};

} // namespace

TEST_F(DataSetGpuTest, StorageBindingsSupplyTheirOffsetsInBindingOrder) {
    uniformStorage->beginSlot();
    StorageBinding one(uniformStorage, 64), two(uniformStorage, 64), three(uniformStorage, 64);
    float block[16] = {};
    // Written in another order than the bindings, so the offsets differ from the write order.
    three.write(block);
    one.write(block);
    two.write(block);
    // Given out of order; kept in binding order.
    auto* set =
        new DataSet(device, descriptorPool, {storageEntry(3, &three), storageEntry(1, &one), storageEntry(2, &two)});
    EXPECT_NE(set->set, VkDescriptorSet(VK_NULL_HANDLE));
    EXPECT_EQ(set->dynamicOffsetCount(), 3u);

    CommandContext context;
    context.pendingOffsets[0] = 0xDEAD; // an earlier set's offset stays first
    context.pendingOffsetCount = 1;
    context.pendingSetCount = 1;
    bindDataSet(&context, set);
    ASSERT_EQ(context.pendingSetCount, 2u);
    EXPECT_EQ(context.pendingSets[1], set->set);
    ASSERT_EQ(context.pendingOffsetCount, 4u);
    EXPECT_EQ(context.pendingOffsets[0], 0xDEADu);
    EXPECT_EQ(context.pendingOffsets[1], one.offset);
    EXPECT_EQ(context.pendingOffsets[2], two.offset);
    EXPECT_EQ(context.pendingOffsets[3], three.offset);
    EXPECT_LT(three.offset, one.offset);

    // More than 20 sets before a draw is refused, and so is binding a block that was never written.
    context.pendingSetCount = CommandContext::MaxPendingSets;
    EXPECT_THROW(bindDataSet(&context, set), std::runtime_error);
    context.pendingSetCount = 0;
    context.pendingOffsetCount = CommandContext::MaxPendingOffsets - 2;
    EXPECT_THROW(bindDataSet(&context, set), std::runtime_error);
    context.pendingOffsetCount = 0;
    StorageBinding unwritten(uniformStorage, 64);
    auto* early = new DataSet(device, descriptorPool, {storageEntry(0, &unwritten)});
    EXPECT_THROW(bindDataSet(&context, early), std::runtime_error);

    // Entries a set cannot honour are refused at construction.
    EXPECT_THROW(new DataSet(device, descriptorPool, {storageEntry(1, &one), storageEntry(1, &two)}),
                 std::runtime_error);
    EXPECT_THROW(new DataSet(device, descriptorPool, {{0, DATA_STORAGE, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, &one}}),
                 std::runtime_error);
    unregisterResource(device, set);
    unregisterResource(device, early);
}

TEST_F(DataSetGpuTest, ReplacedTextureRebuildsEveryReferencingSetOnceAtItsNextBind) {
    Image2D* first = makeTexture();
    Image2D* second = makeTexture();
    auto* sampler = new Sampler(device, Sampler::defaultInfo());
    TextureBinding texture(&first->imageView, sampler);
    uniformStorage->beginSlot();
    StorageBinding block(uniformStorage, 16);
    float values[4] = {};
    block.write(values);

    DataBinding textureEntry{1, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, &texture};
    auto* a = new DataSet(device, descriptorPool, {storageEntry(0, &block), textureEntry});
    auto* b = new DataSet(device, descriptorPool, {textureEntry});
    auto* unrelated = new DataSet(device, descriptorPool, {storageEntry(0, &block)});
    EXPECT_EQ(texture.listeners.size(), 2u);
    EXPECT_EQ(a->buildCount, 1u);
    VkDescriptorSet oldA = a->set;

    texture.replace(&second->imageView);
    EXPECT_TRUE(a->dirty);
    EXPECT_TRUE(b->dirty);
    EXPECT_FALSE(unrelated->dirty);
    EXPECT_EQ(a->buildCount, 1u); // nothing is rebuilt until the set is bound

    CommandContext context;
    for (int bind = 0; bind < 3; ++bind) {
        for (DataSet* s : {a, b, unrelated}) {
            bindDataSet(&context, s);
            context.pendingSetCount = 0;
            context.pendingOffsetCount = 0;
        }
    }
    EXPECT_EQ(a->buildCount, 2u);
    EXPECT_EQ(b->buildCount, 2u);
    EXPECT_EQ(unrelated->buildCount, 1u);
    EXPECT_FALSE(a->dirty);
    EXPECT_NE(a->set, VkDescriptorSet(VK_NULL_HANDLE));
    (void)oldA; // the replaced set is retired through the device's deferred list

    // A released texture detaches its entries instead of leaving them pointing at a dead view.
    texture.released = 1;
    texture.notify();
    EXPECT_TRUE(texture.listeners.empty()); // the detached sets stop listening to the released record
    EXPECT_EQ(b->bindings[0].type, uint32_t(DETACHED));
    EXPECT_EQ(a->bindings[1].type, uint32_t(DETACHED));
    bindDataSet(&context, b);
    EXPECT_EQ(b->buildCount, 3u);

    unregisterResource(device, b);
    unregisterResource(device, a);
    unregisterResource(device, unrelated);
    device->registry.frameSubmitted();
    device->registry.allFramesCompleted();
    EXPECT_TRUE(texture.listeners.empty());
}

TEST_F(DataSetGpuTest, StructuredBufferReplacementAndWriteOnceSets) {
    auto* first = new StructuredBuffer(device, 16, 4);
    auto* second = new StructuredBuffer(device, 32, 4);
    BufferBinding buffer(first);
    auto* set =
        new DataSet(device, descriptorPool, {{2, STRUCTURED_BUFFER, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER, &buffer}});
    EXPECT_EQ(set->dynamicOffsetCount(), 0u);
    buffer.replace(second);
    EXPECT_TRUE(set->dirty);
    CommandContext context;
    bindDataSet(&context, set);
    EXPECT_EQ(set->buildCount, 2u);
    EXPECT_EQ(context.pendingOffsetCount, 0u);

    // A write-once set with a single texture entry.
    Image2D* image = makeTexture();
    auto* sampler = new Sampler(device, Sampler::defaultInfo());
    DescriptorBinding entry;
    entry.binding = 0;
    entry.type = TEXTURE;
    entry.object = &image->imageView;
    entry.sampler = sampler;
    auto* fontSet = new DescriptorSet({entry}, descriptorPool);
    EXPECT_EQ(fontSet->pool, descriptorPool);
    EXPECT_NE(fontSet->set, VkDescriptorSet(VK_NULL_HANDLE));
    unregisterResource(device, fontSet);
    unregisterResource(device, set);
    // The binding record lives on this stack: let the set go before it does.
    device->registry.frameSubmitted();
    device->registry.allFramesCompleted();
}

TEST_F(DataSetGpuTest, BindingRecordDestroyedBeforeItsDeferredDataSetIsForgotten) {
    Image2D* image = makeTexture();
    auto* sampler = new Sampler(device, Sampler::defaultInfo());
    auto* texture = new TextureBinding(&image->imageView, sampler);
    auto* set = new DataSet(device, descriptorPool, {{1, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, texture}});
    // A destroyed data set stops listening to a record that lives on.
    TextureBinding kept(&image->imageView, sampler);
    auto* other = new DataSet(device, descriptorPool, {{1, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, &kept}});
    EXPECT_EQ(kept.listeners.size(), 1u);
    unregisterResource(device, other);
    device->registry.frameSubmitted();
    device->registry.allFramesCompleted();
    EXPECT_TRUE(kept.listeners.empty());
    // The owner releases its set (deferred: a frame may still use it) and deletes its record at once.
    unregisterResource(device, set);
    delete texture;
    EXPECT_EQ(set->bindings[0].type, uint32_t(DETACHED));
    device->registry.frameSubmitted();
    device->registry.allFramesCompleted(); // the set's destructor must not touch the deleted record
    unregisterResource(device, image);
    device->registry.allFramesCompleted();
}
