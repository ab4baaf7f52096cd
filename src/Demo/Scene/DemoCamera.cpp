#include "Demo/Scene/DemoCamera.h"

#include "Demo/Scene/FollowTarget.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/InputState.h"
#include "Demo/Scene/KeyBindings.h"
#include "Demo/Scene/Scene.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"

#include <algorithm>
#include <cmath>

namespace Demo {

// Positions read from transforms go through 32-bit floats, as the GPU sees them.
static Vec3d narrowed(const Vec3d& v) {
    return {double(float(v.x)), double(float(v.y)), double(float(v.z))};
}
static Vec3d toD(const Vec3f& v) {
    return {v.x, v.y, v.z};
}

CameraInput readCameraInput(const FrameContext& frame) {
    CameraInput in;
    if (InputState* input = frame.frame.input) {
        in.rightButton = held(input, KeyAction::Look);
        in.leftShift = held(input, KeyAction::Sprint);
        in.forward = held(input, KeyAction::MoveForward);
        in.back = held(input, KeyAction::MoveBack);
        in.left = held(input, KeyAction::MoveLeft);
        in.right = held(input, KeyAction::MoveRight);
        in.up = held(input, KeyAction::MoveUp);
        in.down = held(input, KeyAction::MoveDown);
        in.cursorDelta[0] = input->cursor[0] - input->previousCursor[0];
        in.cursorDelta[1] = input->cursor[1] - input->previousCursor[1];
        in.cursorCaptured = &input->cursorCaptured;
    }
    in.scroll = frame.frame.scroll;
    in.frameMs = frame.frame.frameTime;
    in.uiWantsInput = frame.frame.uiWantsInput;
    in.lookSensitivity = frame.frame.lookSensitivity;
    if (frame.services.captureCursor)
        in.captureCursor = &frame.services.captureCursor;
    return in;
}

DemoCamera::DemoCamera(std::string name_, Scene* scene_) : SceneObject(std::move(name_), scene_) {
    if (scene && !scene->mainCamera)
        scene->mainCamera = this;
}

DemoCamera::~DemoCamera() {
    if (SwapChain* swapChain = servicesOf(this).swapChain) {
        auto& listeners = swapChain->recreateListeners;
        listeners.erase(std::remove(listeners.begin(), listeners.end(), &resizeCallback), listeners.end());
    }
    if (scene && scene->mainCamera == this)
        scene->mainCamera = nullptr;
    delete view.uniformRecord;
}

void DemoCamera::Create() {
    const Services& services = servicesOf(this);
    resizeCallback = [this] { refreshProjection(); };
    if (services.swapChain)
        services.swapChain->recreateListeners.push_back(&resizeCallback);
    SceneObject::Create();
    view.uniformRecord = createUniformBinding(services, sizeof(CameraBlock));
    if (services.device && view.uniformRecord)
        dataSet = new DataSet(services.device, services.descriptorPool,
                              {{0, DATA_STORAGE, services.uniformStorage->descriptorType(), view.uniformRecord}});
    refreshProjection();
}

void DemoCamera::Start() {
    SceneObject::Start();
    offset = {0.0, 0.0, -orbitDistance};
    uploadView();
    if (target) {
        lastTargetPosition = targetPosition();
        followOffset = narrowed(transform->worldPosition()) - lastTargetPosition;
        demoPosition = narrowed(transform->worldPosition());
        demoRotation = transform->rotation;
    }
}

void DemoCamera::UpdateUniforms(const FrameContext& frame) {
    updateMode(readCameraInput(frame));
    uploadView();
    SceneObject::UpdateUniforms(frame);
}

float DemoCamera::targetRadius() const {
    FollowTarget* followed = target ? target->followTarget() : nullptr;
    return followed ? followed->followRadius() : 1.0f;
}

Vec3d DemoCamera::targetPosition() {
    return target ? narrowed(target->transform->worldPosition()) : Vec3d{};
}

void DemoCamera::setTarget(SceneObject* object) {
    target = object;
    if (!target)
        return;
    lastTargetPosition = targetPosition();
    if (mode == TARGET_FOLLOW)
        followOffset = narrowed(transform->worldPosition()) - lastTargetPosition;
    orbitDistance = orbitDistanceFor(targetRadius());
}

void DemoCamera::setMode(int32_t newMode) {
    int32_t previous = mode;
    mode = newMode;
    if (newMode == TARGET_FOLLOW && previous != TARGET_FOLLOW && target) {
        lastTargetPosition = targetPosition();
        followOffset = narrowed(transform->worldPosition()) - lastTargetPosition;
    }
    if (newMode == DEMO && previous != DEMO) {
        demoPosition = narrowed(transform->worldPosition());
        demoRotation = transform->rotation;
    }
    if (target)
        orbitDistance = orbitDistanceFor(targetRadius());
}

void DemoCamera::refreshProjection() {
    ProjectionParams& p = view.projectionParams;
    if (SwapChain* swapChain = servicesOf(this).swapChain; swapChain && swapChain->height > 0)
        p.aspect = float(swapChain->width) / float(swapChain->height);
    view.projection = perspective(p.fov, p.aspect, p.nearPlane, p.farPlane);
}

void DemoCamera::look(const CameraInput& in) {
    if (in.rightButton) {
        if (!looking && in.cursorCaptured && !*in.cursorCaptured) {
            if (in.captureCursor)
                (*in.captureCursor)(true);
            *in.cursorCaptured = 1;
        }
        // The configured sensitivity, scaled by the camera panel's own factor (1 unless edited there).
        float s = in.lookSensitivity * float(mouseSensitivity);
        yaw += in.cursorDelta[0] * LookRadiansPerPixel * s;
        pitch = clampPitch(pitch + in.cursorDelta[1] * LookRadiansPerPixel * s);
    } else if (looking && in.cursorCaptured && *in.cursorCaptured) {
        if (in.captureCursor)
            (*in.captureCursor)(false);
        *in.cursorCaptured = 0;
    }
    looking = in.rightButton;
    if (mode == FREE || mode == TARGET_FOLLOW) {
        transform->rotation = Quatd::fromEuler({pitch, yaw, 0.0});
        transform->markDirty();
    }
    wheel(in);
}

void DemoCamera::wheel(const CameraInput& in) {
    if (in.scroll == 0.0 || mode == DEMO)
        return;
    double w = std::clamp(in.scroll, -1.0, 1.0);
    double k = in.leftShift ? zoomSpeed * in.frameMs * zoomBoost : zoomSpeed;
    if (mode == FREE || mode == TARGET_FOLLOW)
        moveSpeed = wheelMoveSpeed(moveSpeed, zoomSpeed, w, in.frameMs);
    else
        orbitDistance =
            wheelOrbitDistance(orbitDistance, k, w, in.frameMs, orbitMinimum(target != nullptr, targetRadius()),
                               view.projectionParams.farPlane);
}

void DemoCamera::fly(const CameraInput& in) {
    double step = in.frameMs * moveSpeed * double(0.05f) * (in.leftShift ? sprintMultiplier : 1.0);
    Vec3d f = toD(forwardFromYawPitch(yaw, pitch));
    Vec3d r = normalize(Vec3d{-f.z, 0.0, f.x});
    Vec3d move;
    if (in.forward)
        move += f;
    if (in.back)
        move -= f;
    if (in.left)
        move += r;
    if (in.right)
        move -= r;
    if (in.up)
        move += Vec3d{0.0, 1.0, 0.0};
    if (in.down)
        move -= Vec3d{0.0, 1.0, 0.0};
    move = move * step;
    if (length(move) > 0.0001)
        transform->translate(move);
}

void DemoCamera::placeAndLookAtTarget(const Vec3d& position, const Vec3d& p) {
    if (auto parent = transform->parent.lock()) {
        parent->updateMatrix();
        transform->position = parent->worldMatrix.inverse().transformPoint(position);
    } else {
        transform->position = position;
    }
    transform->markDirty();
    Vec3d d = normalize(p - position);
    yawPitchFromDirection(d, yaw, pitch);
    transform->rotation = Quatd::fromEuler({pitch, yaw, 0.0});
    transform->markDirty();
}

// Falls back to the target's own axes where the motion vanishes: minus its forward axis for the velocity, its up
// axis for the position.
static void applyMotionFallbacks(SceneObject* body, Vec3d& position, Vec3d& velocity) {
    body->transform->updateMatrix();
    Quatd rotation = body->transform->worldRotation();
    if (length(velocity) < 1e-7)
        velocity = -rotation.rotate({0.0, 0.0, 1.0});
    if (length(position) < 1e-7)
        position = rotation.rotate({0.0, 1.0, 0.0});
}

void DemoCamera::relativeMotion(SceneObject* object, Vec3d& position, Vec3d& velocity) {
    position = {};
    velocity = {0.0, 0.0, 1.0};
    if (FollowTarget* followed = object->followTarget())
        followed->relativeMotion(position, velocity);
    applyMotionFallbacks(object, position, velocity);
}

void DemoCamera::demoMotion(SceneObject* object, int32_t referenceIndex, Vec3d& position, Vec3d& velocity) {
    position = {};
    velocity = {0.0, 0.0, 1.0};
    if (FollowTarget* followed = object->followTarget())
        followed->demoMotion(referenceIndex, position, velocity);
    applyMotionFallbacks(object, position, velocity);
}

void DemoCamera::updateMode(const CameraInput& in) {
    bool input = !in.uiWantsInput;
    switch (mode) {
    case FREE:
        if (input) {
            look(in);
            fly(in);
        }
        return;
    case DEMO:
        demoUpdate(in);
        return;
    default:
        break;
    }
    if (!target)
        return;
    Vec3d p = targetPosition();
    if (mode == TARGET_FOLLOW) {
        Vec3d delta = p - lastTargetPosition;
        lastTargetPosition = p;
        if (input) {
            look(in);
            fly(in);
        }
        transform->translate(narrowed(delta));
        followOffset = narrowed(transform->worldPosition()) - p;
        return;
    }
    if (input)
        look(in);
    Vec3d position;
    if (mode == TARGET_FOCUS) {
        position = p - toD(forwardFromYawPitch(yaw, pitch)) * orbitDistance;
    } else if (mode == TARGET_FIXED) {
        position = p + target->transform->worldRotationMatrix().transformVector({0.0, 0.0, orbitDistance});
    } else {
        Vec3d r{0.0, 1.0, 0.0}, v{0.0, 0.0, 1.0};
        if (target->followTarget())
            relativeMotion(target, r, v);
        if (mode == TARGET_PROGRADE)
            offset = -normalize(v) * orbitDistance;
        else if (mode == TARGET_RADIAL)
            offset = normalize(r) * orbitDistance;
        else
            offset = normalize(cross(r, v)) * orbitDistance;
        position = p + offset;
    }
    placeAndLookAtTarget(position, p);
}

void DemoCamera::demoUpdate(const CameraInput& in) {
    FollowTarget* followed = target ? target->followTarget() : nullptr;
    if (!followed)
        return;
    Vec3d p = targetPosition();
    Vec3d r, v;
    demoMotion(target, dominantObject, r, v);
    Vec3d dir = Demo::demoDirection(demoDirection, v, r);
    offset = dir;
    double distance = 3.0 * double(followed->followRadius()) + orbitDistance;
    demoPosition = p + dir * distance;
    demoRotation = demoGoalRotation(dir);

    double b = 1.0 - std::exp(-double(lerpSpeed) * in.frameMs);
    Vec3d current = narrowed(transform->worldPosition());
    Vec3d next = current * (1.0 - b) + demoPosition * b;
    if (auto parent = transform->parent.lock()) {
        parent->updateMatrix();
        transform->position = parent->worldMatrix.inverse().transformPoint(next);
    } else {
        transform->position = next;
    }
    transform->rotation = slerpCamera(transform->rotation, demoRotation, b);
    transform->markDirty();
    yawPitchFromRotation(transform->rotation, yaw, pitch);
}

void DemoCamera::uploadView() {
    transform->updateMatrix();
    Vec3d eye = transform->worldPosition();
    view.position = {float(eye.x), float(eye.y), float(eye.z)};
    view.yawPitch[0] = yaw;
    view.yawPitch[1] = pitch;
    view.direction = forwardFromYawPitch(yaw, pitch);
    Vec3f up = viewUpFor(view.direction);
    const Vec3f& d = view.direction;
    Vec3f center{view.position.x + 1000.0f * d.x, view.position.y + 1000.0f * d.y, view.position.z + 1000.0f * d.z};
    view.view = lookAt(view.position, center, up);
    view.viewRotation = lookAt({}, {1000.0f * d.x, 1000.0f * d.y, 1000.0f * d.z}, up);

    CameraBlock& block = view.uniformBlock;
    Mat4f viewProjection = view.projection * view.view;
    std::copy(std::begin(viewProjection.m), std::end(viewProjection.m), block.viewProjection);
    block.eye[0] = view.position.x;
    block.eye[1] = view.position.y;
    block.eye[2] = view.position.z;
    block.direction[0] = d.x;
    block.direction[1] = d.y;
    block.direction[2] = d.z;
    block.nearPlane = view.projectionParams.nearPlane;
    block.farPlane = view.projectionParams.farPlane;
    writeUniformBinding(view.uniformRecord, &block);
}

} // namespace Demo
