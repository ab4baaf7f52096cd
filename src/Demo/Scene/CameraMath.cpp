#include "Demo/Scene/CameraMath.h"

#include <algorithm>
#include <cmath>

namespace Demo {

Mat4f Mat4f::operator*(const Mat4f& b) const {
    Mat4f r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k)
                s += m[k * 4 + row] * b.m[c * 4 + k];
            r.m[c * 4 + row] = s;
        }
    return r;
}

static Vec3f normalizeF(Vec3f v) {
    float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return l > 0.0f ? Vec3f{v.x / l, v.y / l, v.z / l} : v;
}
static Vec3f crossF(Vec3f a, Vec3f b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
static float dotF(Vec3f a, Vec3f b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3f forwardFromYawPitch(float yaw, float pitch) {
    return normalizeF({std::sin(yaw) * std::cos(pitch), -std::sin(pitch), std::cos(yaw) * std::cos(pitch)});
}

void yawPitchFromDirection(const Vec3d& d, float& yaw, float& pitch) {
    yaw = float(std::atan2(d.x, d.z));
    pitch = float(-std::asin(std::clamp(d.y, -1.0, 1.0)));
}

float clampPitch(float pitch) {
    return std::clamp(pitch, -PitchLimit, PitchLimit);
}

Vec3f viewUpFor(const Vec3f& direction) {
    Vec3f up{0.0f, -1.0f, 0.0f};
    if (dotF(direction, up) > 0.999999f)
        up = normalizeF({0.0f, -1.0f, 0.1f});
    return up;
}

Mat4f lookAt(const Vec3f& eye, const Vec3f& center, const Vec3f& up) {
    Vec3f f = normalizeF({center.x - eye.x, center.y - eye.y, center.z - eye.z});
    Vec3f s = normalizeF(crossF(f, up));
    Vec3f u = crossF(s, f);
    Mat4f r;
    r.m[0] = s.x;
    r.m[4] = s.y;
    r.m[8] = s.z;
    r.m[1] = u.x;
    r.m[5] = u.y;
    r.m[9] = u.z;
    r.m[2] = -f.x;
    r.m[6] = -f.y;
    r.m[10] = -f.z;
    r.m[12] = -dotF(s, eye);
    r.m[13] = -dotF(u, eye);
    r.m[14] = dotF(f, eye);
    return r;
}

Mat4f perspective(float fovDegrees, float aspect, float n, float f) {
    float h = std::tan(fovDegrees * 0.017453292f / 2.0f);
    Mat4f r;
    for (float& v : r.m)
        v = 0.0f;
    r.m[0] = 1.0f / (h * aspect);
    r.m[5] = 1.0f / h;
    r.m[10] = f / (n - f);
    r.m[11] = -1.0f;
    r.m[14] = -(f * n) / (f - n);
    return r;
}

double wheelMoveSpeed(double moveSpeed, double zoomSpeed, double w, double t) {
    return std::clamp(moveSpeed * (1.0 + zoomSpeed * w * t * 0.25), 1e-6, 500.0);
}

double wheelOrbitDistance(double orbitDistance, double k, double w, double t, double minimum, double farPlane) {
    return std::min(std::max(orbitDistance * (1.0 - k * w * t), minimum), 0.75 * farPlane);
}

double orbitMinimum(bool hasTarget, float targetRadius) {
    return hasTarget ? std::max(double(1.2f * targetRadius), 0.1) : 10.0;
}

double orbitDistanceFor(float targetRadius) {
    return std::max(double(3.0f * targetRadius), 1.0);
}

Vec3d demoDirection(const Vec3d& pnr, const Vec3d& velocity, const Vec3d& position) {
    Vec3d w = length(pnr) > 1e-9 ? normalize(pnr) : Vec3d{0.0, 1.0, 0.0};
    Vec3d p = normalize(velocity), r = normalize(position);
    Vec3d n = normalize(cross(p, r));
    Vec3d dir = p * -w.x + n * w.y + r * w.z;
    return length(dir) > 1e-9 ? normalize(dir) : Vec3d{0.0, 1.0, 0.0};
}

Quatd demoGoalRotation(const Vec3d& dir) {
    Quatd q = Quatd::fromEuler({-std::asin(std::clamp(-dir.y, -1.0, 1.0)), std::atan2(-dir.x, -dir.z), 0.0});
    return q.normalized();
}

Quatd slerpCamera(const Quatd& from, const Quatd& to, double t) {
    return slerp(from, to, t, 0.9999999999999998);
}

void yawPitchFromRotation(const Quatd& q, float& yaw, float& pitch) {
    yaw = float(std::atan2(2.0 * (q.x * q.z + q.w * q.y), 1.0 - 2.0 * (q.x * q.x + q.y * q.y)));
    pitch = float(-std::asin(std::clamp(2.0 * (q.y * q.z - q.w * q.x), -1.0, 1.0)));
}

Vec3d litSideViewDirection(const Vec3d& bodyToStar, double sideAngle, double elevation) {
    double n = length(bodyToStar);
    if (!(n > 0.0))
        return {0.0, 0.0, 1.0};
    Vec3d s = bodyToStar / n;
    // Turn about y, then lift towards +y keeping the horizontal heading.
    double c = std::cos(sideAngle), sn = std::sin(sideAngle);
    Vec3d turned{c * s.x + sn * s.z, s.y, -sn * s.x + c * s.z};
    double horizontal = std::sqrt(turned.x * turned.x + turned.z * turned.z);
    double lifted = std::atan2(turned.y, horizontal) + elevation;
    Vec3d heading = horizontal > 0.0 ? Vec3d{turned.x / horizontal, 0.0, turned.z / horizontal} : Vec3d{1.0, 0.0, 0.0};
    Vec3d fromBody{heading.x * std::cos(lifted), std::sin(lifted), heading.z * std::cos(lifted)};
    return -fromBody; // the camera looks back at the body
}

} // namespace Demo
