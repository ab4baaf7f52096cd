#pragma once
// The scene: the owning list of objects in creation order, the main camera, and what its objects receive from
// the application (the long-lived services and the inputs of the current frame).
#include "Demo/Scene/FrameContext.h"

#include <vector>

namespace Demo {

class SceneObject;
class DemoCamera;

class Scene {
public:
    Scene() = default;
    // Deletes the objects in list order (an astro system precedes its bodies, so its worker stops first).
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Appends an object; the scene owns it from now on.
    void add(SceneObject* object);

    // The frame passes: every object finishes one hook before any object receives the next.
    void start();
    void update();
    void updateUniforms();

    // The frame context handed to the hooks: the services (filled once at start) and this frame's inputs
    // (filled before every Update pass).
    FrameContext frameContext() { return {services, frameInput}; }

    DemoCamera* mainCamera = nullptr;
    std::vector<SceneObject*> objects;
    Services services;
    FrameInput frameInput;
};

} // namespace Demo
