#pragma once
// Double-precision vector, quaternion and matrix types of the scene and the simulation.
// Matrices are column-major (element (row r, column c) at m[c * 4 + r]), as the GPU blocks expect.
#include <cmath>

namespace Demo {

struct Vec3d {
    double x = 0.0, y = 0.0, z = 0.0;

    constexpr Vec3d() = default;
    constexpr Vec3d(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}

    constexpr Vec3d operator+(const Vec3d& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr Vec3d operator-(const Vec3d& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr Vec3d operator-() const { return {-x, -y, -z}; }
    constexpr Vec3d operator*(double s) const { return {x * s, y * s, z * s}; }
    constexpr Vec3d operator/(double s) const { return {x / s, y / s, z / s}; }
    constexpr Vec3d& operator+=(const Vec3d& o) {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }
    constexpr Vec3d& operator-=(const Vec3d& o) {
        x -= o.x;
        y -= o.y;
        z -= o.z;
        return *this;
    }
    constexpr bool operator==(const Vec3d& o) const { return x == o.x && y == o.y && z == o.z; }
};

constexpr Vec3d operator*(double s, const Vec3d& v) {
    return v * s;
}
constexpr double dot(const Vec3d& a, const Vec3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
constexpr Vec3d cross(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(const Vec3d& v) {
    return std::sqrt(dot(v, v));
}
// The zero vector stays zero.
inline Vec3d normalize(const Vec3d& v) {
    double l = length(v);
    return l > 0.0 ? v / l : v;
}

// Unit quaternion (x, y, z, w); identity (0, 0, 0, 1).
struct Quatd {
    double x = 0.0, y = 0.0, z = 0.0, w = 1.0;

    constexpr Quatd() = default;
    constexpr Quatd(double x_, double y_, double z_, double w_) : x(x_), y(y_), z(z_), w(w_) {}

    // Hamilton product: (a * b) rotates by b, then by a.
    constexpr Quatd operator*(const Quatd& b) const {
        return {w * b.x + x * b.w + y * b.z - z * b.y, w * b.y - x * b.z + y * b.w + z * b.x,
                w * b.z + x * b.y - y * b.x + z * b.w, w * b.w - x * b.x - y * b.y - z * b.z};
    }
    // Inverse of a unit quaternion.
    constexpr Quatd conjugate() const { return {-x, -y, -z, w}; }
    Quatd inverse() const {
        double n = x * x + y * y + z * z + w * w;
        return n > 0.0 ? Quatd{-x / n, -y / n, -z / n, w / n} : Quatd{};
    }
    Quatd normalized() const {
        double n = std::sqrt(x * x + y * y + z * z + w * w);
        return n > 0.0 ? Quatd{x / n, y / n, z / n, w / n} : Quatd{};
    }
    Vec3d rotate(const Vec3d& v) const {
        // v' = v + 2w (q × v) + 2 q × (q × v)
        Vec3d q{x, y, z};
        Vec3d t = cross(q, v) * 2.0;
        return v + t * w + cross(q, t);
    }

    // Euler angles in radians (pitch about x, yaw about y, roll about z) from half-angle products.
    static Quatd fromEuler(const Vec3d& angles) {
        double cx = std::cos(angles.x * 0.5), sx = std::sin(angles.x * 0.5);
        double cy = std::cos(angles.y * 0.5), sy = std::sin(angles.y * 0.5);
        double cz = std::cos(angles.z * 0.5), sz = std::sin(angles.z * 0.5);
        return {sx * cy * cz - cx * sy * sz, cx * sy * cz + sx * cy * sz, cx * cy * sz - sx * sy * cz,
                cx * cy * cz + sx * sy * sz};
    }
};

// Shorter-arc spherical interpolation; when the rotations' dot product is above `linearAbove` the blend is linear
// (not renormalised), where sin(theta) would divide by almost nothing.
inline Quatd slerp(const Quatd& from, const Quatd& to, double t, double linearAbove) {
    Quatd goal = to;
    double d = from.x * to.x + from.y * to.y + from.z * to.z + from.w * to.w;
    if (d < 0.0) {
        goal = {-to.x, -to.y, -to.z, -to.w};
        d = -d;
    }
    if (d > linearAbove)
        return {from.x + (goal.x - from.x) * t, from.y + (goal.y - from.y) * t, from.z + (goal.z - from.z) * t,
                from.w + (goal.w - from.w) * t};
    double theta = std::acos(d);
    double s = std::sin(theta);
    double a = std::sin((1.0 - t) * theta) / s, b = std::sin(t * theta) / s;
    return {from.x * a + goal.x * b, from.y * a + goal.y * b, from.z * a + goal.z * b, from.w * a + goal.w * b};
}

struct Mat4d {
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    static constexpr Mat4d identity() { return Mat4d{}; }
    constexpr double& at(int row, int column) { return m[column * 4 + row]; }
    constexpr double at(int row, int column) const { return m[column * 4 + row]; }

    constexpr Mat4d operator*(const Mat4d& b) const {
        Mat4d r;
        for (int c = 0; c < 4; ++c)
            for (int row = 0; row < 4; ++row) {
                double s = 0.0;
                for (int k = 0; k < 4; ++k)
                    s += at(row, k) * b.at(k, c);
                r.at(row, c) = s;
            }
        return r;
    }
    constexpr Vec3d transformPoint(const Vec3d& p) const {
        return {at(0, 0) * p.x + at(0, 1) * p.y + at(0, 2) * p.z + at(0, 3),
                at(1, 0) * p.x + at(1, 1) * p.y + at(1, 2) * p.z + at(1, 3),
                at(2, 0) * p.x + at(2, 1) * p.y + at(2, 2) * p.z + at(2, 3)};
    }
    constexpr Vec3d transformVector(const Vec3d& v) const {
        return {at(0, 0) * v.x + at(0, 1) * v.y + at(0, 2) * v.z, at(1, 0) * v.x + at(1, 1) * v.y + at(1, 2) * v.z,
                at(2, 0) * v.x + at(2, 1) * v.y + at(2, 2) * v.z};
    }
    constexpr Vec3d translation() const { return {m[12], m[13], m[14]}; }
    constexpr Vec3d column(int c) const { return {m[c * 4], m[c * 4 + 1], m[c * 4 + 2]}; }

    static constexpr Mat4d translate(const Vec3d& t) {
        Mat4d r;
        r.m[12] = t.x;
        r.m[13] = t.y;
        r.m[14] = t.z;
        return r;
    }
    static constexpr Mat4d scale(const Vec3d& s) {
        Mat4d r;
        r.m[0] = s.x;
        r.m[5] = s.y;
        r.m[10] = s.z;
        return r;
    }
    static constexpr Mat4d rotation(const Quatd& q) {
        Mat4d r;
        r.m[0] = 1 - 2 * (q.y * q.y + q.z * q.z);
        r.m[1] = 2 * (q.x * q.y + q.w * q.z);
        r.m[2] = 2 * (q.x * q.z - q.w * q.y);
        r.m[4] = 2 * (q.x * q.y - q.w * q.z);
        r.m[5] = 1 - 2 * (q.x * q.x + q.z * q.z);
        r.m[6] = 2 * (q.y * q.z + q.w * q.x);
        r.m[8] = 2 * (q.x * q.z + q.w * q.y);
        r.m[9] = 2 * (q.y * q.z - q.w * q.x);
        r.m[10] = 1 - 2 * (q.x * q.x + q.y * q.y);
        return r;
    }

    // General inverse by cofactors; the identity when the matrix is singular.
    Mat4d inverse() const;
    // Rotation of the upper 3 × 3 (columns assumed orthonormal), largest of w, x, y, z resolved first.
    Quatd toQuaternion() const;
};

inline Mat4d Mat4d::inverse() const {
    const double* a = m;
    double inv[16];
    inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
             a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
    inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] - a[8] * a[7] * a[14] -
             a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
    inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
             a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
    inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] - a[8] * a[6] * a[13] -
              a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
    inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] - a[9] * a[3] * a[14] -
             a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
    inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
             a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
    inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
             a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
    inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
              a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
    inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
             a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
    inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
             a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
    inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
              a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
    inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
              a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
    inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
             a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
    inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
             a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
    inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
              a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
    inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] + a[8] * a[1] * a[6] -
              a[8] * a[2] * a[5];
    double det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
    if (det == 0.0 || !std::isfinite(det))
        return Mat4d{};
    Mat4d r;
    for (int k = 0; k < 16; ++k)
        r.m[k] = inv[k] / det;
    return r;
}

inline Quatd Mat4d::toQuaternion() const {
    double m00 = at(0, 0), m11 = at(1, 1), m22 = at(2, 2);
    double fourW = m00 + m11 + m22;
    double fourX = m00 - m11 - m22;
    double fourY = m11 - m00 - m22;
    double fourZ = m22 - m00 - m11;
    int biggest = 0;
    double fourBiggest = fourW;
    if (fourX > fourBiggest) {
        fourBiggest = fourX;
        biggest = 1;
    }
    if (fourY > fourBiggest) {
        fourBiggest = fourY;
        biggest = 2;
    }
    if (fourZ > fourBiggest) {
        fourBiggest = fourZ;
        biggest = 3;
    }
    double big = std::sqrt(fourBiggest + 1.0) * 0.5;
    double mult = 0.25 / big;
    // at(row, column): m[c][r] in column-major notation
    double m12 = at(2, 1), m21 = at(1, 2); // column 1 row 2, column 2 row 1
    double m20 = at(0, 2), m02 = at(2, 0);
    double m01 = at(1, 0), m10 = at(0, 1);
    switch (biggest) {
    case 0:
        return {(m12 - m21) * mult, (m20 - m02) * mult, (m01 - m10) * mult, big};
    case 1:
        return {big, (m01 + m10) * mult, (m20 + m02) * mult, (m12 - m21) * mult};
    case 2:
        return {(m01 + m10) * mult, big, (m12 + m21) * mult, (m20 - m02) * mult};
    default:
        return {(m20 + m02) * mult, (m12 + m21) * mult, big, (m01 - m10) * mult};
    }
}

} // namespace Demo
