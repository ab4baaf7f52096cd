// Cost of the atmosphere passes and the bloom at 1920 x 1080 on the device (lavapipe: the CPU), each recorded
// alone into a command buffer, submitted and waited for. Views as the program's --target views show them: Earth
// about 650 pixels across with its limb lit from behind, Jupiter's disc and haze, the Sun's corona.
// Run from build/run (shaders/ beside it): ./kestrune_bench --benchmark_filter=Atmosphere\|Bloom
#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scenario/AstroPresets.h"
#include "Demo/Scenario/BodyVisualBuilder.h"
#include "Demo/Scene/Bloom.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/AtmosphereManager.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/Frame/EngineContext.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/VulkanInstance.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cmath>
#include <functional>

using namespace Demo;

namespace {

constexpr uint32_t Width = 1920, Height = 1080;

// A solid body whose surface is never generated or drawn: its atmosphere alone (the pass costs the same over a
// drawn surface).
struct Ball : AstroObject {
    using AstroObject::AstroObject;
    uint32_t typeCode() const override { return ASTRO_PLANET_SOLID; }
};

// One device, the program's storages, a full-HD colour and depth target, a camera, the star and two planets.
struct Rig {
    VulkanInstance instance;
    EngineContext* engine = nullptr;
    GraphicsDevice* device = nullptr;
    Scene scene;
    BodyVisualBuilder bodyVisuals;
    RandomSource random;
    FrameInput input;
    FrameContext frame{scene.services, input};
    DsDeviceMeshSingle* meshStorage = nullptr;
    DescriptorPool* descriptorPool = nullptr;
    DsUniformSingle* uniformStorage = nullptr;
    DemoCamera* camera = nullptr;
    Star* star = nullptr;
    Ball* earth = nullptr;
    PlanetGas* jupiter = nullptr;
    PlanetSolid* ground = nullptr; // Earth's relief and biomes, for the cost of the surface pass beside it
    Image2D* color = nullptr;
    Image2D* depth = nullptr;
    Sampler* sampler = nullptr;
    TextureBinding* colorBinding = nullptr;
    TextureBinding* depthBinding = nullptr;
    AtmosphereManager* manager = nullptr;
    Bloom* bloom = nullptr;

