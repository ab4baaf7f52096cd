#include "Demo/Scene/Transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace Demo;

namespace {
constexpr double HalfTurn = 1.5707963267948966;

void expectNear(const Vec3d& a, const Vec3d& b, double tolerance = 1e-12) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}
} // namespace

TEST(Transform, ChildOfRotatedParentLandsInParentFrame) {
    auto parent = std::make_shared<Transform>();
    auto child = std::make_shared<Transform>();
    child->setParent(parent);
    parent->position = {10, 0, 0};
    parent->setRotation({0, HalfTurn, 0});
    child->position = {1, 0, 0};
    child->markDirty();
    expectNear(child->worldPosition(), {10, 0, -1});
    // The world rotation of the child is the parent's: +x of the child points along world −z.
    expectNear(child->worldRotationMatrix().transformVector({1, 0, 0}), {0, 0, -1});
}

TEST(Transform, TranslateTakesWorldDeltaIntoParentFrame) {
    auto parent = std::make_shared<Transform>();
    auto child = std::make_shared<Transform>();
    child->setParent(parent);
    parent->setRotation({0, HalfTurn, 0});
    parent->scale = {2, 2, 2};
    parent->markDirty();
    child->translate({0, 0, -4}); // world −z is the parent's +x, at scale 2
    expectNear(child->position, {2, 0, 0});
    expectNear(child->worldPosition(), {0, 0, -4});
}

TEST(Transform, MovingParentMarksDescendantsAndReadingRefreshesChain) {
    auto root = std::make_shared<Transform>();
    auto mid = std::make_shared<Transform>();
    auto leaf = std::make_shared<Transform>();
    mid->setParent(root);
    leaf->setParent(mid);
    leaf->position = {0, 1, 0};
    leaf->markDirty();
    expectNear(leaf->worldPosition(), {0, 1, 0});
    ASSERT_FALSE(root->dirty || mid->dirty || leaf->dirty);

    root->position = {5, 0, 0};
    root->markDirty();
    EXPECT_TRUE(mid->dirty);
    EXPECT_TRUE(leaf->dirty);
    expectNear(leaf->worldPosition(), {5, 1, 0});
    EXPECT_FALSE(root->dirty); // the leaf's read refreshed the chain from the root down
    EXPECT_FALSE(mid->dirty);
}

TEST(Transform, MarkDirtyOnDirtyTransformDoesNotVisitChildren) {
    auto parent = std::make_shared<Transform>();
    auto child = std::make_shared<Transform>();
    child->setParent(parent);
    parent->updateMatrix();
    ASSERT_FALSE(child->dirty);
    parent->dirty = 1; // already dirty: markDirty stops here
    parent->markDirty();
    EXPECT_FALSE(child->dirty);
}

TEST(Transform, OrphanedChildBehavesAsRoot) {
    auto child = std::make_shared<Transform>();
    {
        auto parent = std::make_shared<Transform>();
        parent->position = {100, 0, 0};
        child->setParent(parent);
        child->position = {1, 2, 3};
        child->markDirty();
        expectNear(child->worldPosition(), {101, 2, 3});
    }
    child->markDirty();
    expectNear(child->worldPosition(), {1, 2, 3});
    child->translate({1, 0, 0});
    expectNear(child->position, {2, 2, 3});
}

TEST(Transform, DestroyedChildLeavesParentList) {
    auto parent = std::make_shared<Transform>();
    auto kept = std::make_shared<Transform>();
    kept->setParent(parent);
    {
        auto gone = std::make_shared<Transform>();
        gone->setParent(parent);
        EXPECT_EQ(parent->children.size(), 2u);
    }
    ASSERT_EQ(parent->children.size(), 1u);
    EXPECT_EQ(parent->children[0].lock(), kept);
}

TEST(Transform, WorldRotationAndEulerConversion) {
    auto parent = std::make_shared<Transform>();
    auto child = std::make_shared<Transform>();
    child->setParent(parent);
    parent->setRotation({0.3, -1.1, 0.7});
    Quatd wanted = Quatd::fromEuler({-0.4, 2.0, 0.1});
    child->setWorldRotation(wanted);
    Quatd got = child->worldRotation();
    // Same rotation up to the sign of the quaternion.
    double d = std::abs(got.x * wanted.x + got.y * wanted.y + got.z * wanted.z + got.w * wanted.w);
    EXPECT_NEAR(d, 1.0, 1e-12);

    child->setRotation({0, 0, HalfTurn}, Transform::World);
    expectNear(child->worldRotationMatrix().transformVector({1, 0, 0}), {0, 1, 0});

    Transform t;
    t.setRotation({HalfTurn, 0, 0});
    expectNear(t.localUp(), {0, 0, 1});
    // Scale does not leak into the world rotation matrix.
    t.scale = {3, 3, 3};
    t.markDirty();
    expectNear(t.worldRotationMatrix().transformVector({0, 1, 0}), {0, 0, 1});
}
