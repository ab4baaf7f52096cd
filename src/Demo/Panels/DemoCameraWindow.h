#pragma once
// The camera's settings window, "Demo Camera (" + name + ")": mode, target, near and far planes, speeds,
// sensitivity and orbit distance.

namespace Demo {

class DemoCamera;
class Scene;

struct DemoCameraWindow {
    bool hidden = false; // the close button hides the window; the menu bar shows it again
};

// Builds the window inside the open UI frame (nothing without one) while it is not hidden; the target combo offers
// every object of `scene` but the camera.
void drawDemoCameraWindow(DemoCameraWindow& window, DemoCamera& camera, const Scene& scene);

} // namespace Demo