    Rig() {
        instance.createHeadless();
        engine = new EngineContext(instance.instance, VK_NULL_HANDLE, nullptr);
        device = engine->device;
        device->hdrColorFormat = VK_FORMAT_R32G32B32A32_SFLOAT;
        meshStorage = engine->meshStorage;
        descriptorPool = engine->descriptorPool;
        uniformStorage = engine->uniformStorage;
        uniformStorage->beginSlot();
        Services& services = scene.services;
        services.device = device;
        services.descriptorPool = descriptorPool;
        services.meshStorage = meshStorage;
        services.uniformStorage = uniformStorage;
        services.scene = &scene;
        services.random = &random;
        services.bodyVisuals = &bodyVisuals;

        camera = new DemoCamera("MainCamera", &scene);
        scene.add(camera);
        camera->Create();
        scene.mainCamera = camera;
        camera->view.projectionParams.aspect = float(Width) / float(Height);
        camera->refreshProjection();

        star = addBody<Star>("Sun", 100.0f, {0.0, 0.0, 0.0});
        scene.primaryStar = star;
        star->light.color[0] = 1.0f;
        star->light.color[1] = 0.95f;
        star->light.color[2] = 0.9f;
        star->light.intensity = 10.0f;
        AtmosphereBlock corona;
        corona.radius = 25.0f;
        corona.rayleigh[0] = 0.0331f;
        corona.rayleigh[1] = 0.0135f;
        corona.rayleigh[2] = 0.0058f;
        corona.densityFalloff = 2.0f;
        star->getAtmosphere()->block = corona;

        earth = addBody<Ball>("Earth", 15.0f, {2500.0, 0.0, 0.0});
        Atmosphere* air = earth->getAtmosphere();
        air->block = {{0.15f, 0.45f, 1.0f}, 2.0f, 0.01f, 0.85f, 5.0f, 1.0f};

        ground = addBody<PlanetSolid>("Ground", 15.0f, {-2500.0, 0.0, 0.0});
        PlanetSolidCreateInfo surface = solidCreateInfo("Ground", nullptr, 15.0f, 2.5);
        applyNoisePreset(surface.surface, 2, 0.05f);
        applyBiomePreset(surface.surface, 1);
        dynamic_cast<PlanetSurfaceSolid*>(ground->getSurface())->applySettings(surface.surface);

        jupiter = addBody<PlanetGas>("Jupiter", 125.0f, {0.0, 0.0, 13500.0});
        jupiter->hasAtmosphereSettings = true;
        jupiter->getAtmosphere()->block = {{1.0f, 1.0f, 1.0f}, 9.375f, 0.2f, 0.9f, 6.0f, 10.0f};

        color =
            new Image2D(device, Width, Height, VK_FORMAT_R32G32B32A32_SFLOAT,
                        VK_IMAGE_USAGE_STORAGE_BIT | VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT,
                        VK_IMAGE_ASPECT_COLOR_BIT, 1);
        depth = new Image2D(device, Width, Height, Helper::findDepthFormat(device->physicalDevice),
                            VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                            VK_IMAGE_ASPECT_DEPTH_BIT, 1);
        VkSamplerCreateInfo info = Sampler::defaultInfo(1.0f);
        sampler = new Sampler(device, info);
        colorBinding = new TextureBinding(&color->imageView, sampler);
        colorBinding->sampledLayout = VK_IMAGE_LAYOUT_GENERAL;
        info.magFilter = info.minFilter = VK_FILTER_NEAREST;
        info.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
        depthBinding = new TextureBinding(&depth->imageView, new Sampler(device, info));
        depthBinding->sampledLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL;

        manager = new AtmosphereManager(services, colorBinding, depthBinding);
        manager->init();
        bloom = new Bloom(device, descriptorPool);
        meshStorage->registerFlush();

        // The targets as the atmosphere passes find them: the sky cleared, depth readable, colour in general.
        submit([&](CommandContext* c) {
            uploadPass(c);
            imageBarrier(c, color->image, color->range, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_GENERAL,
                         VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT, VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_CLEAR_BIT,
                         VK_ACCESS_2_TRANSFER_WRITE_BIT);
            VkClearColorValue sky{{0.0f, 0.0f, 0.0f, 9999999.0f}};
            vkCmdClearColorImage(c->commandBuffer, color->image, VK_IMAGE_LAYOUT_GENERAL, &sky, 1, &color->range);
            imageBarrier(c, depth->image, depth->range, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
                         VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT, VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_CLEAR_BIT,
                         VK_ACCESS_2_TRANSFER_WRITE_BIT);
            VkClearDepthStencilValue far{1.0f, 0};
            vkCmdClearDepthStencilImage(c->commandBuffer, depth->image, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, &far, 1,
                                        &depth->range);
            imageBarrier(c, depth->image, depth->range, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
                         VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL, VK_PIPELINE_STAGE_2_CLEAR_BIT,
                         VK_ACCESS_2_TRANSFER_WRITE_BIT, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
                         VK_ACCESS_2_SHADER_READ_BIT);
            imageBarrier(c, color->image, color->range, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL,
                         VK_PIPELINE_STAGE_2_CLEAR_BIT, VK_ACCESS_2_TRANSFER_WRITE_BIT,
                         VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
                         VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_SHADER_WRITE_BIT);
        });
    }

    template <class T> T* addBody(const char* name, float radius, Vec3d position) {
        auto* body = new T(name, &scene);
        scene.add(body);
        body->Create();
        body->radius = radius;
        body->transform->position = position;
        body->transform->markDirty();
        return body;
    }

    // The camera `distance` from `body` on the side away from the Sun, looking at it.
    void look(AstroObject* body, double distance, double sunSide) {
        Vec3d p = body->transform->worldPosition();
        double away = std::atan2(p.x, p.z) + sunSide;
        camera->transform->position = {p.x - distance * std::sin(away), 0.0, p.z - distance * std::cos(away)};
        camera->transform->markDirty();
        camera->yaw = float(away);
        camera->pitch = 0.0f;
        uniformStorage->beginSlot();
        scene.update(frame);
        scene.updateUniforms(frame);
        manager->update(frame);
    }

    void submit(const std::function<void(CommandContext*)>& record) {
        OneShotCommands commands(device);
        record(commands.begin());
        commands.submitAndWait();
    }

