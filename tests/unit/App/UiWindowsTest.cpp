#include "App/DebugWindow.h"
#include "App/SettingsWindow.h"
#include "App/UserInterface.h"
#include "Demo/Panels/DemoCameraWindow.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/InputState.h"
#include "Demo/Scene/Scene.h"

#include "HeadlessImGui.h"
#include <gtest/gtest.h>

#include <imgui.h>
#include <imgui_internal.h>

#include <cstring>

namespace {

// An ImGui context without renderer or window: frames are built and ended, nothing is drawn.
struct HeadlessUi : ::testing::Test {
    HeadlessUi() { context = createHeadlessImGuiContext(); }
    ~HeadlessUi() override { ImGui::DestroyContext(context); }
    template <class F> void frame(F&& build) {
        ImGui::NewFrame();
        build();
        ImGui::EndFrame();
    }
    ImGuiContext* context;
};

} // namespace

TEST(DebugWindowMath, FrameRateSmoothingConvergesToTheSteadyFrameTime) {
    float smoothed = 0.01f;
    for (int i = 0; i < 400; ++i)
        smoothed = smoothFrameTime(smoothed, 20.0f);
    EXPECT_NEAR(smoothed, 20.0f, 1e-3f);
    EXPECT_EQ(frameRateFromSmoothed(smoothed), 50);
    // One step carries 1/31 of the new frame time.
    EXPECT_NEAR(smoothFrameTime(31.0f, 62.0f), 32.0f, 1e-4f);
    EXPECT_EQ(frameRateFromSmoothed(0.8f), 1250);
    EXPECT_EQ(frameRateFromSmoothed(1000.0f / 62.5f), 63); // halves away from zero
    EXPECT_EQ(frameRateFromSmoothed(0.0f), 0);
}

TEST_F(HeadlessUi, CollapsedRenderingHeaderHoldsTheSmoothedFrameTime) {
    DebugWindowState state;
    DebugWindowInput input;
    input.frameTime = 20.0f;
    for (int i = 0; i < 300; ++i)
        frame([&] { drawDebugWindow(state, input); });
    EXPECT_EQ(frameRateFromSmoothed(state.smoothedFrameTime), 50);

    // Collapse the header as a click would; frames at 100 ms leave the value alone.
    ImGuiWindow* debug = ImGui::FindWindowByName("Debug");
    ASSERT_NE(debug, nullptr);
    ImGuiID header = debug->GetID("Rendering");
    debug->StateStorage.SetInt(header, 0);
    float held = state.smoothedFrameTime;
    input.frameTime = 100.0f;
    for (int i = 0; i < 50; ++i)
        frame([&] { drawDebugWindow(state, input); });
    EXPECT_EQ(state.smoothedFrameTime, held);

    // Reopened, it continues from the held value.
    debug->StateStorage.SetInt(header, 1);
    frame([&] { drawDebugWindow(state, input); });
    EXPECT_FLOAT_EQ(state.smoothedFrameTime, smoothFrameTime(held, 100.0f));

    // Closed, it is not built at all.
    state.open = false;
    frame([&] { EXPECT_FALSE(drawDebugWindow(state, input)); });
}

TEST(SettingsItems, MonitorAndResolutionItemsAndIndexClamps) {
    EXPECT_EQ(monitorItemCount(7), 5);
    EXPECT_EQ(monitorItemCount(2), 2);
    EXPECT_EQ(monitorItemCount(0), 0);

    std::vector<ResolutionEntry> entries{{1920, 1080, {60, 144}}, {1280, 720, {60}}};
    char buffer[64];
    ASSERT_EQ(writeResolutionItems(entries, buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 27), std::string("Native\0"
                                                   "1920x1080\0"
                                                   "1280x720\0\0",
                                                   27));
    ASSERT_EQ(writeRefreshRateItems(entries[0].refreshRates, buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 21), std::string("Native\0"
                                                   "60 Hz\0"
                                                   "144 Hz\0\0",
                                                   21));
    // A buffer too small for every item keeps the ones that fit, still ending with the empty item.
    ASSERT_EQ(writeResolutionItems(entries, buffer, 20), 2);
    EXPECT_EQ(std::string(buffer, 18), std::string("Native\0"
                                                   "1920x1080\0\0",
                                                   18));

    EXPECT_EQ(clampEntryIndex(9, 2), 2);
    EXPECT_EQ(clampEntryIndex(-4, 2), 0);
    EXPECT_EQ(clampEntryIndex(1, 2), 1);
    EXPECT_EQ(clampEntryIndex(3, 0), 0);

    // The panel centred on a 1920 x 1080 window: 600 wide, content ending at y = 400 with 8 px padding.
    PanelPosition at = settingsPanelPosition(1920, 1080, 600.0f, 400.0f, 8.0f);
    EXPECT_EQ(at.x, 660.0f);
    EXPECT_EQ(at.y, 336.0f);
    EXPECT_EQ(settingsPanelPosition(1921, 1081, 600.0f, 0.0f, 0.0f).x, 660.0f); // integer halves
}

