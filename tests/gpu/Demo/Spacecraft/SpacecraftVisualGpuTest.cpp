#include "GpuFixture.h"

#include "Demo/Astro/Star.h"
#include "Demo/Scene/CameraMath.h"
#include "Demo/Scene/SceneObject.h"
#include "Demo/Spacecraft/SpacecraftVisual.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"
#include "Engine/Meshes/Mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

using namespace Demo;

namespace {

class SpacecraftVisualGpuTest : public GpuTest {
protected:
    static constexpr uint32_t Width = 320, Height = 240;
    static constexpr float Background = 9999999.0f; // the colour target's cleared alpha

    struct Frame {
        std::vector<float> rgba; // Width × Height texels
        uint32_t covered = 0;    // texels the craft was drawn on
    };

    // Draws the craft at the origin (scale 0.1) seen from `eye`, lit by a star at `star`, with `occluders`.
    static Frame draw(SpacecraftVisual& visual, const Vec3d& eye, const Vec3d& star,
                      const std::vector<OccluderCandidate>& occluders, bool mainEnginesFiring = false) {
        StorageBinding camera(uniformStorage, sizeof(CameraBlock));
        StorageBinding& matrix = *visual.info.objectMatrix;
        StorageBinding& body = *visual.info.objectBlock;
        auto* cameraSet =
            new DataSet(device, descriptorPool, {{0, DATA_STORAGE, uniformStorage->descriptorType(), &camera}});

        uniformStorage->beginSlot();
        CameraBlock block{};
        Vec3f eyeF{float(eye.x), float(eye.y), float(eye.z)};
        Vec3f forward{-eyeF.x, -eyeF.y, -eyeF.z};
        Mat4f vp = perspective(50.0f, float(Width) / float(Height), 0.05f, 5000.0f) *
                   lookAt(eyeF, {0, 0, 0}, viewUpFor(forward));
        std::memcpy(block.viewProjection, vp.m, 64);
        block.eye[0] = eyeF.x;
        block.eye[1] = eyeF.y;
        block.eye[2] = eyeF.z;
        camera.write(&block);
        Mat4d world = Mat4d::scale({0.1, 0.1, 0.1});
        ObjectBlock object = makeObjectBlock(world);
        matrix.write(&object);
        AstroObjectBlock position{{0, 0, 0}, 1.0f};
        body.write(&position);

        StarLight light{};
        light.color[0] = 1.0f;
        light.color[1] = 0.95f;
        light.color[2] = 0.9f;
        light.intensity = 10.0f;
        light.position[0] = float(star.x);
        light.position[1] = float(star.y);
        light.position[2] = float(star.z);
        CraftFrameInput frame;
        frame.world = world;
        frame.starLight = &light;
        frame.starPosition = star;
        frame.starRadius = 10.0;
        frame.bodies = &occluders;
        frame.timeFactor = 1e4;
        frame.frameMilliseconds = 1000.0;
        if (mainEnginesFiring)
            frame.thrustAcceleration = {0, 0, -1e-8};
        uint32_t seed = 0;
        visual.updateUniforms(frame, nullptr, [&] { return ++seed; });

        auto* color = new Image2D(device, Width, Height, VK_FORMAT_R32G32B32A32_SFLOAT,
                                  VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT |
                                      VK_IMAGE_USAGE_SAMPLED_BIT,
                                  VK_IMAGE_ASPECT_COLOR_BIT, 1);
        auto* depth = new Image2D(device, Width, Height, Helper::findDepthFormat(device->physicalDevice),
                                  VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT, VK_IMAGE_ASPECT_DEPTH_BIT, 1);
        runOnce([&](CommandContext* c) {
            uploadPass(c); // model and textures
            imageBarrier(c, color->image, color->range, VK_IMAGE_LAYOUT_UNDEFINED,
                         VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT,
                         VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                         VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
            imageBarrier(
                c, depth->image, depth->range, VK_IMAGE_LAYOUT_UNDEFINED,
                VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT, VK_ACCESS_2_NONE,
                VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT,
                VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT | VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_READ_BIT);
            beginClearedRendering(c, color->imageView.view, depth->imageView.view,
                                  VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, Width, Height,
                                  {{0.0f, 0.0f, 0.0f, Background}});
            visual.record(c, cameraSet, Width, Height);
            vkCmdEndRendering(c->commandBuffer);
            imageBarrier(c, color->image, color->range, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                         VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                         VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT, VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT,
                         VK_ACCESS_2_MEMORY_READ_BIT);
            c->clearBindings();
        });
        Frame out;
        std::vector<uint8_t> bytes = readImage(color->image, Width, Height, 16);
        out.rgba.resize(size_t(Width) * Height * 4);
        std::memcpy(out.rgba.data(), bytes.data(), bytes.size());
        for (size_t i = 0; i < size_t(Width) * Height; ++i)
            if (out.rgba[i * 4 + 3] < Background)
                ++out.covered;
        unregisterResource(device, color);
        unregisterResource(device, depth);
        unregisterResource(device, cameraSet);
        return out;
    }

    static SpacecraftVisualCreateInfo createInfo(StorageBinding& matrix, StorageBinding& body) {
        SpacecraftVisualCreateInfo info;
        info.device = device;
        info.descriptorPool = descriptorPool;
        info.uniformStorage = uniformStorage;
        info.meshStorage = meshStorage;
        info.objectMatrix = &matrix;
        info.objectBlock = &body;
        return info;
    }
};

// Mean of the craft's texels (linear radiance).
double meanLuminance(const std::vector<float>& rgba) {
    double sum = 0.0;
    uint32_t n = 0;
    for (size_t i = 0; i < rgba.size(); i += 4)
        if (rgba[i + 3] < 9999999.0f) {
            sum += 0.2126 * rgba[i] + 0.7152 * rgba[i + 1] + 0.0722 * rgba[i + 2];
            ++n;
        }
    return n ? sum / n : 0.0;
}

// Texels of the craft by hue sextant (red, yellow, green, cyan, blue, magenta), counting only clearly coloured,
// visible ones.
std::array<uint32_t, 6> hueHistogram(const std::vector<float>& rgba) {
    std::array<uint32_t, 6> bins{};
    for (size_t i = 0; i < rgba.size(); i += 4) {
        if (rgba[i + 3] >= 9999999.0f)
            continue;
        float r = rgba[i], g = rgba[i + 1], b = rgba[i + 2];
        float hi = std::max({r, g, b}), lo = std::min({r, g, b});
        if (hi < 0.01f || (hi - lo) / hi < 0.2f)
            continue;
        float h;
        if (hi == r)
            h = std::fmod((g - b) / (hi - lo) + 6.0f, 6.0f);
        else if (hi == g)
            h = (b - r) / (hi - lo) + 2.0f;
        else
            h = (r - g) / (hi - lo) + 4.0f;
        ++bins[std::min(5, int(h))];
    }
    return bins;
}

} // namespace

TEST_F(SpacecraftVisualGpuTest, TheCraftIsDrawnLitAndTexturedAndDarkensInEclipse) {
    StorageBinding matrix(uniformStorage, sizeof(ObjectBlock)), body(uniformStorage, sizeof(AstroObjectBlock));
    SpacecraftVisual visual(createInfo(matrix, body));
    visual.addEngines(nullptr);
    ASSERT_NE(visual.model, nullptr);
    EXPECT_GT(visual.model->indexBuffer->indexCount, 3000u);
    EXPECT_EQ(visual.baseColorImage->width, visual.normalImage->width);

    // Seen from above and in front, the star high behind the viewer.
    const Vec3d eye{0.45, 0.8, 0.6}, star{400, 900, 600};
    Frame lit = draw(visual, eye, star, {});
    EXPECT_GT(lit.covered, Width * Height / 10) << "the craft fills a good part of the view";
    double litMean = meanLuminance(lit.rgba);
    EXPECT_GT(litMean, 0.05);
    // Gold foil (orange), solar cells (blue) and more: at least two hues with a real share of the texels.
    std::array<uint32_t, 6> hues = hueHistogram(lit.rgba);
    int strong = 0;
    for (uint32_t count : hues)
        strong += count > lit.covered / 50 ? 1 : 0;
    EXPECT_GE(strong, 2) << "hue bins " << hues[0] << " " << hues[1] << " " << hues[2] << " " << hues[3] << " "
                         << hues[4] << " " << hues[5];

    // A planet between the star and the craft: the craft falls into its shadow.
    Frame eclipsed = draw(visual, eye, star, {{star * 0.5, 60.0, 2, false}});
    EXPECT_EQ(visual.shadowBlock.occluderCount, 1u);
    EXPECT_EQ(eclipsed.covered, lit.covered);
    EXPECT_LT(meanLuminance(eclipsed.rgba), 0.2 * litMean);

    // The main engines light the craft's stern (their lights sit just past the nozzles) even in the shadow.
    Frame firing = draw(visual, {0.35, 0.25, 0.9}, star, {{star * 0.5, 60.0, 2, false}}, true);
    EXPECT_EQ(visual.lightsBlock.lightCount, 2u);
    Frame quiet = draw(visual, {0.35, 0.25, 0.9}, star, {{star * 0.5, 60.0, 2, false}}, false);
    EXPECT_EQ(visual.lightsBlock.lightCount, 0u); // a one-second frame at 1e4: the lights are out at once
    EXPECT_GT(meanLuminance(firing.rgba), 1.5 * meanLuminance(quiet.rgba));
}

TEST_F(SpacecraftVisualGpuTest, AMissingOrCorruptAssetStopsWithAnErrorNamingTheFile) {
    StorageBinding matrix(uniformStorage, sizeof(ObjectBlock)), body(uniformStorage, sizeof(AstroObjectBlock));
    namespace fs = std::filesystem;
    const fs::path source = fs::path("assets") / "Vessel_11";
    const fs::path directory = fs::temp_directory_path() / ("kestrune_craft_" + std::to_string(::getpid()));
    const fs::path craft = directory / "Vessel_11";
    SpacecraftVisualCreateInfo info = createInfo(matrix, body);
    info.assetDirectory = directory.string();
    auto expectStop = [&](const std::string& file, const char* what) {
        try {
            SpacecraftVisual visual(info);
            ADD_FAILURE() << what << ": the craft was built";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << what << ": " << e.what();
        }
    };
    auto write = [](const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    };
    const std::string model = (craft / "Vessel_11.obj").string();

    fs::remove_all(directory);
    fs::create_directories(craft);
    expectStop(model, "no files at all");
    fs::copy(source, craft, fs::copy_options::recursive | fs::copy_options::overwrite_existing);

    // Corrupt model files are covered by the unit tier; here the model is fine and a texture is not.
    const fs::path normal = craft / "Vessel_11_DefaultMaterial_Normal.dds";
    std::string bytes;
    {
        std::ifstream in(normal, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    write(normal, bytes.substr(0, bytes.size() / 3));
    expectStop(normal.string(), "a truncated texture");
    fs::remove(normal);
    expectStop(normal.string(), "a missing texture");
    fs::remove_all(directory);
}
