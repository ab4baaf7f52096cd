#include "GpuFixture.h"

#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/AtmosphereManager.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"

#include <cmath>
#include <cstring>

using namespace Demo;

namespace {

constexpr uint32_t Size = 128;
constexpr float SkyAlpha = 9999999.0f;

struct Pixel {
    float r, g, b, a;
    float luminance() const { return 0.2126f * r + 0.7152f * g + 0.0722f * b; }
    bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

// A solid body whose surface is never generated or drawn: its atmosphere alone.
struct Ball : AstroObject {
    using AstroObject::AstroObject;
    uint32_t typeCode() const override { return ASTRO_PLANET_SOLID; }
};

// Earth's preset: blue Rayleigh, a little forward-scattering haze, a shell 2 units thick.
AtmosphereBlock earthLike() {
    AtmosphereBlock b;
    b.rayleigh[0] = 0.15f;
    b.rayleigh[1] = 0.45f;
    b.rayleigh[2] = 1.0f;
    b.radius = 2.0f;
    b.mie = 0.01f;
    b.mieG = 0.85f;
    b.densityFalloff = 5.0f;
    b.rayleighFactor = 1.0f;
    return b;
}

// A star, one planet of radius 10 at the origin and the camera 40 units in front of it, looking at it; the star
// lights the planet from the right (+x): the right half of the disc is day, the left half night.
class AtmosphereGpuTest : public GpuTest {
protected:
    void SetUp() override {
        uniformStorage->beginSlot();
        scene.services = services;
        scene.services.scene = &scene;
        camera = new DemoCamera("MainCamera", &scene);
        scene.add(camera);
        camera->Create();
        scene.mainCamera = camera;
        camera->transform->position = {0.0, 0.0, -40.0};
        camera->transform->markDirty();
        camera->view.projectionParams.aspect = 1.0f;
        camera->refreshProjection();

        star = new Star("Sun", &scene);
        scene.add(star);
        star->Create();
        scene.primaryStar = star;
        star->radius = 10.0f;
        star->light.color[0] = star->light.color[1] = star->light.color[2] = 1.0f;
        star->light.intensity = 10.0f;
        star->transform->position = {1000.0, 0.0, 0.0};
        star->transform->markDirty();

        color = new Image2D(device, Size, Size, VK_FORMAT_R32G32B32A32_SFLOAT,
                            VK_IMAGE_USAGE_STORAGE_BIT | VK_IMAGE_USAGE_SAMPLED_BIT |
                                VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                            VK_IMAGE_ASPECT_COLOR_BIT, 1);
        depth = new Image2D(device, Size, Size, Helper::findDepthFormat(device->physicalDevice),
                            VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                            VK_IMAGE_ASPECT_DEPTH_BIT, 1);
        VkSamplerCreateInfo info = Sampler::defaultInfo(1.0f);
        info.magFilter = info.minFilter = VK_FILTER_NEAREST;
        info.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
        sampler = new Sampler(device, info);
        colorBinding = new TextureBinding(&color->imageView, sampler);
        colorBinding->sampledLayout = VK_IMAGE_LAYOUT_GENERAL;
        depthBinding = new TextureBinding(&depth->imageView, sampler);
        depthBinding->sampledLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL;
    }

    void TearDown() override {
        delete manager;
        delete colorBinding;
        delete depthBinding;
        unregisterResource(device, color);
        unregisterResource(device, depth);
        unregisterResource(device, sampler);
        vkDeviceWaitIdle(device->device);
        device->registry.allFramesCompleted();
    }

    template <class T> T* addPlanet(const char* name, const AtmosphereBlock& block) {
        auto* planet = new T(name, &scene);
        scene.add(planet);
        planet->Create();
        planet->radius = 10.0f;
        if (!planet->getAtmosphere()) {
            auto* atmosphere = new Atmosphere(planet);
            atmosphere->CreateUniform();
            planet->addComponent(atmosphere);
        }
        planet->getAtmosphere()->block = block;
        return planet;
    }

    void createManager() {
        manager = new AtmosphereManager(scene.services, colorBinding, depthBinding);
        manager->init();
        meshStorage->registerFlush();
        runOnce([](CommandContext* c) { uploadPass(c); });
    }

