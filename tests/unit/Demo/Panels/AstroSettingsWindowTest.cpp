// The astro settings window on the headless solar system, built in an ImGui context without renderer: the
// target list, the orbit section's invariants, the time entry, and edits made with the mouse and keyboard that
// reset the mission plan; every tab of every kind of target is built with all sections open.
#include "Demo/Panels/AstroSettingsWindow.h"
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Panels/AstroPanels.h"
#include "Demo/Panels/ScenePanels.h"
#include "Demo/Scenario/BodyVisualBuilder.h"
#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/MissionEditing.h"
#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/MissionText.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Demo/Spacecraft/SpacecraftPrediction.h"

#include "HeadlessImGui.h"
#include <gtest/gtest.h>

#include <imgui.h>
#include <imgui_internal.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

using namespace Demo;

namespace {

struct AstroWindowUi : ::testing::Test {
    AstroWindowUi() {
        context = createHeadlessImGuiContext();

        scene.services.demoEnabled = false;
        scene.services.bodyVisuals = &visuals; // surfaces and atmospheres, without their GPU parts
        camera = new DemoCamera("MainCamera", &scene);
        scene.add(camera);
        system = addSolarSystem(scene);
        system->cacheSlotCount = 131072;
        craft = dynamic_cast<Spacecraft*>(system->objects.back());
        craft->prediction->worker.setRingSize(262144);
        panels = std::make_unique<ScenePanels>(scene, system);
        window = panels->astro.get();
    }
    ~AstroWindowUi() override { ImGui::DestroyContext(context); }

    AstroObject* find(const char* name) const {
        for (AstroObject* o : system->objects)
            if (o->name == name)
                return o;
        return nullptr;
    }
    template <class F> void frame(F&& extra) {
        ImGui::NewFrame();
        extra();
        window->draw(scene.services);
        ImGui::EndFrame();
    }
    void frame() {
        frame([] {});
    }
    ImGuiWindow* imguiWindow() const { return ImGui::FindWindowByName("Astro Object Settings (AstroSystem)"); }
    // Selects the tab `name` of every tab bar that has one, from the next frame on.
    static void selectTab(const char* name) {
        ImGuiContext& g = *ImGui::GetCurrentContext();
        for (int n = 0; n < g.TabBars.GetMapSize(); ++n)
            if (ImGuiTabBar* bar = g.TabBars.TryGetMapData(n))
                for (ImGuiTabItem& tab : bar->Tabs)
                    if (std::strcmp(bar->GetTabName(&tab), name) == 0)
                        bar->NextSelectedTabId = tab.ID;
    }
    // The screen rectangle of item `id` of the window: made the navigation's item for a frame, whose rectangle
    // ImGui records while the item is built.
    ImRect itemRect(ImGuiID id) {
        ImGuiWindow* w = imguiWindow();
        frame([&] {
            ImGui::FocusWindow(w);
            ImGui::SetFocusID(id, w);
        });
        frame();
        return ImGui::WindowRectRelToAbs(w, w->NavRectRel[0]);
    }
    // A left click in the middle of a rectangle, then the characters typed one frame each.
    void clickAndType(const ImRect& r, const std::string& text) {
        ImGuiIO& io = ImGui::GetIO();
        io.MousePos = r.GetCenter();
        frame();
        io.MouseDown[0] = true;
        frame();
        io.MouseDown[0] = false;
        frame();
        for (char c : text) {
            io.AddInputCharacter(c);
            frame();
        }
    }

    BodyVisualBuilder visuals;
    Scene scene;
    ImGuiContext* context;
    DemoCamera* camera;
    AstroSystem* system;
    Spacecraft* craft;
    std::unique_ptr<ScenePanels> panels;
    AstroSettingsWindow* window;
};

} // namespace

TEST_F(AstroWindowUi, StartsOnTheSpacecraftAndBuildsEveryTabOfEveryKindOfTarget) {
    EXPECT_EQ(window->target, craft);
    EXPECT_FALSE(window->hidden);
    EXPECT_EQ(window->selectedManeuver, -1);
    // Outside a frame nothing is built.
    window->draw(scene.services);
    EXPECT_EQ(imguiWindow(), nullptr);

    window->expandAll = true;
    const char* tabs[] = {"System",  "Planet",  "Star",       "Spacecraft", "Navigation",
                          "Mission", "Surface", "Atmosphere", "Transit",    "Orbit"};
    for (AstroObject* target : {static_cast<AstroObject*>(system), find("Sun"), find("Earth"), find("Jupiter"),
                                static_cast<AstroObject*>(craft)}) {
        ASSERT_NE(target, nullptr);
        window->setTarget(target);
        for (const char* tab : tabs) {
            selectTab(tab);
            frame();
            frame();
        }
    }
    ImGuiWindow* w = imguiWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->Active);
    // The close button hides the window; hidden, it is not built.
    window->hidden = true;
    frame();
    EXPECT_FALSE(w->Active);
}

