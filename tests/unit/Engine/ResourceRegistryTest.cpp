#include "Engine/GraphicsDevice/ResourceRegistry.h"

#include <gtest/gtest.h>

namespace {
struct Tracked : GraphicsResource {
    explicit Tracked(uint32_t t, int* deletions, bool deferred = false) : deletions(deletions) {
        tier = t;
        deferredRelease = deferred;
    }
    ~Tracked() override { ++*deletions; }
    int* deletions;
};
} // namespace

TEST(ResourceRegistry, RemoveSwapsLastIntoSlot) {
    ResourceRegistry registry;
    int deleted = 0;
    auto* a = new Tracked(3, &deleted);
    auto* b = new Tracked(3, &deleted);
    auto* c = new Tracked(3, &deleted);
    registry.add(a);
    registry.add(b);
    registry.add(c);
    EXPECT_EQ(c->slot, 2u);
    registry.remove(a);
    EXPECT_EQ(deleted, 1);
    ASSERT_EQ(registry.tierLists()[3].size(), 2u);
    EXPECT_EQ(registry.tierLists()[3][0], c);
    EXPECT_EQ(c->slot, 0u);
    registry.remove(c);
    registry.remove(b);
    EXPECT_TRUE(registry.tierLists()[3].empty());
    EXPECT_EQ(deleted, 3);
    // Clean-up after a failed start hands over resources that were never created.
    registry.remove(nullptr);
    registry.forget(nullptr);
    EXPECT_EQ(deleted, 3);
}

TEST(ResourceRegistry, TiersGrowAndTeardownGoesHighestFirst) {
    ResourceRegistry registry;
    std::vector<uint32_t> order;
    struct Ordered : GraphicsResource {
        Ordered(uint32_t t, std::vector<uint32_t>* order, ResourceRegistry* r) : order(order), registry(r) { tier = t; }
        // Owners unregister in their destructors; during teardown that must do nothing.
        ~Ordered() override {
            order->push_back(tier);
            registry->remove(this);
        }
        std::vector<uint32_t>* order;
        ResourceRegistry* registry;
    };
    registry.add(new Ordered(2, &order, &registry));
    EXPECT_EQ(registry.tierLists().size(), 3u);
    registry.add(new Ordered(7, &order, &registry));
    EXPECT_EQ(registry.tierLists().size(), 8u);
    for (uint32_t t = 3; t < 7; ++t)
        EXPECT_TRUE(registry.tierLists()[t].empty());
    registry.add(new Ordered(3, &order, &registry));
    registry.teardown();
    EXPECT_EQ(order, (std::vector<uint32_t>{7, 3, 2}));
    EXPECT_TRUE(registry.isShuttingDown());
}

TEST(ResourceRegistry, DeferredReleaseWaitsForItsFrame) {
    ResourceRegistry registry;
    int deleted = 0;
    auto* r = new Tracked(3, &deleted, true);
    registry.add(r);
    registry.frameSubmitted(); // frame 1 done recording
    uint64_t frame = registry.currentSerial(); // frame 2 records and releases the resource
    registry.remove(r);
    EXPECT_EQ(deleted, 0);
    registry.framesCompleted(frame - 1); // frame 1 finished on the GPU: frame 2 may still use it
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(registry.deferredCount(), 1u);
    registry.frameSubmitted();
    registry.framesCompleted(frame);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(registry.deferredCount(), 0u);
}

TEST(ResourceRegistry, TeardownDeletesDeferredOnce) {
    ResourceRegistry registry;
    int deleted = 0;
    auto* d = new Tracked(3, &deleted, true);
    auto* live = new Tracked(6, &deleted);
    registry.add(d);
    registry.add(live);
    registry.remove(d);
    registry.teardown();
    EXPECT_EQ(deleted, 2);
}

TEST(ResourceRegistry, ForgetUnlistsWithoutDeleting) {
    ResourceRegistry registry;
    int deleted = 0;
    Tracked a(3, &deleted), b(3, &deleted);
    registry.add(&a);
    registry.add(&b);
    registry.forget(&a);
    EXPECT_EQ(deleted, 0);
    ASSERT_EQ(registry.tierLists()[3].size(), 1u);
    EXPECT_EQ(registry.tierLists()[3][0], &b);
    EXPECT_EQ(b.slot, 0u);
    registry.forget(&a); // not listed any more: nothing happens
    EXPECT_EQ(registry.tierLists()[3].size(), 1u);
    registry.forget(&b);
}