    // One frame: the scene's uniforms, the manager's order, then the target cleared to the sky, an opaque
    // rectangle (colour `front`, depth 0.01) over the top half of the image, and the atmosphere of `body`.
    std::vector<Pixel> frame(AstroObject* body, Pixel front) {
        uniformStorage->beginSlot();
        FrameInput input;
        FrameContext context{scene.services, input};
        scene.update(context);
        scene.updateUniforms(context);
        manager->update(context);
        uint32_t index = 0;
        while (manager->entries[index].atmosphere->body != body)
            ++index;
        runOnce([&](CommandContext* c) {
            manager->recordTables(context, c);
            toAttachmentLayouts(c, color, depth);
            beginClearedRendering(c, color->imageView.view, depth->imageView.view,
                                  VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, Size, Size,
                                  {{0.0f, 0.0f, 0.0f, SkyAlpha}});
            VkClearAttachment clears[2] = {};
            clears[0].aspectMask = VK_IMAGE_ASPECT_COLOR_BIT;
            clears[0].clearValue.color = {{front.r, front.g, front.b, front.a}};
            clears[1].aspectMask = VK_IMAGE_ASPECT_DEPTH_BIT;
            clears[1].clearValue.depthStencil = {0.01f, 0};
            VkClearRect rect{{{0, 0}, {Size, Size / 2}}, 0, 1};
            vkCmdClearAttachments(c->commandBuffer, 2, clears, 1, &rect);
            vkCmdEndRendering(c->commandBuffer);

            imageBarrier(c, depth->image, depth->range, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                         VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL, VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT,
                         VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT,
                         VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT | VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT,
                         VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_READ_BIT);
            imageBarrier(c, color->image, color->range, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                         VK_IMAGE_LAYOUT_GENERAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                         VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
                         VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_SHADER_WRITE_BIT);
            // The atmosphere pass: depth attached read-only, no colour attachment.
            VkRenderingAttachmentInfo readOnlyDepth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
            readOnlyDepth.imageView = depth->imageView.view;
            readOnlyDepth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL;
            readOnlyDepth.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
            readOnlyDepth.storeOp = VK_ATTACHMENT_STORE_OP_NONE;
            VkRenderingInfo pass{VK_STRUCTURE_TYPE_RENDERING_INFO};
            pass.renderArea = {{0, 0}, {Size, Size}};
            pass.layerCount = 1;
            pass.pDepthAttachment = &readOnlyDepth;
            vkCmdBeginRendering(c->commandBuffer, &pass);
            c->renderWidth = Size;
            c->renderHeight = Size;
            manager->draw(c, index);
            vkCmdEndRendering(c->commandBuffer);
        });
        std::vector<uint8_t> bytes = readImage(color->image, Size, Size, 16, 0, 0, VK_IMAGE_LAYOUT_GENERAL);
        std::vector<Pixel> pixels(Size * Size);
        std::memcpy(pixels.data(), bytes.data(), bytes.size());
        return pixels;
    }

    // The pixel a world point projects to.
    Pixel at(const std::vector<Pixel>& pixels, double x, double y, double z) const {
        Mat4f vp = camera->view.projection * camera->view.view;
        float c[4];
        for (int r = 0; r < 4; ++r)
            c[r] = vp.m[r] * float(x) + vp.m[4 + r] * float(y) + vp.m[8 + r] * float(z) + vp.m[12 + r];
        int px = int((c[0] / c[3] * 0.5f + 0.5f) * Size);
        int py = int((c[1] / c[3] * 0.5f + 0.5f) * Size);
        EXPECT_TRUE(px >= 0 && px < int(Size) && py >= 0 && py < int(Size)) << x << " " << y << " " << z;
        return pixels[size_t(std::clamp(py, 0, int(Size) - 1)) * Size + size_t(std::clamp(px, 0, int(Size) - 1))];
    }

