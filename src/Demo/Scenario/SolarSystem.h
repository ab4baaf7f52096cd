#pragma once
// The built-in planetary system: the Sun, 27 planets and moons and the spacecraft "Voyager".
namespace Demo {

class AstroSystem;
class AtmosphereManager;
class DemoCamera;
class RenderManager;
class Scene;

// Builds every body into `system` through the factory, in the fixed order that decides the body indices, and
// makes the spacecraft the system's focus target.
void buildSolarSystem(AstroSystem* system);

// A new astro system in `scene` (created, listed, owned by the scene) with the built-in solar system in it.
AstroSystem* addSolarSystem(Scene& scene);

// The program's scene, as the application and the full-scene tests run it: the main camera with the sky box,
// the astro system with the built-in solar system, and the atmosphere manager over the bodies' atmospheres,
// installed in `manager`. The scene owns the objects.
struct BuiltScene {
    DemoCamera* camera = nullptr;
    AstroSystem* system = nullptr;
    AtmosphereManager* atmospheres = nullptr; // owned by the render manager
};
BuiltScene buildScene(Scene& scene, RenderManager& manager);

} // namespace Demo