// Edits of an atmosphere nothing draws would change nothing: an airless moon offers no Atmosphere tab.
TEST_F(AstroWindowUi, OnlyABodyWithAnAtmosphereOffersItsTab) {
    auto offersAtmosphere = [&](const char* body) {
        window->setTarget(find(body));
        frame();
        frame();
        // Tabs submitted in the last frame carry its number.
        ImGuiContext& g = *ImGui::GetCurrentContext();
        for (int n = 0; n < g.TabBars.GetMapSize(); ++n)
            if (ImGuiTabBar* bar = g.TabBars.TryGetMapData(n))
                for (ImGuiTabItem& tab : bar->Tabs)
                    if (tab.LastFrameVisible == g.FrameCount && std::strcmp(bar->GetTabName(&tab), "Atmosphere") == 0)
                        return true;
        return false;
    };
    ASSERT_NE(find("Mimas (Saturn)"), nullptr);
    EXPECT_TRUE(offersAtmosphere("Earth"));
    EXPECT_FALSE(offersAtmosphere("Mimas (Saturn)"));
}

TEST_F(AstroWindowUi, OrbitSectionKeepsTheInvariantsWhileShown) {
    AstroObject* mars = find("Mars");
    window->setTarget(mars);
    frame();
    selectTab("Orbit");
    mars->orbit.e = 1.5;
    mars->orbit.a = 500.0;
    mars->orbit.i = -0.5;
    mars->orbit.ascendingNode = -1.0;
    mars->orbit.argPeriapsis = std::nan("");
    frame();
    EXPECT_EQ(mars->orbit.a, -500.0);
    EXPECT_EQ(classifyOrbit(mars->orbit), OrbitType::Hyperbolic);
    EXPECT_EQ(mars->orbit.i, 0.0);
    EXPECT_NEAR(mars->orbit.ascendingNode, TwoPi - 1.0, 1e-12);
    EXPECT_EQ(mars->orbit.argPeriapsis, 0.0);
    mars->orbit.e = 0.5;
    frame();
    EXPECT_EQ(mars->orbit.a, 500.0);

    // Another tab does not show the section: nothing is enforced there.
    selectTab("Planet");
    frame();
    mars->orbit.i = -0.5;
    frame();
    EXPECT_EQ(mars->orbit.i, -0.5);
}

// The "Time" field jumps as the script does: the cache is refilled before the next advance, which would otherwise
// take the empty cache for a slow worker and cut the time factor.
TEST_F(AstroWindowUi, TimeEntryJumpsTheSystemAndKeepsTheTimeFactor) {
    EXPECT_EQ(timeStepFromSeconds(1e6, 100.0, 5), 10000u);
    EXPECT_EQ(timeStepFromSeconds(1e6 + 99.9, 100.0, 5), 10000u); // truncated
    EXPECT_EQ(timeStepFromSeconds(-1.0, 100.0, 5), 5u);
    EXPECT_EQ(timeStepFromSeconds(std::nan(""), 100.0, 5), 5u);
    EXPECT_EQ(timeStepFromSeconds(1e6, 0.0, 5), 5u);
    EXPECT_EQ(timeStepFromSeconds(1e30, 100.0, 5), UINT64_MAX);

    scene.start();
    window->setTarget(system);
    frame();
    system->advanceTime(16.0f, false, false);
    system->timeFactor = 2560.0;
    ImGuiWindow* w = imguiWindow();
    ASSERT_NE(w, nullptr);
    const ImGuiID systemTab = ImHashStr("System", 0, ImHashStr("SystemTabs", 0, w->ID));
    clickAndType(itemRect(ImHashStr("Time", 0, systemTab)), "50000000");
    ImGuiIO& io = ImGui::GetIO();
    io.KeyMap[ImGuiKey_Enter] = 13;
    io.KeysDown[13] = true;
    frame();
    io.KeysDown[13] = false;
    ASSERT_EQ(system->timeStep, 500000u);
    EXPECT_EQ(system->previousTimeStep.load(), 500000u);
    for (int k = 0; k < 3; ++k)
        system->advanceTime(1000.0f, false, false);
    EXPECT_EQ(system->timeFactor, 2560.0);
    EXPECT_GE(system->timeStep, 500000u + 3 * 25u);
    // The craft was told of the jump: nothing was predicted that far, so it takes its orbit's state there.
    EXPECT_EQ(craft->simPosition, system->computeObjectPos(craft, 500000));
}

