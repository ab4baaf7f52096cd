#include "Demo/Panels/ScenePanels.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Panels/AstroSettingsWindow.h"
#include "Demo/Panels/PredictionHorizon.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/Spacecraft.h"

namespace Demo {

ScenePanels::ScenePanels(Scene& scene_, AstroSystem* system_) : scene(scene_), system(system_) {
    if (system) {
        astro = std::make_unique<AstroSettingsWindow>(system);
        astro->setTarget(system->focusTarget);
    }
}

ScenePanels::~ScenePanels() = default;

void ScenePanels::draw(const Services& services) {
    if (scene.mainCamera)
        drawDemoCameraWindow(camera, *scene.mainCamera, scene);
    if (astro)
        astro->draw(services);
    if (system && system->spacecraft)
        drawHorizonOverlay(*system->spacecraft);
}

std::vector<PanelToggle> ScenePanels::toggles() {
    std::vector<PanelToggle> list;
    if (AstroSettingsWindow* window = astro.get()) {
        list.push_back(
            {"Astro settings", [window] { return !window->hidden; }, [window](bool on) { window->hidden = !on; }});
        if (Spacecraft* craft = system->spacecraft)
            list.push_back({"Mission editor", [window, craft] { return !window->hidden && window->target == craft; },
                            [window, craft](bool on) {
                                if (on)
                                    window->setTarget(craft);
                                window->hidden = !on;
                            }});
    }
    if (scene.mainCamera) {
        DemoCameraWindow* state = &camera;
        list.push_back({"Demo camera", [state] { return !state->hidden; }, [state](bool on) { state->hidden = !on; }});
    }
    return list;
}

} // namespace Demo