    Scene scene;
    DemoCamera* camera = nullptr;
    Star* star = nullptr;
    AtmosphereManager* manager = nullptr;
    Image2D* color = nullptr;
    Image2D* depth = nullptr;
    Sampler* sampler = nullptr;
    TextureBinding* colorBinding = nullptr;
    TextureBinding* depthBinding = nullptr;
};

} // namespace

TEST_F(AtmosphereGpuTest, AShellBrightensTheDayLimbInBlueAndLeavesWhatStandsInFrontUntouched) {
    Ball* planet = addPlanet<Ball>("Planet", earthLike());
    createManager();
    const Pixel front{0.1f, 0.2f, 0.3f, 5.0f};
    std::vector<Pixel> pixels = frame(planet, front);

    // The rectangle over the top half (world +y) holds depth 0.01, nearer than the shell: every pixel of it is
    // exactly as it was, the bright limb included.
    for (uint32_t y = 0; y < Size / 2; ++y)
        for (uint32_t x = 0; x < Size; ++x)
            ASSERT_EQ(pixels[y * Size + x], front) << x << ", " << y;

    // The day side's limb (right): blue sky light over the black background;
    // the alpha channel (distance) is kept.
    Pixel dayLimb = at(pixels, 10.45, -2.0, 0.0);
    EXPECT_GT(dayLimb.b, 0.05f);
    EXPECT_GT(dayLimb.b, 1.5f * dayLimb.r);
    EXPECT_EQ(dayLimb.a, SkyAlpha);
    // Higher up the density has fallen off; the night side's limb sees no sun.
    Pixel high = at(pixels, 11.7, -2.0, 0.0);
    EXPECT_LT(high.luminance(), 0.3f * dayLimb.luminance());
    Pixel nightLimb = at(pixels, -10.45, -2.0, 0.0);
    EXPECT_LT(nightLimb.luminance(), 0.1f * dayLimb.luminance());
    // Beyond the shell nothing is written.
    EXPECT_EQ(at(pixels, 13.5, -2.0, 0.0), (Pixel{0.0f, 0.0f, 0.0f, SkyAlpha}));
    EXPECT_EQ(at(pixels, -13.5, -6.0, 0.0), (Pixel{0.0f, 0.0f, 0.0f, SkyAlpha}));
}

TEST_F(AtmosphereGpuTest, AGasPlanetsDrawShadesItsDiscFromTheFluidImage) {
    AtmosphereBlock haze = earthLike();
    haze.rayleigh[0] = haze.rayleigh[1] = haze.rayleigh[2] = 1.0f;
    haze.mie = 0.2f;
    haze.mieG = 0.9f;
    haze.densityFalloff = 6.0f;
    haze.rayleighFactor = 10.0f;
    PlanetGas* gas = addPlanet<PlanetGas>("Gas", haze);
    gas->hasAtmosphereSettings = true;
    createManager();
    uint32_t gasEntry = 0;
    while (manager->entries[gasEntry].atmosphere->body != gas)
        ++gasEntry;
    DataSet* sets[AtmosphereManager::MaxSets] = {};
    ASSERT_EQ(manager->setsFor(gasEntry, sets), 4u);
    EXPECT_EQ(sets[3], manager->entries[gasEntry].fluidSet);

    // Until the fluid is wired in, the disc is the warm placeholder, opaque over the black sky, and the alpha
    // channel holds the distance to the cloud deck (from z = -40 to the deck at z = -10).
    std::vector<Pixel> pixels = frame(gas, {0.1f, 0.2f, 0.3f, 5.0f});
    Pixel lit = at(pixels, 6.0, -3.0, -7.5);
    EXPECT_GT(lit.luminance(), 0.1f);
    EXPECT_GT(lit.r, lit.b);
    Pixel centre = at(pixels, 0.0, -0.5, -10.0);
    EXPECT_NEAR(centre.a, 30.0f, 0.2f);

    // A blue fluid image turns the disc blue.
    auto* blue =
        new Image2D(device, 2, 2, VK_FORMAT_R8G8B8A8_UNORM,
                    VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT, VK_IMAGE_ASPECT_COLOR_BIT, 1);
    const uint8_t texels[16] = {40, 80, 255, 255, 40, 80, 255, 255, 40, 80, 255, 255, 40, 80, 255, 255};
    blue->addStagingUpload(texels, sizeof(texels), 2, 2, 0, 1, 0);
    device->pendingImageUploads.push_back(blue);
    runOnce([](CommandContext* c) { uploadPass(c); });
    auto* fluidImage = new TextureBinding(&blue->imageView, sampler);
    manager->setFluidImage(gas, fluidImage);
    pixels = frame(gas, {0.1f, 0.2f, 0.3f, 5.0f});
    lit = at(pixels, 6.0, -3.0, -7.5);
    EXPECT_GT(lit.b, 2.0f * lit.r);
    delete manager;
    manager = nullptr;
    delete fluidImage;
    unregisterResource(device, blue);
}
