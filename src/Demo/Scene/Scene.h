#pragma once
// The scene: the owning list of objects in creation order, the main camera and the star that lights it.
#include "Demo/Scene/FrameContext.h"

#include <vector>

namespace Demo {

class SceneObject;
class DemoCamera;
class Star;

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
    void update(const FrameContext& frame);
    void updateUniforms(const FrameContext& frame);

    // Filled by the application before the scene is set up; objects read it at creation.
    Services services;
    DemoCamera* mainCamera = nullptr;
    // The first star added: it lights the surfaces, and bodies orbiting it are cached relative to the origin.
    // Cleared when that star is destroyed.
    Star* primaryStar = nullptr;
    std::vector<SceneObject*> objects;
};

} // namespace Demo
