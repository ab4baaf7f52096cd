#include "GpuFixture.h"

#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace Demo;

namespace {

constexpr uint32_t Width = 1920, Height = 1080;

// A smooth solid planet (no relief) drawn through the real "planet_solid" pipeline at full HD, seen as at
// `--target Earth`: its outline must be the sphere's circle, not the polygon of its mesh.
class PlanetLimbGpuTest : public GpuTest {
protected:
    void SetUp() override {
        uniformStorage->beginSlot();
        scene.services = services;
        scene.services.scene = &scene;
        camera = new DemoCamera("MainCamera", &scene);
        scene.add(camera);
        camera->Create();
        scene.mainCamera = camera;
        camera->view.projectionParams.aspect = float(Width) / float(Height);
        camera->refreshProjection();

        star = new Star("Sun", &scene);
        scene.add(star);
        star->Create();
        scene.primaryStar = star;
        star->light.color[0] = star->light.color[1] = star->light.color[2] = 1.0f;
        star->light.intensity = 10.0f;
        star->transform->position = {1000.0, 0.0, -1000.0};
        star->transform->markDirty();

        planet = new PlanetSolid("Planet", &scene);
        scene.add(planet);
        planet->Create();
        planet->radius = Radius;
        SolidSurfaceCreateInfo settings; // the system's tessellation settings, no noise layers: a smooth ball
        settings.elevationScale = 0.05f;
        surface = dynamic_cast<PlanetSurfaceSolid*>(planet->getSurface());
        surface->applySettings(settings);
        meshStorage->registerFlush();
        runOnce([](CommandContext* c) { uploadPass(c); });

        color = new Image2D(device, Width, Height, VK_FORMAT_R32G32B32A32_SFLOAT,
                            VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                            VK_IMAGE_ASPECT_COLOR_BIT, 1);
        depth = new Image2D(device, Width, Height, Helper::findDepthFormat(device->physicalDevice),
                            VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT, VK_IMAGE_ASPECT_DEPTH_BIT, 1);
    }
    void TearDown() override {
        unregisterResource(device, color);
        unregisterResource(device, depth);
        vkDeviceWaitIdle(device->device);
        device->registry.allFramesCompleted();
    }

    void frame() {
        uniformStorage->beginSlot();
        scene.update(context);
        scene.updateUniforms(context);
        runOnce([&](CommandContext* c) {
            for (SceneObject* object : scene.objects)
                object->RecordCompute(context, c);
        });
    }

    // Alpha of every pixel: the distance to the planet where it is drawn, the clear value elsewhere.
    std::vector<float> draw() {
        runOnce([&](CommandContext* c) {
            toAttachmentLayouts(c, color, depth);
            beginClearedRendering(c, color->imageView.view, depth->imageView.view,
                                  VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, Width, Height,
                                  {{0.0f, 0.0f, 0.0f, 9999999.0f}});
            c->renderWidth = Width;
            c->renderHeight = Height;
            surface->RecordMain(context, c);
            vkCmdEndRendering(c->commandBuffer);
        });
        std::vector<uint8_t> bytes =
            readImage(color->image, Width, Height, 16, 0, 0, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL);
        std::vector<float> alpha(size_t(Width) * Height);
        for (size_t i = 0; i < alpha.size(); ++i)
            std::memcpy(&alpha[i], bytes.data() + i * 16 + 12, 4);
        return alpha;
    }

    static constexpr float Radius = 15.0f;
    Scene scene;
    FrameInput input;
    FrameContext context{scene.services, input};
    DemoCamera* camera = nullptr;
    Star* star = nullptr;
    PlanetSolid* planet = nullptr;
    PlanetSurfaceSolid* surface = nullptr;
    Image2D* color = nullptr;
    Image2D* depth = nullptr;
};

} // namespace

TEST_F(PlanetLimbGpuTest, OutlinesAreRoundAtEverySizeOnScreen) {
    uint32_t savedBudget = bodyVisuals.generation.bandsPerFrame;
    bodyVisuals.generation.bandsPerFrame = 6 * PlanetSurface::BandsPerFace;
    // Reaching past the top and bottom of the screen (the finest shared sphere), about 650 pixels across as at --target
    // Earth, a small disc, and a speck drawn from the coarsest sphere of 80 faces.
    for (double distance : {22.0, 44.7, 220.0, 1500.0}) {
        camera->transform->position = {0.0, 0.0, -distance};
        camera->transform->markDirty();
        for (int k = 0; k < 3 && !surface->hasRelief(); ++k)
            frame();
        ASSERT_TRUE(surface->hasRelief());
        frame(); // this frame's camera in the blocks
        std::vector<float> alpha = draw();

        // The sphere's outline seen from the eye: a circle of angular radius asin(R / d) about the image centre.
        const double pixelsPerTangent = 0.5 * Height / std::tan(30.0 * 3.14159265358979 / 180.0);
        const double r = std::tan(std::asin(Radius / distance)) * pixelsPerTangent;
        const double cx = 0.5 * Width, cy = 0.5 * Height;
        // A pixel is drawn when its centre lies inside the rasterised outline. Pixel centres inside the true circle
        // that were left out measure how far the outline falls inside it (a flat facet's sagitta), drawn centres
        // outside it how far it reaches beyond.
        auto drawn = [&](int x, int y) { return alpha[size_t(y) * Width + size_t(x)] < 1.0e6f; };
        double inside = 0.0, outside = 0.0;
        uint32_t edge = 0;
        for (int y = 1; y + 1 < int(Height); ++y)
            for (int x = 1; x + 1 < int(Width); ++x) {
                bool d = drawn(x, y);
                if (d == drawn(x - 1, y) && d == drawn(x + 1, y) && d == drawn(x, y - 1) && d == drawn(x, y + 1))
                    continue;
                double radial = std::hypot(x + 0.5 - cx, y + 0.5 - cy) - r;
                if (d)
                    outside = std::max(outside, radial);
                else
                    inside = std::max(inside, -radial);
                ++edge;
            }
        EXPECT_GT(edge, std::min(uint32_t(4.0 * r), 400u)) << distance;
        EXPECT_LT(inside, 0.35) << "at distance " << distance << " (" << 2.0 * r << " px across) the outline falls "
                                << inside << " px inside the circle";
        EXPECT_LT(outside, 0.35) << "at distance " << distance << " the outline reaches " << outside
                                 << " px beyond the circle";
    }
    bodyVisuals.generation.bandsPerFrame = savedBudget;
}
