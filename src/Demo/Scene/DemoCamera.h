#pragma once
// The camera through which the scene is seen: view and projection, the 104-byte camera block bound as set 0 of
// every world-space pipeline, free flight, the target modes and the scripted demo glide.
#include "Demo/Scene/CameraMath.h"
#include "Demo/Scene/SceneObject.h"

#include <functional>

class DataSet;

namespace Demo {

struct FrameContext;

enum CameraMode : int32_t {
    FREE = 0,
    TARGET_FOLLOW = 1,
    TARGET_FOCUS = 2,
    TARGET_FIXED = 3,
    TARGET_PROGRADE = 4,
    TARGET_RADIAL = 5,
    TARGET_NORMAL = 6,
    DEMO = 7,
};
inline constexpr const char* CameraModeNames[8] = {
    "FREE",          "TARGET_FOLLOW", "TARGET_FOCUS", "TARGET_FIXED", "TARGET_PROGRADE",
    "TARGET_RADIAL", "TARGET_NORMAL", "DEMO"};

struct ProjectionParams {
    bool perspective = true;
    float fov = 60.0f; // vertical, degrees
    float aspect = 16.0f / 9.0f;
    float nearPlane = 0.1f;
    float farPlane = 200000.0f;
};

struct CameraView {
    Mat4f viewRotation;
    Mat4f view;
    Mat4f projection;
    StorageBinding* uniformRecord = nullptr;
    CameraBlock uniformBlock{};
    Vec3f direction{0.0f, 0.0f, 1.0f};
    Vec3f position;
    float yawPitch[2] = {0.0f, 0.0f};
    ProjectionParams projectionParams;
};

// What the camera reads each frame; the frame loop fills it from the keyboard, mouse and frame time.
struct CameraInput {
    bool rightButton = false, leftShift = false;
    bool forward = false, back = false, left = false, right = false, up = false, down = false;
    float cursorDelta[2] = {0.0f, 0.0f};
    double scroll = 0.0;
    double frameMs = 0.0;
    bool uiWantsInput = false;
    float lookSensitivity = 1.0f;
    // Cursor capture while looking: the input's captured flag and the platform's capture switch (either may
    // be null in tests).
    uint8_t* cursorCaptured = nullptr;
    const std::function<void(bool)>* captureCursor = nullptr;
};

class DemoCamera : public SceneObject {
public:
    DemoCamera(std::string name, Scene* scene);
    ~DemoCamera() override;

    void Create() override;
    void Start() override;
    void UpdateUniforms(const FrameContext& frame) override;

    void setTarget(SceneObject* object);
    void setMode(int32_t newMode);
    void refreshProjection();
    // Runs one frame of the mode update with explicit input (UpdateUniforms reads the real input).
    void updateMode(const CameraInput& input);
    // Recomputes the view from the transform and writes the camera block.
    void uploadView();

    std::function<void()> resizeCallback;
    DataSet* dataSet = nullptr;
    CameraView view;
    Vec3d offset;
    double orbitDistance = 200.0;
    Vec3d demoDirection;
    int32_t dominantObject = 0;
    double mouseSensitivity = 1.0; // multiplies the configured look sensitivity
    double moveSpeed = 1.0;
    double sprintMultiplier = 5.0;
    double zoomSpeed = 0.05000000074505806;
    double zoomBoost = 5.0;
    SceneObject* target = nullptr;
    int32_t mode = FREE;
    float yaw = 0.0f, pitch = 0.0f;
    bool looking = false;
    Vec3d lastTargetPosition;
    Vec3d followOffset;
    Vec3d demoPosition;
    Quatd demoRotation;
    float lerpSpeed = 2.0f;

private:
    Vec3d targetPosition();
    float targetRadius() const;
    void look(const CameraInput& input);
    void wheel(const CameraInput& input);
    void fly(const CameraInput& input);
    void placeAndLookAtTarget(const Vec3d& position, const Vec3d& targetPos);
    void demoUpdate(const CameraInput& input);

public:
    // Target motion relative to its reference body (modes 4 to 6), as the object tells it; where it tells none
    // (the root of the hierarchy, an object that is no follow target), velocity (0, 0, 1) and no position.
    // Vectors shorter than 1e-7 fall back to the object's own axes.
    void relativeMotion(SceneObject* object, Vec3d& position, Vec3d& velocity);
    // The demo mode's motion relative to body `referenceIndex` (absolute when negative), with the same fallbacks.
    void demoMotion(SceneObject* object, int32_t referenceIndex, Vec3d& position, Vec3d& velocity);
};

// The camera's input for this frame.
CameraInput readCameraInput(const FrameContext& frame);

} // namespace Demo