TEST_F(AstroWindowUi, TypedSunDensityChangesTheMassAndResetsThePlan) {
    scene.start();
    MissionPlan* plan = craft->missionPlan;
    ASSERT_NE(plan, nullptr);
    AstroObject* sun = find("Sun");
    window->setTarget(sun);
    frame();
    frame();
    system->timeStep = 5000; // the mission has run a while
    system->previousTimeStep.store(5000);

    ImGuiWindow* w = imguiWindow();
    ASSERT_NE(w, nullptr);
    ImGuiID tabs = ImHashStr("StarTabs", 0, w->ID);
    ImGuiID starTab = ImHashStr("Star", 0, tabs);
    ImRect density = itemRect(ImHashStr("Density", 0, starTab));
    ASSERT_GT(density.GetWidth(), 20.0f);
    clickAndType(density, "2");
    EXPECT_EQ(sun->density, 2.0);
    EXPECT_NEAR(sun->gravitationalParameter(), 2.0 * gravitationalParameter(100.0f, 1.0), 1e-18);
    EXPECT_EQ(system->timeStep, plan->startTimeStep) << "the plan was reset";

    // A negative radius would be a negative mass: it stops at 0.
    system->timeStep = 6000;
    ImRect radius = itemRect(ImHashStr("Radius", 0, starTab));
    clickAndType(radius, "-4");
    EXPECT_EQ(sun->radius, 0.0f);
    EXPECT_EQ(sun->gravitationalParameter(), 0.0);
    EXPECT_EQ(system->timeStep, plan->startTimeStep);
}

TEST_F(AstroWindowUi, MissionTabCopiesAndPastesThroughTheServicesClipboard) {
    scene.start();
    std::string clipboard;
    scene.services.setClipboard = [&](const std::string& text) { clipboard = text; };
    scene.services.getClipboard = [&]() { return clipboard; };
    MissionPlan* plan = craft->missionPlan;
    frame();
    selectTab("Mission");
    // Tall enough for the lists.
    frame([] {
        ImGui::SetWindowPos("Astro Object Settings (AstroSystem)", ImVec2(10, 4));
        ImGui::SetWindowSize("Astro Object Settings (AstroSystem)", ImVec2(700, 1070));
    });
    frame();
    ImGuiWindow* w = imguiWindow();
    ASSERT_NE(w, nullptr);
    const ImGuiID missionTab = ImHashStr("Mission", 0, ImHashStr("SpacecraftTabs", 0, w->ID));
    auto click = [&](const char* label) { clickAndType(itemRect(ImHashStr(label, 0, missionTab)), ""); };

    click("Copy to clipboard");
    EXPECT_EQ(clipboard, missionClipboardText(missionDataOf(*plan)));

    // A pasted mission replaces the plan; a malformed one is refused and shown with its line.
    clipboard =
        "scheduleManouver(100, 50, { 1, 0, 0 }, 30, 1, 3, 0);\nscheduleManouver(900, 50, { 0, 1, 0 }, 30, 1, 3, 0);";
    click("Paste from clipboard");
    ASSERT_EQ(plan->maneuvers.size(), 2u);
    EXPECT_EQ(plan->maneuvers[1].time, 900u);
    EXPECT_TRUE(plan->settings.empty());
    clipboard = "scheduleManouver(100, 50, { 1, 0, 0 }, 30, 1, 3, 0);\nscheduleManouver(1, 2, 3);";
    click("Paste from clipboard");
    EXPECT_EQ(plan->maneuvers.size(), 2u);
    EXPECT_TRUE(window->missionFile.messageIsError);
    EXPECT_NE(window->missionFile.message.find("line 2:"), std::string::npos) << window->missionFile.message;

    // "New Last" appends after the last burn and, with "Auto apply", applies at once.
    const ImGuiID table = ImHashStr("##maneuverTable", 0, missionTab);
    clickAndType(itemRect(ImHashStr("New Last", 0, table)), "");
    ASSERT_EQ(plan->maneuvers.size(), 3u);
    EXPECT_EQ(plan->maneuvers[2].time, 950u);
    EXPECT_EQ(plan->applyFrom, NothingToApply);
}

