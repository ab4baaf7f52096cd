#pragma once
// The camera's math as plain functions: view and projection matrices, look angles, wheel rules and the demo
// glide. Matrices for the GPU are 32-bit and column-major (element (r, c) at m[c * 4 + r]).
#include "Demo/Scene/MathTypes.h"

#include <cstddef>
#include <cstdint>

namespace Demo {

struct Vec3f {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct Mat4f {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Mat4f operator*(const Mat4f& b) const;
};

// Set 0, binding 0 of every world-space pipeline (104 bytes).
struct CameraBlock {
    float viewProjection[16];
    float eye[3];
    float pad0;
    float direction[3];
    float pad1;
    float nearPlane;
    float farPlane;
};
static_assert(sizeof(CameraBlock) == 104);
static_assert(offsetof(CameraBlock, eye) == 64);
static_assert(offsetof(CameraBlock, direction) == 80);
static_assert(offsetof(CameraBlock, nearPlane) == 96);
static_assert(offsetof(CameraBlock, farPlane) == 100);

constexpr float PitchLimit = 1.553343f; // just short of straight up or down
constexpr float LookRadiansPerPixel = 0.002f;

// (0, 0, 1) turned about x by pitch, then about y by yaw.
Vec3f forwardFromYawPitch(float yaw, float pitch);
// yaw = atan2(d.x, d.z), pitch = -asin(d.y) of a unit direction.
void yawPitchFromDirection(const Vec3d& direction, float& yaw, float& pitch);
float clampPitch(float pitch);

// Up vector of the view: (0, -1, 0) (the Vulkan clip space's y points down), tilted when looking straight along it.
Vec3f viewUpFor(const Vec3f& direction);
// Right-handed look-at.
Mat4f lookAt(const Vec3f& eye, const Vec3f& center, const Vec3f& up);
// Perspective with depth 0 at the near plane and 1 at the far plane.
Mat4f perspective(float fovDegrees, float aspect, float nearPlane, float farPlane);

// Free-flight wheel: speed scales by (1 + zoomSpeed w t / 4), kept in [1e-6, 500].
double wheelMoveSpeed(double moveSpeed, double zoomSpeed, double w, double frameMs);
// Orbit wheel: distance scales by (1 - k w t), kept between the minimum and 0.75 of the far plane.
double wheelOrbitDistance(double orbitDistance, double k, double w, double frameMs, double minimum, double farPlane);
// Closest orbit around a target: 1.2 radii (at least 0.1), or 10 without a target.
double orbitMinimum(bool hasTarget, float targetRadius);
// Default orbit distance for a target: three radii, at least 1.
double orbitDistanceFor(float targetRadius);

// Demo direction from (prograde, normal, radial) weights and the craft's velocity and position relative to
// its reference body (already given their fallbacks). A zero weight vector means pure normal.
Vec3d demoDirection(const Vec3d& pnr, const Vec3d& velocity, const Vec3d& position);
// Rotation that looks along `dir`: Euler (-asin(-dir.y), atan2(-dir.x, -dir.z), 0).
Quatd demoGoalRotation(const Vec3d& dir);
// Shorter-arc spherical interpolation; nearly equal rotations blend linearly.
Quatd slerpCamera(const Quatd& from, const Quatd& to, double t);
// Framing a body on its lit side: the camera sits off the direction to the star by a turn about the world y axis
// and a small lift above the body's equatorial plane, so that the day side, the terminator and a pole show.
constexpr double LitSideAngle = 0.6981317007977318;     // 40 degrees
constexpr double LitSideElevation = 0.17453292519943295; // 10 degrees
// The camera's viewing direction (towards the body) for that framing; `bodyToStar` need not be normalised.
// A zero vector gives (0, 0, 1).
Vec3d litSideViewDirection(const Vec3d& bodyToStar, double sideAngle, double elevation);
// Yaw and pitch of a rotation's forward axis.
void yawPitchFromRotation(const Quatd& q, float& yaw, float& pitch);

} // namespace Demo
