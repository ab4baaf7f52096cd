#include "Demo/Scene/Transform.h"

#include <algorithm>

namespace Demo {

Mat4d composeLocalMatrix(const Vec3d& position, const Quatd& rotation, const Vec3d& scale) {
    Mat4d r = Mat4d::rotation(rotation);
    // T × R × S without the general product: scale the rotation's columns, then set the translation.
    for (int row = 0; row < 3; ++row) {
        r.at(row, 0) *= scale.x;
        r.at(row, 1) *= scale.y;
        r.at(row, 2) *= scale.z;
    }
    r.m[12] = position.x;
    r.m[13] = position.y;
    r.m[14] = position.z;
    return r;
}

Transform::~Transform() {
    // This transform's own entry is already expired here; dropping every expired entry removes it.
    if (auto p = parent.lock())
        std::erase_if(p->children, [](const std::weak_ptr<Transform>& c) { return c.expired(); });
}

void Transform::markDirty() {
    if (dirty)
        return;
    dirty = 1;
    for (auto& weakChild : children)
        if (auto child = weakChild.lock())
            child->markDirty();
}

void Transform::updateMatrix() {
    if (!dirty)
        return;
    auto p = parent.lock();
    if (p) {
        p->updateMatrix();
        // The parent refreshes its children, this one included.
        if (!dirty)
            return;
    }
    Mat4d local = composeLocalMatrix(position, rotation, scale);
    worldMatrix = p ? p->worldMatrix * local : local;
    dirty = 0;
    for (auto& weakChild : children)
        if (auto child = weakChild.lock())
            child->updateMatrix();
}

void Transform::setParent(const std::shared_ptr<Transform>& newParent) {
    auto self = shared_from_this();
    if (auto old = parent.lock())
        std::erase_if(old->children, [&](const std::weak_ptr<Transform>& c) { return c.lock() == self; });
    parent.reset();
    if (newParent) {
        parent = newParent;
        newParent->children.push_back(self);
    }
    dirty = 0;
    markDirty();
}

Quatd Transform::parentWorldRotation() {
    auto p = parent.lock();
    if (!p)
        return Quatd{};
    p->updateMatrix();
    return p->worldRotationMatrix().toQuaternion();
}

void Transform::translate(const Vec3d& delta) {
    updateMatrix();
    if (auto p = parent.lock())
        position += p->worldMatrix.inverse().transformVector(delta);
    else
        position += delta;
    markDirty();
}

void Transform::setRotation(const Vec3d& angles, Space space) {
    Quatd q = Quatd::fromEuler(angles);
    if (space == World) {
        updateMatrix();
        rotation = parent.lock() ? parentWorldRotation().inverse() * q : q;
    } else {
        rotation = q;
    }
    markDirty();
}

void Transform::setWorldRotation(const Quatd& q) {
    updateMatrix();
    rotation = parent.lock() ? parentWorldRotation().inverse() * q : q;
    markDirty();
}

Mat4d Transform::worldRotationMatrix() {
    updateMatrix();
    Mat4d r;
    for (int c = 0; c < 3; ++c) {
        Vec3d axis = normalize(worldMatrix.column(c));
        r.at(0, c) = axis.x;
        r.at(1, c) = axis.y;
        r.at(2, c) = axis.z;
        r.at(3, c) = 0.0;
    }
    return r;
}

Quatd Transform::worldRotation() {
    return worldRotationMatrix().toQuaternion();
}

Vec3d Transform::worldPosition() {
    updateMatrix();
    return worldMatrix.translation();
}

Vec3d Transform::localUp() const {
    return normalize(rotation.rotate({0.0, 1.0, 0.0}));
}

void Transform::copyFrom(const Transform& other) {
    position = other.position;
    rotation = other.rotation;
    scale = other.scale;
    worldMatrix = other.worldMatrix;
    parent = other.parent;
    children = other.children;
    dirty = other.dirty;
}

} // namespace Demo