TEST_F(HeadlessUi, SettingsPanelClampsIndicesKeepsThemWhenWindowedAndSitsCentred) {
    AppSettings appSettings;
    DisplaySettings& displaySettings = appSettings.display;
    displaySettings.monitorCount = 7;
    displaySettings.monitorIndex = 0;
    displaySettings.resolutions = {{{1920, 1080, {60, 144}}, {1280, 720, {60}}}};
    displaySettings.windowMode = 1;
    displaySettings.resolutionIndex = 9; // stored for a monitor with more modes
    displaySettings.refreshRateIndex = 5;
    SettingsWindow settings;
    settings.closed = false;
    DebugWindowState debug;
    SettingsWindowInput input;
    input.settings = &appSettings;
    input.windowWidth = 1920;
    input.windowHeight = 1080;
    input.debug = &debug;
    for (int i = 0; i < 3; ++i)
        frame([&] { settings.draw(input); });
    EXPECT_EQ(displaySettings.resolutionIndex, 2);
    EXPECT_EQ(displaySettings.refreshRateIndex, 1); // 1280x720 offers one rate

    displaySettings.resolutionIndex = 1;
    displaySettings.refreshRateIndex = 2;
    displaySettings.windowMode = 0;
    frame([&] { settings.draw(input); });
    EXPECT_EQ(displaySettings.resolutionIndex, 1);
    EXPECT_EQ(displaySettings.refreshRateIndex, 2);

    ImGuiWindow* panel = ImGui::FindWindowByName("Settings");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Size.x, SettingsWindow::Width);
    EXPECT_NEAR(panel->Pos.x + panel->Size.x / 2, 960.0f, 1.0f);
    // Centred on its content height as the cursor measures it (which counts one item spacing more).
    EXPECT_NEAR(panel->Pos.y + panel->Size.y / 2, 540.0f, ImGui::GetStyle().ItemSpacing.y);
    EXPECT_TRUE(panel->Flags & ImGuiWindowFlags_NoTitleBar);

    settings.closed = true;
    frame([&] { settings.draw(input); });
    EXPECT_FALSE(ImGui::FindWindowByName("Settings")->Active);
}

TEST_F(HeadlessUi, CameraWindowBuildsOnlyInsideAFrameAndHidesWhenClosed) {
    Demo::Scene scene;
    auto* camera = new Demo::DemoCamera("MainCamera", &scene);
    scene.add(camera);
    scene.add(new Demo::SceneObject("Earth", &scene));
    Demo::DemoCameraWindow state;
    // Outside a frame (no UI this frame) nothing happens.
    Demo::drawDemoCameraWindow(state, *camera, scene);
    EXPECT_EQ(ImGui::FindWindowByName("Demo Camera (MainCamera)"), nullptr);

    frame([&] { Demo::drawDemoCameraWindow(state, *camera, scene); });
    ImGuiWindow* window = ImGui::FindWindowByName("Demo Camera (MainCamera)");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Flags & ImGuiWindowFlags_AlwaysAutoResize);

    state.hidden = true;
    frame([&] { Demo::drawDemoCameraWindow(state, *camera, scene); });
    EXPECT_FALSE(window->Active);
}

TEST(UiInputRouting, SceneSeesNoKeyWhileTheUiHasTheInput) {
    uint8_t raw[256] = {};
    raw[Demo::VirtualKey::letter('W')] = 0x80;
    raw[Demo::VirtualKey::RightButton] = 0x80;
    uint8_t scene[256];
    Demo::InputState input;
    sceneKeySnapshot(raw, true, scene);
    input.advanceKeys(scene);
    EXPECT_FALSE(input.down(Demo::VirtualKey::letter('W')));
    EXPECT_FALSE(input.down(Demo::VirtualKey::RightButton));
    sceneKeySnapshot(raw, false, scene);
    input.advanceKeys(scene);
    EXPECT_TRUE(input.down(Demo::VirtualKey::letter('W')));
    EXPECT_TRUE(input.pressed(Demo::VirtualKey::RightButton));
}

TEST_F(HeadlessUi, AstroSettingsButtonShowsTheHiddenAstroWindowAgain) {
    DebugWindowState state;
    DebugWindowInput input;
    bool hidden = true;
    input.astroSettingsHidden = &hidden;
    frame([&] { drawDebugWindow(state, input); });
    ImGuiWindow* debug = ImGui::FindWindowByName("Debug");
    ASSERT_NE(debug, nullptr);
    // The button's rectangle, as the navigation records it for its item.
    frame([&] {
        ImGui::FocusWindow(debug);
        ImGui::SetFocusID(ImHashStr("Astro settings", 0, debug->ID), debug);
        drawDebugWindow(state, input);
    });
    frame([&] { drawDebugWindow(state, input); });
    ASSERT_TRUE(ImGui::GetCurrentContext()->NavIdIsAlive);
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = ImGui::WindowRectRelToAbs(debug, debug->NavRectRel[0]).GetCenter();
    frame([&] { drawDebugWindow(state, input); });
    io.MouseDown[0] = true;
    frame([&] { drawDebugWindow(state, input); });
    io.MouseDown[0] = false;
    frame([&] { EXPECT_FALSE(drawDebugWindow(state, input)); }); // not the settings
    EXPECT_FALSE(hidden);
}
