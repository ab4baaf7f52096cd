#include "Demo/Scene/CameraMath.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/Scene.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Demo;

static Vec3f apply(const Mat4f& m, Vec3f p) {
    return {m.m[0] * p.x + m.m[4] * p.y + m.m[8] * p.z + m.m[12], m.m[1] * p.x + m.m[5] * p.y + m.m[9] * p.z + m.m[13],
            m.m[2] * p.x + m.m[6] * p.y + m.m[10] * p.z + m.m[14]};
}

TEST(CameraMath, ForwardAndAnglesRoundTrip) {
    Vec3f f = forwardFromYawPitch(0.0f, 0.0f);
    EXPECT_NEAR(f.z, 1.0f, 1e-6f);
    f = forwardFromYawPitch(float(M_PI / 2), 0.0f);
    EXPECT_NEAR(f.x, 1.0f, 1e-6f);
    f = forwardFromYawPitch(0.0f, 0.5f);
    EXPECT_LT(f.y, 0.0f); // positive pitch looks down (-y)
    float yaw, pitch;
    yawPitchFromDirection(normalize(Vec3d{0.3, -0.4, 0.8}), yaw, pitch);
    Vec3f back = forwardFromYawPitch(yaw, pitch);
    Vec3d d = normalize(Vec3d{0.3, -0.4, 0.8});
    EXPECT_NEAR(back.x, d.x, 1e-5);
    EXPECT_NEAR(back.y, d.y, 1e-5);
    EXPECT_NEAR(back.z, d.z, 1e-5);
}

TEST(CameraMath, PitchNeverLeavesItsLimits) {
    EXPECT_FLOAT_EQ(clampPitch(100.0f), 1.553343f);
    EXPECT_FLOAT_EQ(clampPitch(-7.0f), -1.553343f);
    EXPECT_FLOAT_EQ(clampPitch(0.25f), 0.25f);
}

TEST(CameraMath, WheelRules) {
    // Mode 0: one notch in a 16 ms frame multiplies the speed by 1.2.
    EXPECT_NEAR(wheelMoveSpeed(1.0, 0.05000000074505806, 1.0, 16.0), 1.2, 1e-6);
    EXPECT_EQ(wheelMoveSpeed(499.0, 0.05, 1.0, 1000.0), 500.0);
    EXPECT_EQ(wheelMoveSpeed(1e-6, 0.05, -1.0, 1000.0), 1e-6);
    // Mode 2, target radius 15: never below 18, never above 0.75 of the far plane (150000).
    double minimum = orbitMinimum(true, 15.0f);
    EXPECT_NEAR(minimum, 18.0, 1e-5);
    EXPECT_NEAR(wheelOrbitDistance(20.0, 0.05, 1.0, 16.0, minimum, 200000.0), 18.0, 1e-5);
    EXPECT_EQ(wheelOrbitDistance(149000.0, 0.05, -1.0, 16.0, minimum, 200000.0), 150000.0);
    EXPECT_EQ(orbitMinimum(false, 15.0f), 10.0);
    EXPECT_EQ(orbitMinimum(true, 0.01f), 0.1);
    EXPECT_EQ(orbitDistanceFor(0.2f), 1.0);
    EXPECT_NEAR(orbitDistanceFor(10.0f), 30.0, 1e-6);
}

TEST(CameraMath, LookAtStraightDownStaysValid) {
    Vec3f down = forwardFromYawPitch(0.0f, PitchLimit);
    Vec3f up = viewUpFor(down);
    Mat4f v = lookAt({0, 0, 0}, {down.x * 1000, down.y * 1000, down.z * 1000}, up);
    for (float x : v.m)
        EXPECT_TRUE(std::isfinite(x));
    // Exactly along the up vector: the substitute up keeps the basis finite.
    Vec3f straight{0.0f, -1.0f, 0.0f};
    Vec3f substitute = viewUpFor(straight);
    EXPECT_GT(substitute.z, 0.0f);
    Mat4f w = lookAt({0, 0, 0}, {0, -1000, 0}, substitute);
    for (float x : w.m)
        EXPECT_TRUE(std::isfinite(x));
    // The looked-at point ends on the -z axis of the view.
    Vec3f p = apply(w, {0, -5, 0});
    EXPECT_NEAR(p.x, 0.0f, 1e-4f);
    EXPECT_NEAR(p.y, 0.0f, 1e-4f);
    EXPECT_NEAR(p.z, -5.0f, 1e-4f);
}

TEST(CameraMath, PerspectiveMapsNearToZeroAndFarToOne) {
    Mat4f p = perspective(60.0f, 16.0f / 9.0f, 0.1f, 200000.0f);
    auto depth = [&](float z) {
        float clipZ = p.m[10] * z + p.m[14];
        float clipW = p.m[11] * z;
        return clipZ / clipW;
    };
    EXPECT_NEAR(depth(-0.1f), 0.0f, 1e-5f);
    EXPECT_NEAR(depth(-200000.0f), 1.0f, 1e-5f);
    EXPECT_NEAR(p.m[5], 1.0f / std::tan(30.0f * 0.017453292f), 1e-5f);
}

