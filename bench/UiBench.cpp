// CPU time of one UI frame with the debug, settings and camera windows open: building the windows, ImGui's
// render, the geometry writes and the recording of the UI pass into a command buffer (not submitted).
// Target: at most 0.3 ms per frame (median). Run from the run directory (it loads assets/Roboto-Medium.ttf).
#include "App/UserInterface.h"
#include "App/Window.h"
#include "Demo/Panels/DemoCameraWindow.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/Frame/EngineContext.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/VulkanInstance.h"
#include "Engine/Images/Image.h"

#include <benchmark/benchmark.h>
#include <imgui.h>

#include <string>
#include <vector>

namespace {

void BM_UiFrameThreeWindows(benchmark::State& state) {
    VulkanInstance instance;
    instance.createHeadless();
    auto* engine = new EngineContext(instance.instance, VK_NULL_HANDLE, nullptr);
    GraphicsDevice* device = engine->device;
    DescriptorPool* pool = engine->descriptorPool;
    const uint32_t width = 1920, height = 1080;
    {
        UserInterface ui(device, pool, nullptr, VK_FORMAT_B8G8R8A8_SRGB);
        auto* target = new Image2D(device, width, height, VK_FORMAT_B8G8R8A8_SRGB, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT,
                                   VK_IMAGE_ASPECT_COLOR_BIT, 1);
        ImGui::GetIO().DisplaySize = ImVec2(float(width), float(height));

        // A scene of the solar system's size for the camera window's target list.
        Demo::Scene scene;
        auto* camera = new Demo::DemoCamera("MainCamera", &scene);
        scene.add(camera);
        for (int i = 0; i < 40; ++i)
            scene.add(new Demo::SceneObject("Body " + std::to_string(i), &scene));
        camera->mode = Demo::TARGET_FOCUS;
        camera->target = scene.objects[3];
        Demo::DemoCameraWindow cameraWindow;

        AppSettings appSettings;
        appSettings.display.monitorCount = 1;
        appSettings.display.resolutions = {{{1280, 720, {60}}, {1920, 1080, {60, 144}}, {2560, 1440, {60}}}};
        appSettings.display.resolutionIndex = 2;
        std::vector<PassTiming> passes{{"Upload", 0.01f, 0.01f}, {"Compute", 1.0f, 0.1f},       {"Main", 3.0f, 0.3f},
                                       {"Layers", 2.0f, 0.2f},   {"Post-process", 0.4f, 0.02f}, {"UI", 0.2f, 0.1f}};
        float exposure = 1.0f;
        ui.settings.closed = false;

        OneShotCommands commands(device);
        for (auto _ : state) {
            UiFrame frame;
            frame.visible = true;
            frame.frameTime = 16.0f;
            frame.drawCount = 120;
            frame.passTimings = &passes;
            frame.settings.settings = &appSettings;
            frame.settings.windowWidth = width;
            frame.settings.windowHeight = height;
            frame.settings.scene = &scene;
            frame.settings.exposure = &exposure;
            ui.update(frame);
            Demo::drawDemoCameraWindow(cameraWindow, *camera, scene);
            CommandContext* context = commands.begin();
            ui.record(context, target->image, target->imageView.view, width, height, true);
            vkEndCommandBuffer(context->commandBuffer);
            benchmark::DoNotOptimize(ui.renderer.lastPass.draws);
        }
        state.counters["draws"] = double(ui.renderer.lastPass.draws);
        state.counters["vertices"] = double(ui.renderer.lastPass.vertices);
        unregisterResource(device, target);
    }
    delete engine;
    instance.destroy();
}
BENCHMARK(BM_UiFrameThreeWindows)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace
