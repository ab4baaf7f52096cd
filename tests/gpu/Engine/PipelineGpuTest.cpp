#include "GpuFixture.h"
#include "SpirvWords.h"

#include "Engine/Buffers/StructuredBuffer.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"
#include "Engine/Pipelines/PipelineCompute.h"
#include "Engine/Pipelines/PipelineGraphics.h"
#include "Demo/Scene/RenderManager.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class PipelineGpuTest : public GpuTest {
protected:
    // A host-visible source buffer holding `bytes`, for copies into device-local buffers.
    struct HostBuffer {
        VkBuffer buffer = VK_NULL_HANDLE;
        VkDeviceMemory memory = VK_NULL_HANDLE;
        ~HostBuffer() {
            vkDestroyBuffer(device->device, buffer, nullptr);
            vkFreeMemory(device->device, memory, nullptr);
        }
    };
    static void fillHost(HostBuffer& host, const void* bytes, uint32_t size) {
        auto [b, m] =
            Helper::createBuffer(device->physicalDevice, device->device, size, VK_BUFFER_USAGE_TRANSFER_SRC_BIT,
                                 VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
        host.buffer = b;
        host.memory = m;
        void* mapped = nullptr;
        vkMapMemory(device->device, m, 0, size, 0, &mapped);
        std::memcpy(mapped, bytes, size);
        vkUnmapMemory(device->device, m);
    }

    // Reference of the post-process curve for one channel.
    static float filmic(float x) {
        const float A = 0.15f, B = 0.50f, C = 0.10f, D = 0.20f, E = 0.02f, F = 0.30f;
        return ((x * (A * x + C * B) + D * E) / (x * (A * x + B) + D * F)) - E / F;
    }
    static float toneMap(float hdr, float exposure, float bias) {
        return std::clamp(filmic(std::max(hdr, 0.0f) * exposure * bias) / filmic(11.2f), 0.0f, 1.0f);
    }
};

struct Params {
    float scale;
    float offset;
    uint32_t count;
    uint32_t pad;
};
static_assert(sizeof(Params) == 16);

} // namespace

TEST_F(PipelineGpuTest, ComputePipelineDispatchesWithDynamicOffsetsAndTwoSets) {
    auto* pipeline = new PipelineCompute(device);
    pipeline->load("gpuTest", "CS_scaleOffset");
    EXPECT_EQ(pipeline->moduleEntryPoint, "main");
    pipeline->layoutNotation = "UBD_0+SB_1 SB_2";
    pipeline->create();
    ASSERT_NE(pipeline->pipeline, VkPipeline(VK_NULL_HANDLE));
    EXPECT_TRUE(pipeline->setLayouts.empty()); // set layouts only live until the pipeline exists

    const uint32_t count = 100;
    std::vector<float> input(count);
    for (uint32_t i = 0; i < count; ++i)
        input[i] = float(i) * 0.25f - 3.0f;
    auto* in = new StructuredBuffer(device, count, 4);
    auto* out = new StructuredBuffer(device, count, 4);
    HostBuffer source;
    fillHost(source, input.data(), count * 4);
    in->addCopyRegion({source.buffer, 0, 0, count * 4});

    uniformStorage->beginSlot();
    StorageBinding params(uniformStorage, sizeof(Params));
    Params decoy{100.0f, 100.0f, count, 0};
    Params used{2.0f, 1.0f, count, 0};
    params.write(&decoy);
    params.write(&used); // the binding's offset is the last write's
    BufferBinding inBinding(in), outBinding(out);
    auto* set0 = new DataSet(device, descriptorPool,
                             {{0, DATA_STORAGE, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC, &params},
                              {1, STRUCTURED_BUFFER, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER, &inBinding}});
    auto* set1 =
        new DataSet(device, descriptorPool, {{2, STRUCTURED_BUFFER, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER, &outBinding}});

    int binds = 0;
    runOnce([&](CommandContext* c) {
        uploadPass(c);
        pipeline->bind(c);
        pipeline->bind(c); // cached: one vkCmdBindPipeline
        binds = c->boundComputePipeline == pipeline;
        bindDataSet(c, set0);
        bindDataSet(c, set1);
        pipeline->bindDataSets(c);
        EXPECT_EQ(c->pendingSetCount, 0u);
        vkCmdDispatch(c->commandBuffer, (count + 63) / 64, 1, 1);
    });
    EXPECT_EQ(binds, 1);
    std::vector<uint8_t> bytes = readBuffer(out->buffer, 0, count * 4);
    const float* result = reinterpret_cast<const float*>(bytes.data());
    for (uint32_t i = 0; i < count; ++i)
        EXPECT_FLOAT_EQ(result[i], input[i] * 2.0f + 1.0f) << i;

    unregisterResource(device, set0);
    unregisterResource(device, set1);
    device->registry.frameSubmitted();
    device->registry.allFramesCompleted();
}

TEST_F(PipelineGpuTest, PostProcessPipelineToneMapsTheHdrTarget) {
    auto* pipeline = new PipelineGraphics(device);
    pipeline->loadShaders("postProcess");
    EXPECT_EQ(pipeline->entryPoints[StageVertex], "VS_Main");
    EXPECT_EQ(pipeline->entryPoints[StageFragment], "PS_Main");
    EXPECT_EQ(pipeline->modules[StageGeometry], VkShaderModule(VK_NULL_HANDLE));
    pipeline->layoutNotation = "UBD_0+CIS_1+CIS_2";
    pipeline->setVertexLayout(emptyLayout, false);
    pipeline->options.dynamicStates = standardDynamicStates();
    const VkFormat outputFormat = VK_FORMAT_R8G8B8A8_UNORM; // linear, so the curve is read back directly
    pipeline->create({{outputFormat}, VK_FORMAT_UNDEFINED});
    ASSERT_NE(pipeline->pipeline, VkPipeline(VK_NULL_HANDLE));

    // 4 x 4 HDR source: a ramp over several stops, one negative texel and one very bright one.
    const uint32_t W = 4, H = 4;
    std::vector<float> hdr(W * H * 4);
    for (uint32_t i = 0; i < W * H; ++i) {
        float v = 0.02f * std::pow(2.0f, float(i) * 0.6f);
        hdr[i * 4 + 0] = v;
        hdr[i * 4 + 1] = v * 0.5f;
        hdr[i * 4 + 2] = v * 0.25f;
        hdr[i * 4 + 3] = 9999999.0f;
    }
    hdr[0] = -5.0f;
    hdr[15 * 4] = 1.0e6f;
    auto* source =
        new Image2D(device, W, H, VK_FORMAT_R32G32B32A32_SFLOAT,
                    VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT, VK_IMAGE_ASPECT_COLOR_BIT, 1);
    source->addStagingUpload(hdr.data(), hdr.size() * 4, W, H, 0, 1, 0);
    device->pendingImageUploads.push_back(source);
    auto* target =
        new Image2D(device, W, H, outputFormat, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                    VK_IMAGE_ASPECT_COLOR_BIT, 1);

    VkSamplerCreateInfo nearest = Sampler::defaultInfo();
    nearest.magFilter = VK_FILTER_NEAREST;
    nearest.minFilter = VK_FILTER_NEAREST;
    auto* sampler = new Sampler(device, nearest);
    TextureBinding color(&source->imageView, sampler);
    StorageBinding block(uniformStorage, sizeof(Demo::PostProcessBlock));
    // The bloom is off (weight 0): its chain's binding is not read, the source stands in for it.
    auto* set = new DataSet(device, descriptorPool,
                            {{0, DATA_STORAGE, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC, &block},
                             {1, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, &color},
                             {2, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, &color}});

    uniformStorage->beginSlot();
    const Demo::PostProcessBlock postBlock;
    const float post[2] = {postBlock.exposure, postBlock.exposureBias};
    block.write(&postBlock);

    VkImageSubresourceRange range{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    runOnce([&](CommandContext* c) {
        uploadPass(c);
        imageBarrier(c, target->image, range, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                     VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT, VK_ACCESS_2_NONE,
                     VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT, VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
        VkRenderingAttachmentInfo attachment{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
        attachment.imageView = target->imageView.view;
        attachment.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
        attachment.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
        attachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
        VkRenderingInfo info{VK_STRUCTURE_TYPE_RENDERING_INFO};
        info.renderArea = {{0, 0}, {W, H}};
        info.layerCount = 1;
        info.colorAttachmentCount = 1;
        info.pColorAttachments = &attachment;
        vkCmdBeginRendering(c->commandBuffer, &info);
        pipeline->bind(c);
        setViewportAndScissor(c, W, H);
        bindDataSet(c, set);
        pipeline->bindDataSets(c);
        vkCmdDraw(c->commandBuffer, 3, 1, 0, 0);
        vkCmdEndRendering(c->commandBuffer);
    });
    std::vector<uint8_t> pixels = readImage(target->image, W, H, 4, 0, 0, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL);
    for (uint32_t i = 0; i < W * H; ++i) {
        for (int ch = 0; ch < 3; ++ch) {
            float want = toneMap(hdr[i * 4 + ch], post[0], post[1]) * 255.0f;
            EXPECT_NEAR(float(pixels[i * 4 + ch]), want, 1.5f) << "texel " << i << " channel " << ch;
        }
        EXPECT_EQ(pixels[i * 4 + 3], 255u);
    }
    EXPECT_EQ(pixels[0], 0u);        // negative input is black, not garbage
    EXPECT_EQ(pixels[15 * 4], 255u); // very bright input saturates
    // Brighter input never maps darker.
    for (uint32_t i = 2; i < W * H - 1; ++i)
        EXPECT_GE(pixels[i * 4], pixels[(i - 1) * 4]);

    unregisterResource(device, set);
    device->registry.frameSubmitted();
    device->registry.allFramesCompleted();
}

namespace {

// The program's pipelines as their owners build them, from `directory`.
void buildPostProcess(GraphicsDevice* device, const fs::path& directory) {
    auto* pipeline = new PipelineGraphics(device);
    struct Release {
        GraphicsDevice* device;
        PipelineGraphics* pipeline;
        ~Release() { unregisterResource(device, pipeline); }
    } release{device, pipeline};
    pipeline->loadShaders("postProcess", directory);
    pipeline->layoutNotation = "UBD_0+CIS_1+CIS_2";
    pipeline->setVertexLayout(emptyLayout, false);
    pipeline->options.dynamicStates = standardDynamicStates();
    pipeline->create({{VK_FORMAT_B8G8R8A8_SRGB}, VK_FORMAT_UNDEFINED});
}

PipelineGraphics* buildPlanetSolid(GraphicsDevice* device, const fs::path& directory, bool keep = false) {
    auto* pipeline = new PipelineGraphics(device);
    try {
        pipeline->loadShaders("planet_solid", directory);
        pipeline->layoutNotation = "UBD_0 UBD_1+UBD_2+UBD_3+UBD_4+UBD_5+UBD_6+UBD_7+UBD_8+CIS_9";
        pipeline->setVertexLayout(standardLayout, false);
        pipeline->options.dynamicStates = standardDynamicStates();
        pipeline->options.tessellationEnable = 1;
        pipeline->options.patchControlPoints = 3;
        pipeline->create({{VK_FORMAT_R32G32B32A32_SFLOAT}, Helper::findDepthFormat(device->physicalDevice)});
    } catch (...) {
        unregisterResource(device, pipeline);
        throw;
    }
    if (!keep) {
        unregisterResource(device, pipeline);
        return nullptr;
    }
    return pipeline;
}

void buildPlanetGenerator(GraphicsDevice* device, const fs::path& directory) {
    auto* pipeline = new PipelineCompute(device);
    struct Release {
        GraphicsDevice* device;
        PipelineCompute* pipeline;
        ~Release() { unregisterResource(device, pipeline); }
    } release{device, pipeline};
    pipeline->load("planetgen_solid", "CS_Main", directory);
    pipeline->layoutNotation = "SI_0+UBD_1";
    pipeline->create();
}

// A module whose structure is intact but whose first OpLoad reads an id the module never defines: only the
// driver's compiler, at pipeline creation, can notice.
void pointFirstLoadNowhere(const fs::path& path) {
    std::vector<uint32_t> words = readWords(path);
    for (size_t i = 5; i < words.size(); i += words[i] >> 16)
        if ((words[i] & 0xFFFFu) == 61u) { // OpLoad: type, result, pointer
            words[i + 3] = words[3] + 100; // beyond the id bound
            break;
        }
    writeWords(path, words);
}

} // namespace

TEST_F(PipelineGpuTest, MissingCorruptOrTruncatedShaderFilesNameTheFileAndThePipeline) {
    const fs::path installed = fs::current_path() / "shaders";
    const fs::path dir = fs::temp_directory_path() / ("kestrune-shader-faults-" + std::to_string(getpid()));
    auto truncateToHalf = [](const fs::path& path) {
        std::vector<uint32_t> words = readWords(path);
        words.resize(words.size() / 2);
        writeWords(path, words);
    };
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> damage;
        std::function<void(GraphicsDevice*, const fs::path&)> build;
        std::vector<std::string> expected; // "$" stands for the shader directory
    };
    const std::vector<Case> cases = {
        {"fragment stage missing",
         [](const fs::path& d) { fs::remove(d / "postProcess_PS_Main.spv"); },
         buildPostProcess,
         {"pipeline \"postProcess\": missing fragment shader $/postProcess_PS_Main.spv"}},
        {"tessellation stage missing",
         [](const fs::path& d) { fs::remove(d / "planet_solid_DS_Main.spv"); },
         [](GraphicsDevice* g, const fs::path& d) { buildPlanetSolid(g, d); },
         {"pipeline \"planet_solid\": missing tessellation evaluation shader $/planet_solid_DS_Main.spv"}},
        {"tessellation control stage missing",
         [](const fs::path& d) { fs::remove(d / "planet_solid_HS_Main.spv"); },
         [](GraphicsDevice* g, const fs::path& d) { buildPlanetSolid(g, d); },
         {"pipeline \"planet_solid\": missing tessellation control shader $/planet_solid_HS_Main.spv"}},
        {"every stage missing",
         [](const fs::path& d) {
             fs::remove(d / "postProcess_VS_Main.spv");
             fs::remove(d / "postProcess_PS_Main.spv");
         },
         buildPostProcess,
         {"pipeline \"postProcess\": missing vertex shader $/postProcess_VS_*.spv, fragment shader "
          "$/postProcess_PS_*.spv"}},
        {"fragment stage truncated",
         [&](const fs::path& d) { truncateToHalf(d / "planet_solid_PS_Main.spv"); },
         [](GraphicsDevice* g, const fs::path& d) { buildPlanetSolid(g, d); },
         {"pipeline \"planet_solid\": $/planet_solid_PS_Main.spv: truncated or damaged SPIR-V module"}},
        {"compute shader missing",
         [](const fs::path& d) { fs::remove(d / "planetgen_solid_CS_Main.spv"); },
         buildPlanetGenerator,
         {"compute pipeline \"planetgen_solid\" (CS_Main): $/planetgen_solid_CS_Main.spv: failed to open file!"}},
        {"compute shader truncated",
         [&](const fs::path& d) { truncateToHalf(d / "planetgen_solid_CS_Main.spv"); },
         buildPlanetGenerator,
         {"compute pipeline \"planetgen_solid\" (CS_Main): $/planetgen_solid_CS_Main.spv: truncated or damaged"}},
        {"shader directory missing",
         [](const fs::path& d) { fs::remove_all(d); },
         buildPostProcess,
         {"pipeline \"postProcess\": cannot read the shader directory $"}},
        {"vertex stage refused by the driver",
         [](const fs::path& d) { pointFirstLoadNowhere(d / "postProcess_VS_Main.spv"); },
         buildPostProcess,
         {"pipeline \"postProcess\": vkCreateGraphicsPipelines failed", "$/postProcess_VS_Main.spv",
          "$/postProcess_PS_Main.spv"}},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (const char* file : {"postProcess_VS_Main.spv", "postProcess_PS_Main.spv", "planet_solid_VS_Main.spv",
                                 "planet_solid_HS_Main.spv", "planet_solid_DS_Main.spv", "planet_solid_PS_Main.spv",
                                 "planetgen_solid_CS_Main.spv"})
            fs::copy_file(installed / file, dir / file);
        c.damage(dir);
        std::string message;
        try {
            c.build(device, dir);
        } catch (const std::runtime_error& e) {
            message = e.what();
        }
        // The driver's validation sees the damaged module too; that is the point of the case.
        takeValidationMessages();
        for (std::string expected : c.expected) {
            for (size_t at; (at = expected.find('$')) != std::string::npos;)
                expected.replace(at, 1, dir.string());
            EXPECT_NE(message.find(expected), std::string::npos) << c.name << ": \"" << message << "\"";
        }
    }
    fs::remove_all(dir);

    // The intact set builds; the planet's vertex input is what its vertex shader reads of the standard layout.
    PipelineGraphics* planet = buildPlanetSolid(device, installed, true);
    ASSERT_NE(planet->pipeline, VkPipeline(VK_NULL_HANDLE));
    EXPECT_EQ(planet->declaredVertexLayout.count, 3u);
    ASSERT_EQ(planet->vertexLayout.count, 1u);
    EXPECT_EQ(planet->vertexLayout.attributes[0].semantic, uint32_t(POSITION));
    EXPECT_EQ(planet->vertexAttributes.size(), 1u);
    unregisterResource(device, planet);
}
