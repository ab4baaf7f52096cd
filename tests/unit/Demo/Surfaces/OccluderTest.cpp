#include "Demo/Surfaces/AstroSurface.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Demo;

namespace {

constexpr uint32_t Star = 1, Solid = 2, Gas = 3, Craft = 4;

// The star at the origin, the owner 1000 units out along x with radius 10.
const Vec3d StarAt{0.0, 0.0, 0.0};
const Vec3d OwnerAt{1000.0, 0.0, 0.0};

ShadowBlock shadowOf(const std::vector<OccluderCandidate>& candidates, double ownerRadius = 10.0) {
    return computeShadowBlock(StarAt, 100.0, OwnerAt, ownerRadius, candidates);
}

} // namespace

TEST(Occluders, NoneWithoutPlanetsBetweenAndTheStarIsStored) {
    ShadowBlock block = shadowOf({{OwnerAt, 10.0, Solid, true}});
    EXPECT_EQ(block.occluderCount, 0u);
    EXPECT_FLOAT_EQ(block.starRadius, 100.0f);
    EXPECT_FLOAT_EQ(block.starPosition[0], 0.0f);

    // A planet well off the star-owner line does not shade the owner either.
    block = shadowOf({{{500.0, 400.0, 0.0}, 10.0, Solid, false}});
    EXPECT_EQ(block.occluderCount, 0u);
}

TEST(Occluders, APlanetBetweenStarAndOwnerIsListedWithPositionAndRadius) {
    ShadowBlock block = shadowOf({{{600.0, 5.0, -3.0}, 20.0, Gas, false}});
    ASSERT_EQ(block.occluderCount, 1u);
    EXPECT_FLOAT_EQ(block.occluders[0][0], 600.0f);
    EXPECT_FLOAT_EQ(block.occluders[0][1], 5.0f);
    EXPECT_FLOAT_EQ(block.occluders[0][2], -3.0f);
    EXPECT_FLOAT_EQ(block.occluders[0][3], 20.0f);

    // Off the line, but the discs seen from the star still overlap: asin(20/600) + asin(10/1000) > angle.
    double angle = std::asin(20.0 / 600.0) + std::asin(10.0 / 1000.0) - 0.005;
    Vec3d beside{600.0 * std::cos(angle), 600.0 * std::sin(angle), 0.0};
    EXPECT_EQ(shadowOf({{beside, 20.0, Solid, false}}).occluderCount, 1u);
    angle += 0.01;
    beside = {600.0 * std::cos(angle), 600.0 * std::sin(angle), 0.0};
    EXPECT_EQ(shadowOf({{beside, 20.0, Solid, false}}).occluderCount, 0u);
}

TEST(Occluders, ABodyBeyondTheOwnerNeverOccludesWhateverItsSize) {
    for (double radius : {1.0, 50.0, 400.0, 5000.0})
        EXPECT_EQ(shadowOf({{{1500.0, 0.0, 0.0}, radius, Gas, false}}).occluderCount, 0u) << radius;
    // Farther from the star but to the side: its disc overlaps the owner's, yet it lies behind the owner.
    EXPECT_EQ(shadowOf({{{1200.0, 30.0, 0.0}, 40.0, Solid, false}}).occluderCount, 0u);
}

TEST(Occluders, OnlySolidAndGasPlanetsOtherThanTheOwnerAreListed) {
    const Vec3d between{500.0, 0.0, 0.0};
    EXPECT_EQ(shadowOf({{between, 30.0, Star, false}}).occluderCount, 0u);
    EXPECT_EQ(shadowOf({{between, 30.0, Craft, false}}).occluderCount, 0u);
    EXPECT_EQ(shadowOf({{between, 30.0, 0, false}}).occluderCount, 0u);
    EXPECT_EQ(shadowOf({{between, 30.0, Solid, true}}).occluderCount, 0u);
    EXPECT_EQ(shadowOf({{between, 30.0, Solid, false}, {between, 30.0, Gas, false}}).occluderCount, 2u);
}

TEST(Occluders, MoreThanSixteenKeepsTheFirstSixteenInSceneOrder) {
    std::vector<OccluderCandidate> candidates;
    candidates.push_back({{1500.0, 0.0, 0.0}, 5.0, Solid, false}); // beyond the owner, skipped
    for (int k = 0; k < 20; ++k)
        candidates.push_back({{100.0 + 40.0 * k, 0.0, 0.0}, 1.0 + k, k % 2 ? Gas : Solid, false});
    ShadowBlock block = shadowOf(candidates);
    ASSERT_EQ(block.occluderCount, 16u);
    for (int k = 0; k < 16; ++k) {
        EXPECT_FLOAT_EQ(block.occluders[k][0], float(100.0 + 40.0 * k)) << k;
        EXPECT_FLOAT_EQ(block.occluders[k][3], float(1.0 + k)) << k;
    }
}

TEST(Occluders, TheOwnersAtmosphereWidensItsDisc) {
    // Just outside the overlap for the bare body, inside once a 30-unit atmosphere is added.
    double angle = std::asin(20.0 / 600.0) + std::asin(10.0 / 1000.0) + 0.01;
    Vec3d beside{600.0 * std::cos(angle), 600.0 * std::sin(angle), 0.0};
    EXPECT_EQ(shadowOf({{beside, 20.0, Solid, false}}, 10.0).occluderCount, 0u);
    EXPECT_EQ(shadowOf({{beside, 20.0, Solid, false}}, 40.0).occluderCount, 1u);
}

TEST(Occluders, DegeneratePlacementsGiveNoOccludersAndNoNaN) {
    // The owner inside the star, and a candidate sitting exactly on the owner.
    ShadowBlock block = computeShadowBlock(StarAt, 100.0, StarAt, 10.0, {{{50.0, 0.0, 0.0}, 5.0, Solid, false}});
    EXPECT_EQ(block.occluderCount, 0u);
    block = shadowOf({{OwnerAt, 5.0, Solid, false}});
    EXPECT_EQ(block.occluderCount, 0u);
    // An owner larger than its distance to the star (angular radius capped at 90 degrees) still works.
    block = computeShadowBlock(StarAt, 1.0, {10.0, 0.0, 0.0}, 50.0, {{{5.0, 0.0, 0.0}, 1.0, Solid, false}});
    EXPECT_EQ(block.occluderCount, 1u);
    EXPECT_FALSE(std::isnan(block.occluders[0][0]));
}
