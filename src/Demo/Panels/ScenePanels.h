#pragma once
// Every window of the scene in one place: the astro settings window (with the spacecraft's mission editor), the
// demo camera window and the prediction horizon line. The user interface builds them once a frame, inside its
// own frame and after its own windows; the menu bar shows and hides them through `toggles`.
#include "Demo/Panels/DemoCameraWindow.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Demo {

class AstroSettingsWindow;
class AstroSystem;
class Scene;
struct Services;

// A window as the menu bar lists it.
struct PanelToggle {
    std::string name;
    std::function<bool()> shown;
    std::function<void(bool)> setShown;
};

class ScenePanels {
public:
    // The astro window (none without a system) starts on the system's focus target.
    ScenePanels(Scene& scene, AstroSystem* system);
    ~ScenePanels();
    ScenePanels(const ScenePanels&) = delete;
    ScenePanels& operator=(const ScenePanels&) = delete;

    // Builds every shown window inside the open UI frame; nothing outside one.
    void draw(const Services& services);
    // "Astro settings", "Mission editor" (the spacecraft's page of the astro window) and "Demo camera", for those
    // the scene has.
    std::vector<PanelToggle> toggles();

    std::unique_ptr<AstroSettingsWindow> astro;
    DemoCameraWindow camera;

private:
    Scene& scene;
    AstroSystem* system = nullptr;
};

} // namespace Demo
