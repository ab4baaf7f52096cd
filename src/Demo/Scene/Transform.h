#pragma once
// Hierarchical transform in double precision. The world matrix is recomputed lazily: writers mark the
// transform dirty (which marks every descendant), readers call updateMatrix() first.
#include "Demo/Scene/MathTypes.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Demo {

class Transform : public std::enable_shared_from_this<Transform> {
public:
    enum Space : uint32_t { Local = 0, World = 1 };

    Transform() = default;
    // Removes this transform from its parent's children list.
    ~Transform();
    Transform(const Transform&) = delete;
    Transform& operator=(const Transform&) = delete;

    Vec3d position;                  // in the parent's frame (world units)
    Quatd rotation;                  // local rotation
    Vec3d scale{1.0, 1.0, 1.0};      // local scale
    Mat4d worldMatrix;               // column-major, valid after updateMatrix()
    std::weak_ptr<Transform> parent; // empty (or expired) = root
    std::vector<std::weak_ptr<Transform>> children;
    uint8_t dirty = 1;

    // Sets dirty on this transform and, unless it already was, on every descendant still alive.
    void markDirty();
    // Recomputes the world matrix when dirty (parent first), then refreshes the children depth first.
    void updateMatrix();

    // Attaches to `newParent` (null detaches); the local values are kept, so the world placement changes.
    void setParent(const std::shared_ptr<Transform>& newParent);

    // Moves by a world-space delta (taken into the parent's frame when there is a parent).
    void translate(const Vec3d& delta);
    // Euler angles in radians (pitch about x, yaw about y, roll about z), in the local or the world frame.
    void setRotation(const Vec3d& angles, Space space = Local);
    // Sets the rotation so that the world rotation becomes q.
    void setWorldRotation(const Quatd& q);

    // World matrix with unit-length axes and no translation.
    Mat4d worldRotationMatrix();
    // The world rotation as a quaternion (rotation part of the world matrix).
    Quatd worldRotation();
    Vec3d worldPosition();
    // (0, 1, 0) turned by the local rotation.
    Vec3d localUp() const;

    // Copies position, rotation, scale, matrix, parent, children and dirty flag (the render snapshot).
    void copyFrom(const Transform& other);

private:
    Quatd parentWorldRotation();
};

// Local matrix T × R × S of a position, rotation and scale.
Mat4d composeLocalMatrix(const Vec3d& position, const Quatd& rotation, const Vec3d& scale);

} // namespace Demo