    // The solid planet's surface drawn as the main pass draws it (its map generated first, at the size the view
    // asks for).
    void surfacePass() {
        auto* surface = dynamic_cast<PlanetSurfaceSolid*>(ground->getSurface());
        uint32_t saved = bodyVisuals.generation.bandsPerFrame;
        bodyVisuals.generation.bandsPerFrame = 6 * PlanetSurface::BandsPerFace;
        while (!surface->hasRelief() || surface->generator->resizing()) {
            uniformStorage->beginSlot();
            scene.update(frame);
            scene.updateUniforms(frame);
            submit([&](CommandContext* c) { ground->RecordCompute(frame, c); });
        }
        bodyVisuals.generation.bandsPerFrame = saved;
        submit([&](CommandContext* c) {
            imageBarrier(c, depth->image, depth->range, VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL,
                         VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
                         VK_ACCESS_2_SHADER_READ_BIT, VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT,
                         VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);
            VkRenderingAttachmentInfo colorAttachment{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
            colorAttachment.imageView = color->imageView.view;
            colorAttachment.imageLayout = VK_IMAGE_LAYOUT_GENERAL;
            colorAttachment.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
            colorAttachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
            VkRenderingAttachmentInfo depthAttachment{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
            depthAttachment.imageView = depth->imageView.view;
            depthAttachment.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
            depthAttachment.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
            depthAttachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
            depthAttachment.clearValue.depthStencil = {1.0f, 0};
            VkRenderingInfo pass{VK_STRUCTURE_TYPE_RENDERING_INFO};
            pass.renderArea = {{0, 0}, {Width, Height}};
            pass.layerCount = 1;
            pass.colorAttachmentCount = 1;
            pass.pColorAttachments = &colorAttachment;
            pass.pDepthAttachment = &depthAttachment;
            vkCmdBeginRendering(c->commandBuffer, &pass);
            c->renderWidth = Width;
            c->renderHeight = Height;
            surface->RecordMain(frame, c);
            vkCmdEndRendering(c->commandBuffer);
            imageBarrier(c, depth->image, depth->range, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                         VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL, VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT,
                         VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT,
                         VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT | VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT,
                         VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_READ_BIT);
        });
    }

    void atmospherePass(AstroObject* body) {
        uint32_t index = 0;
        while (manager->entries[index].atmosphere->body != body)
            ++index;
        submit([&](CommandContext* c) {
            // Depth attached read-only, no colour attachment.
            VkRenderingAttachmentInfo readOnlyDepth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
            readOnlyDepth.imageView = depth->imageView.view;
            readOnlyDepth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL;
            readOnlyDepth.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
            readOnlyDepth.storeOp = VK_ATTACHMENT_STORE_OP_NONE;
            VkRenderingInfo pass{VK_STRUCTURE_TYPE_RENDERING_INFO};
            pass.renderArea = {{0, 0}, {Width, Height}};
            pass.layerCount = 1;
            pass.pDepthAttachment = &readOnlyDepth;
            vkCmdBeginRendering(c->commandBuffer, &pass);
            c->renderWidth = Width;
            c->renderHeight = Height;
            manager->draw(c, index);
            vkCmdEndRendering(c->commandBuffer);
            imageBarrier(c, color->image, color->range, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL,
                         VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT, VK_ACCESS_2_SHADER_WRITE_BIT,
                         VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT, VK_ACCESS_2_SHADER_READ_BIT);
        });
    }

    static Rig& get() {
        static Rig rig;
        return rig;
    }
};

// CPU time of the whole process (the driver's threads included), milliseconds: on a CPU driver that is the
// device's work, which wall time on a shared machine overstates.
double processCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Runs `pass` for every iteration and reports its process CPU time per pass.
void measure(benchmark::State& state, const std::function<void()>& pass) {
    double before = processCpuMs();
    for (auto _ : state)
        pass();
    state.counters["cpu_ms"] = (processCpuMs() - before) / double(state.iterations());
}

// The camera as --target Earth keeps it: 44.7 units from the centre (the disc about 650 pixels across), the Sun
// behind the planet to one side.
void BM_AtmosphereEarthTarget(benchmark::State& state) {
    Rig& rig = Rig::get();
    rig.look(rig.earth, 44.7, 0.5);
    measure(state, [&] { rig.atmospherePass(rig.earth); });
}
BENCHMARK(BM_AtmosphereEarthTarget)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

// For scale: the solid planet's own surface pass in the same view (tessellated sphere, biomes, relief).
void BM_SurfaceEarthTarget(benchmark::State& state) {
    Rig& rig = Rig::get();
    rig.look(rig.ground, 44.7, 0.5);
    rig.surfacePass(); // the map, and the pipelines' first use
    measure(state, [&] { rig.surfacePass(); });
}
BENCHMARK(BM_SurfaceEarthTarget)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

// Jupiter three radii away: its disc and haze fill the middle of the screen.
void BM_AtmosphereGasJupiterTarget(benchmark::State& state) {
    Rig& rig = Rig::get();
    rig.look(rig.jupiter, 375.0, 2.5);
    measure(state, [&] { rig.atmospherePass(rig.jupiter); });
}
BENCHMARK(BM_AtmosphereGasJupiterTarget)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

// The Sun three radii away: the corona around and over its disc.
void BM_AtmosphereCoronaSunTarget(benchmark::State& state) {
    Rig& rig = Rig::get();
    rig.look(rig.star, 300.0, 0.0);
    measure(state, [&] { rig.atmospherePass(rig.star); });
}
BENCHMARK(BM_AtmosphereCoronaSunTarget)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

// The bloom's chain over a full-HD target: the first pass (a quarter of the target's texels read), four levels
// down and up. The composite is part of the post-process.
void BM_Bloom1080p(benchmark::State& state) {
    Rig& rig = Rig::get();
    measure(state, [&] { rig.submit([&](CommandContext* c) { rig.bloom->record(c, rig.color, rig.colorBinding); }); });
}
BENCHMARK(BM_Bloom1080p)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace
