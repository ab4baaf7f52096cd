#pragma once
// The camera's settings window, "Demo Camera (" + name + ")": mode, target, near and far planes, speeds,
// sensitivity and orbit distance.

namespace Demo {

class DemoCamera;
class Scene;

// Builds the window inside the open UI frame (nothing without one) while the camera's window is not hidden (its close
// button hides it); the target combo offers every object of `scene` but the camera.
void drawDemoCameraWindow(DemoCamera& camera, const Scene& scene);

} // namespace Demo
