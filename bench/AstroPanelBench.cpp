// CPU time of building the astro settings window once per frame with Earth's surface tab and every section of
// the solid-surface editor open (tessellation, the eight generator layers, the height-map preview through its own
// descriptor set, the biome table): ImGui's new frame, the window, and ImGui's render into draw lists (the UI
// pass's recording is the UI benchmark's). Target: at most 0.5 ms per frame (median). Run from the run directory
// (the generator loads its compute shader).
#include "HeadlessImGui.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Panels/AstroSettingsWindow.h"
#include "Demo/Scenario/BodyVisualBuilder.h"
#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/Frame/EngineContext.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/VulkanInstance.h"
#include "Engine/Images/Image.h"

#include "HeadlessImGui.h"
#include <benchmark/benchmark.h>

#include <imgui.h>
#include <imgui_internal.h>

#include <cstring>

namespace {

void selectTab(const char* name) {
    ImGuiContext& g = *ImGui::GetCurrentContext();
    for (int n = 0; n < g.TabBars.GetMapSize(); ++n)
        if (ImGuiTabBar* bar = g.TabBars.TryGetMapData(n))
            for (ImGuiTabItem& tab : bar->Tabs)
                if (std::strcmp(bar->GetTabName(&tab), name) == 0)
                    bar->NextSelectedTabId = tab.ID;
}

void BM_AstroSettingsWindowSolidEditorExpanded(benchmark::State& state) {
    VulkanInstance instance;
    instance.createHeadless();
    auto* engine = new EngineContext(instance.instance, VK_NULL_HANDLE, nullptr);
    GraphicsDevice* device = engine->device;
    DescriptorPool* pool = engine->descriptorPool;
    DsUniformSingle* uniforms = engine->uniformStorage;
    auto* sampler = new Sampler(device, Sampler::defaultInfo());
    ImGuiContext* context = createHeadlessImGuiContext();
    {
        // The solar system without its GPU parts, its surfaces attached; Earth's surface gets a generator (a small
        // map: the panel does not depend on its size) that has generated once.
        Demo::BodyVisualBuilder visuals;
        Demo::Scene scene;
        scene.services.bodyVisuals = &visuals;
        auto* system = Demo::addSolarSystem(scene);
        Demo::Services gpu;
        gpu.device = device;
        gpu.descriptorPool = pool;
        gpu.uniformStorage = uniforms;
        gpu.uiSampler = sampler;
        Demo::AstroObject* earth = nullptr;
        for (Demo::AstroObject* o : system->objects)
            if (o->name == "Earth")
                earth = o;
        auto* surface = dynamic_cast<Demo::PlanetSurfaceSolid*>(earth->getSurface());
        surface->generator = new Demo::PlanetGenerator(gpu, 64);
        surface->generator->generationCount = 1;
        surface->regenerate = 0;

        Demo::AstroSettingsWindow window(system);
        window.setTarget(earth);
        window.expandAll = true;
        auto frame = [&] {
            ImGui::NewFrame();
            window.draw(gpu);
            ImGui::Render();
        };
        frame();
        selectTab("Surface");
        // As tall as the screen, so that as much of the editor is drawn as can be.
        ImGui::NewFrame();
        ImGui::SetWindowPos("Astro Object Settings (AstroSystem)", ImVec2(0, 0));
        ImGui::SetWindowSize("Astro Object Settings (AstroSystem)", ImVec2(700, 1080));
        window.draw(gpu);
        ImGui::Render();
        for (auto _ : state) {
            frame();
            benchmark::DoNotOptimize(ImGui::GetDrawData()->TotalVtxCount);
        }
        state.counters["vertices"] = double(ImGui::GetDrawData()->TotalVtxCount);
        state.counters["preview"] = window.previewSet ? 1.0 : 0.0;
    }
    ImGui::DestroyContext(context);
    unregisterResource(device, sampler);
    delete engine;
    instance.destroy();
}
BENCHMARK(BM_AstroSettingsWindowSolidEditorExpanded)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

} // namespace