TEST(CameraMath, DemoDirectionOfZeroWeightsIsPureNormal) {
    Vec3d v{0, 0, 1}, r{1, 0, 0};
    Vec3d n = normalize(cross(v, r));
    Vec3d d = demoDirection({0, 0, 0}, v, r);
    EXPECT_NEAR(d.x, n.x, 1e-12);
    EXPECT_NEAR(d.y, n.y, 1e-12);
    EXPECT_NEAR(d.z, n.z, 1e-12);
    Vec3d pro = demoDirection({1, 0, 0}, v, r);
    EXPECT_NEAR(pro.z, -1.0, 1e-12); // prograde weight looks from behind
    Vec3d rad = demoDirection({0, 0, 1}, v, r);
    EXPECT_NEAR(rad.x, 1.0, 1e-12);
}

TEST(CameraMath, SlerpAndAngles) {
    Quatd a{}, b = Quatd::fromEuler({0.0, 1.0, 0.0});
    Quatd half = slerpCamera(a, b, 0.5);
    float yaw, pitch;
    yawPitchFromRotation(half, yaw, pitch);
    EXPECT_NEAR(yaw, 0.5f, 1e-6f);
    EXPECT_NEAR(pitch, 0.0f, 1e-6f);
    Quatd negated{-b.x, -b.y, -b.z, -b.w};
    Quatd viaShortArc = slerpCamera(a, negated, 0.5);
    yawPitchFromRotation(viaShortArc, yaw, pitch);
    EXPECT_NEAR(yaw, 0.5f, 1e-6f);
    Quatd same = slerpCamera(b, b, 0.3);
    EXPECT_NEAR(same.y, b.y, 1e-12);
    // The camera sits at target + dir and looks back along -dir.
    Vec3d dir = normalize(Vec3d{1, -1, 0.5});
    Vec3d forward = demoGoalRotation(dir).rotate({0, 0, 1});
    EXPECT_NEAR(forward.x, -dir.x, 1e-9);
    EXPECT_NEAR(forward.y, -dir.y, 1e-9);
    EXPECT_NEAR(forward.z, -dir.z, 1e-9);
}

TEST(RenderLayers, BlockForNoneThreeAndFortyAtmospheres) {
    LayerBlock none = computeLayerBlock({});
    EXPECT_EQ(none.layerCount, 1);
    EXPECT_EQ(none.bounds[0][0], 0.0f);
    EXPECT_EQ(none.bounds[0][1], 999999995904.0f);

    LayerBlock three = computeLayerBlock({4.0f, 9.0f, 16.0f});
    EXPECT_EQ(three.layerCount, 4);
    float expected[4][2] = {{0, 4}, {4, 9}, {9, 16}, {16, 999999995904.0f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(three.bounds[i][0], expected[i][0]) << i;
        EXPECT_EQ(three.bounds[i][1], expected[i][1]) << i;
    }

    std::vector<float> forty;
    for (int i = 0; i < 40; ++i)
        forty.push_back(float(i + 1));
    LayerBlock many = computeLayerBlock(forty);
    EXPECT_EQ(many.layerCount, 32);
    EXPECT_EQ(many.bounds[30][1], 31.0f);
    EXPECT_EQ(many.bounds[31][0], 31.0f);
    EXPECT_EQ(many.bounds[31][1], 999999995904.0f); // not atmosphere 31's distance
}

TEST(DemoCameraHeadless, SetTargetAndModesWithoutAGpu) {
    Scene scene;
    auto* camera = new DemoCamera("MainCamera", &scene);
    scene.add(camera);
    EXPECT_EQ(scene.mainCamera, camera); // the first camera becomes the main camera
    auto* body = new SceneObject("Body", &scene);
    scene.add(body);
    body->transform->position = {10.0, 0.0, 0.0};
    body->transform->markDirty();
    camera->Create();
    camera->setTarget(body);
    EXPECT_EQ(camera->orbitDistance, 3.0); // a plain object counts as radius 1
    camera->setMode(TARGET_FOCUS);
    CameraInput input;
    input.frameMs = 16.0;
    camera->updateMode(input);
    camera->transform->updateMatrix();
    Vec3d eye = camera->transform->worldPosition();
    EXPECT_NEAR(length(eye - Vec3d{10.0, 0.0, 0.0}), 3.0, 1e-5);
    // Mode 1 without a target leaves the camera where it is.
    camera->setTarget(nullptr);
    camera->setMode(TARGET_FOLLOW);
    camera->updateMode(input);
    camera->transform->updateMatrix();
    EXPECT_EQ(camera->transform->worldPosition(), eye);
}

// --target frames a body from the star's side, 30 to 45 degrees off the star direction, so that the day side
// fills the middle of the view and the terminator shows at one edge.
TEST(CameraMath, LitSideFramingLooksAtTheDaySide) {
    for (Vec3d toStar : {Vec3d{-100.0, 0.0, 0.0}, Vec3d{3.0, 0.5, -4.0}, Vec3d{0.0, 0.0, 2.0}}) {
        Vec3d forward = litSideViewDirection(toStar, LitSideAngle, LitSideElevation);
        EXPECT_NEAR(length(forward), 1.0, 1e-12);
        Vec3d cameraSide = -forward; // from the body towards the camera
        double angle = std::acos(dot(cameraSide, normalize(toStar))) * 180.0 / 3.141592653589793;
        EXPECT_GT(angle, 30.0);
        EXPECT_LT(angle, 45.0);
        EXPECT_GT(cameraSide.y, normalize(toStar).y) << "lifted above the star's direction";
    }
    EXPECT_EQ(litSideViewDirection({}, LitSideAngle, LitSideElevation).z, 1.0);
}