namespace {

// Answers every aim at once with a burn of thrust 77 along the normal.
struct InstantAimer : BurnAimer {
    bool start(const MissionData& mission, const AimRequest& r, std::string&) override {
        request = r;
        answer.converged = true;
        answer.aimed = mission.maneuvers[size_t(r.burn)];
        answer.aimed.direction = {0.0, 1.0, 0.0};
        answer.aimed.thrust = 77.0;
        answer.missBefore = 900.0;
        answer.missAfter = 0.5;
        pending = true;
        return true;
    }
    float progress() const override { return 0.5f; }
    void cancel() override {}
    bool finished(AimOutcome& outcome) override {
        if (!pending)
            return false;
        outcome = answer;
        pending = false;
        return true;
    }
    AimRequest request;
    AimOutcome answer;
    bool pending = false;
};

} // namespace

// "Aim" hands the selected burn to the solver; its answer is applied to the plan and "Undo" gives it back.
TEST_F(AstroWindowUi, AimSectionAimsTheSelectedBurnAndUndoes) {
    scene.start();
    InstantAimer aimer;
    scene.services.burnAimer = &aimer;
    MissionPlan* plan = craft->missionPlan;
    const Maneuver before = plan->maneuvers[1];
    window->selectedManeuver = 1;
    frame();
    selectTab("Mission");
    frame([] {
        ImGui::SetWindowPos("Astro Object Settings (AstroSystem)", ImVec2(10, 4));
        ImGui::SetWindowSize("Astro Object Settings (AstroSystem)", ImVec2(700, 1070));
    });
    frame();
    ImGuiWindow* w = imguiWindow();
    ASSERT_NE(w, nullptr);
    const ImGuiID missionTab = ImHashStr("Mission", 0, ImHashStr("SpacecraftTabs", 0, w->ID));
    window->aim.request.body = 4;
    plan->autoApply = false; // the edit stays pending where it can be read
    clickAndType(itemRect(ImHashStr("Aim", 0, missionTab)), "");
    EXPECT_EQ(aimer.request.burn, 1);
    EXPECT_EQ(aimer.request.body, 4);
    frame();
    EXPECT_EQ(plan->maneuvers[1].thrust, 77.0);
    EXPECT_EQ(plan->maneuvers[1].time, before.time);
    EXPECT_EQ(plan->applyFrom, before.time) << "the flight changes from the aimed burn on";

    clickAndType(itemRect(ImHashStr("Undo", 0, missionTab)), "");
    EXPECT_EQ(plan->maneuvers[1].thrust, before.thrust);
    EXPECT_EQ(plan->maneuvers[1].direction, before.direction);
}

// "Take a transfer": typed text goes into the field, a pasted cell line becomes a burn of the plan, "Undo" removes it.
TEST_F(AstroWindowUi, TransferSectionTakesAPastedCellIntoThePlan) {
    scene.start();
    std::string clipboard = "1000,1700,0.0013490985647043848,0.0017844484787334872,1.681345754533936e-05,yes,175,"
                            "0.5117019968251572,-0.30476601357903244,-0.8032924395338796,134.90985647043848";
    scene.services.getClipboard = [&]() { return clipboard; };
    MissionPlan* plan = craft->missionPlan;
    const size_t burns = plan->maneuvers.size();
    window->transfer.from = 3;
    frame();
    selectTab("Mission");
    frame([] {
        ImGui::SetWindowPos("Astro Object Settings (AstroSystem)", ImVec2(10, 4));
        ImGui::SetWindowSize("Astro Object Settings (AstroSystem)", ImVec2(700, 1070));
    });
    frame();
    ImGuiWindow* w = imguiWindow();
    ASSERT_NE(w, nullptr);
    const ImGuiID missionTab = ImHashStr("Mission", 0, ImHashStr("SpacecraftTabs", 0, w->ID));
    auto click = [&](const char* label, const std::string& typed = "") {
        clickAndType(itemRect(ImHashStr(label, 0, missionTab)), typed);
    };
    click("Take a transfer");
    click("##transferText", "1,2");
    EXPECT_EQ(window->transfer.text, "1,2");
    click("Take transfer");
    EXPECT_TRUE(window->transfer.messageIsError);
    EXPECT_NE(window->transfer.message.find("11 columns expected, got 2"), std::string::npos);
    EXPECT_EQ(plan->maneuvers.size(), burns);

    click("Paste##transfer");
    click("Take transfer");
    ASSERT_EQ(plan->maneuvers.size(), burns + 1) << window->transfer.message;
    const Maneuver& taken = plan->maneuvers[size_t(window->selectedManeuver)];
    EXPECT_EQ(taken.time, 1000u);
    EXPECT_EQ(taken.thrust, 134.90985647043848);
    click("Undo##transfer");
    EXPECT_EQ(plan->maneuvers.size(), burns);
}
