#include "GpuFixture.h"

#include "Demo/Scene/CameraMath.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Spacecraft/SpacecraftLighting.h"
#include "Demo/Surfaces/AstroSurface.h"
#include "Demo/Surfaces/ParticleSystem.h"
#include "Engine/Buffers/StructuredBuffer.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"
#include "HeapInUse.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>

using namespace Demo;

namespace {

struct Particle {
    float position[3];
    float age;
    float velocity[3];
    float lifetime;
    uint32_t emitter, seed;
    float spare[2];
};
static_assert(sizeof(Particle) == 48);

class ParticleSystemGpuTest : public GpuTest {
protected:
    // A particle system with the records its sets bind, driven one frame at a time.
    class ParticleRig {
    public:
        ParticleRig(uint32_t capacity, std::vector<float> atmosphereDistances = {})
            : camera(uniformStorage, sizeof(CameraBlock)), layers(uniformStorage, sizeof(LayerBlock)),
              lights(uniformStorage, sizeof(CraftLightsBlock)), shadow(uniformStorage, sizeof(ShadowBlock)) {
            layerBlock = computeLayerBlock(atmosphereDistances);
            cameraSet =
                new DataSet(device, descriptorPool, {{0, DATA_STORAGE, uniformStorage->descriptorType(), &camera}});
            ParticleSystemCreateInfo info;
            info.device = device;
            info.descriptorPool = descriptorPool;
            info.uniformStorage = uniformStorage;
            info.meshStorage = meshStorage;
            info.layerBlock = &layers;
            info.layers = &layerBlock;
            info.lights = &lights;
            info.shadow = &shadow;
            info.maxParticles = capacity;
            system = std::make_unique<ParticleSystem>(nullptr, info);
            system->CreateUniform();
            // The particle mesh reaches the device with the next submission.
            meshStorage->registerFlush();
            cameraBlock.eye[0] = cameraBlock.eye[1] = cameraBlock.eye[2] = 0.0f;
            lightsBlock.starIntensity = 10.0f;
            lightsBlock.starColor[0] = lightsBlock.starColor[1] = lightsBlock.starColor[2] = 1.0f;
        }
        ~ParticleRig() {
            system.reset();
            unregisterResource(device, cameraSet);
        }

        // An emitter that leaves its particles where it stands (no speed, no spread) unless told otherwise.
        uint32_t addEmitter(const Vec3d& at, float lifetime, float speed = 0.0f) {
            EmitterRecord r;
            r.f[EmitterPosition] = float(at.x);
            r.f[EmitterPosition + 1] = float(at.y);
            r.f[EmitterPosition + 2] = float(at.z);
            r.f[EmitterDirection + 2] = 1.0f;
            r.f[EmitterStartSize] = 0.2f;
            r.f[EmitterEndSize] = 0.4f;
            r.f[EmitterStartColor] = r.f[EmitterStartColor + 1] = r.f[EmitterStartColor + 2] = 1.0f;
            r.f[EmitterLifetime] = lifetime;
            r.f[EmitterSpeed] = speed;
            return system->addEmitter(r);
        }

        void writeBlocks() {
            uniformStorage->beginSlot();
            camera.write(&cameraBlock);
            layers.write(&layerBlock);
            lights.write(&lightsBlock);
            shadow.write(&shadowBlock);
            system->writeSettings();
        }

        // One frame of compute work with the given time step (particle time units).
        void frame(float timeStep, uint32_t repeat = 1) {
            system->settings.timeStep = timeStep;
            writeBlocks();
            runOnce([&](CommandContext* c) {
                uploadPass(c); // the particle mesh
                for (uint32_t k = 0; k < repeat; ++k)
                    system->recordCompute(c, cameraSet, uint32_t(layerBlock.layerCount));
            });
        }

        // One frame of compute work, then every layer drawn far to near into `color` over a cleared `depth`.
        void drawFrame(Image2D* color, Image2D* depth, uint32_t size) {
            uint32_t count = uint32_t(layerBlock.layerCount);
            runOnce([&](CommandContext* c) {
                system->recordCompute(c, cameraSet, count);
                toAttachmentLayouts(c, color, depth);
                beginClearedRendering(c, color->imageView.view, depth->imageView.view,
                                      VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, size, size,
                                      {{0.0f, 0.0f, 0.0f, 123.0f}});
                for (uint32_t l = count; l-- > 0;)
                    system->recordLayer(c, cameraSet, l, size, size);
                vkCmdEndRendering(c->commandBuffer);
                imageBarrier(c, color->image, color->range, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                             VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                             VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT, VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT,
                             VK_ACCESS_2_MEMORY_READ_BIT);
            });
        }

        std::array<int32_t, 8> info() const {
            std::array<int32_t, 8> words;
            std::vector<uint8_t> bytes = readBuffer(system->infoBuffer->buffer, 0, 32);
            std::memcpy(words.data(), bytes.data(), 32);
            return words;
        }

        // The draw command of a layer: index count, instance count, first index, vertex offset, first instance.
        std::array<uint32_t, 5> drawCommand(uint32_t layer) const {
            std::array<uint32_t, 5> words;
            std::vector<uint8_t> bytes = readBuffer(system->indirectBuffer->buffer, layerDrawOffset(layer), 20);
            std::memcpy(words.data(), bytes.data(), 20);
            return words;
        }

        // Where the layer's records start in sort buffer B: the sort's cursor, moved past them, less their count.
        uint32_t layerStart(uint32_t layer) const {
            std::vector<uint8_t> bytes = readBuffer(system->counterBuffer->buffer, 0, 64 * 4);
            uint32_t counters[64];
            std::memcpy(counters, bytes.data(), sizeof counters);
            return counters[32 + layer] - counters[layer];
        }

        std::vector<Particle> particles(uint32_t count) const {
            std::vector<Particle> out(count);
            std::vector<uint8_t> bytes = readBuffer(system->particleBuffer->buffer, 0, count * sizeof(Particle));
            std::memcpy(out.data(), bytes.data(), bytes.size());
            return out;
        }

        StorageBinding camera, layers, lights, shadow;
        CameraBlock cameraBlock{};
        LayerBlock layerBlock;
        CraftLightsBlock lightsBlock;
        ShadowBlock shadowBlock;
        DataSet* cameraSet = nullptr;
        std::unique_ptr<ParticleSystem> system;
    };
};

} // namespace

TEST_F(ParticleSystemGpuTest, RequestsEmitExactlyTheirParticlesAndAFrameWithoutOneRecordsNoEmitDispatch) {
    ParticleRig rig(DefaultMaxParticles);
    uint32_t e = rig.addEmitter({0, 0, 5}, 1000.0f);

    rig.frame(0.001f);
    EXPECT_EQ(rig.system->lastEmitDispatches, 0u);
    EXPECT_EQ(rig.info()[InfoAlive], 0);
    EXPECT_EQ(rig.info()[InfoFresh], 0);

    // 100 particles take two work groups of 64, and no more than 100 particles come of them; 64 take one.
    rig.system->queueEmission({e, 100, 7, 0});
    rig.frame(0.001f);
    EXPECT_EQ(rig.system->lastEmitDispatches, 1u);
    EXPECT_EQ(rig.info()[InfoAlive], 100);
    rig.system->queueEmission({e, 64, 8, 0});
    rig.system->queueEmission({e, 1, 9, 0});
    rig.frame(0.001f);
    EXPECT_EQ(rig.system->lastEmitDispatches, 2u);
    auto info = rig.info();
    EXPECT_EQ(info[InfoAlive], 165);
    EXPECT_EQ(info[InfoFresh], 165);
    EXPECT_EQ(info[InfoDead], 0);

    rig.frame(0.001f);
    EXPECT_EQ(rig.system->lastEmitDispatches, 0u);
    EXPECT_EQ(rig.info()[InfoAlive], 165);

    // Requests for an emitter that does not exist, or of no particles, are dropped on the CPU side.
    rig.system->queueEmission({5, 10, 1, 0});
    rig.system->queueEmission({e, 0, 1, 0});
    EXPECT_TRUE(rig.system->pending.empty());
}

TEST_F(ParticleSystemGpuTest, ParticlesDieAfterTheirLifetimeAndTheirSlotsAreReusedSoThePoolNeverLeaks) {
    ParticleRig rig(DefaultMaxParticles, {4.0f, 16.0f});      // three layers
    uint32_t brief = rig.addEmitter({0, 0, 1}, 1.0f, 2.0f);   // lives 0.75 to 1.25 units, drifts outwards
    uint32_t longer = rig.addEmitter({0, 0, 3}, 40.0f, 0.5f); // lives 30 to 50 units
    rig.system->queueEmission({brief, 700, 11, 0});
    rig.system->queueEmission({longer, 300, 12, 0});
    rig.frame(0.05f);
    EXPECT_EQ(rig.info()[InfoAlive], 1000);

    // 2 units later every short-lived particle is gone and every long-lived one is there, and drawn.
    rig.frame(0.05f, 39);
    auto info = rig.info();
    EXPECT_EQ(info[InfoAlive], 300);
    EXPECT_EQ(info[InfoDead], 700);
    EXPECT_EQ(info[InfoFresh], 1000);
    auto drawnCount = [&] {
        uint32_t drawn = 0;
        for (uint32_t l = 0; l < 3; ++l) {
            auto command = rig.drawCommand(l);
            EXPECT_EQ(command[0], 60u); // the icosahedron's indices
            EXPECT_EQ(rig.layerStart(l), drawn) << "layer " << l << " starts after the layers before it";
            drawn += command[1];
        }
        return drawn;
    };
    EXPECT_EQ(drawnCount(), 300u);

    // New particles take the freed slots before any unused one.
    rig.system->queueEmission({brief, 500, 13, 0});
    rig.frame(0.05f);
    info = rig.info();
    EXPECT_EQ(info[InfoAlive], 800);
    EXPECT_EQ(info[InfoFresh], 1000);
    EXPECT_EQ(info[InfoDead], 200);

    // At 20 units the long-lived ones have dimmed out of sight: alive, but no longer drawn.
    rig.frame(1.0f, 18);
    info = rig.info();
    EXPECT_EQ(info[InfoAlive], 300);
    EXPECT_EQ(drawnCount(), 0u);

    // Long after, all are dead and free again.
    rig.frame(5.0f, 8);
    info = rig.info();
    EXPECT_EQ(info[InfoAlive], 0);
    EXPECT_EQ(info[InfoDead], 1000);
    EXPECT_EQ(info[InfoFresh], 1000);
}

TEST_F(ParticleSystemGpuTest, AFullPoolDropsTheRestOfARequest) {
    ParticleRig rig(256);
    uint32_t e = rig.addEmitter({0, 0, 2}, 0.5f);
    rig.system->queueEmission({e, 200, 1, 0});
    rig.system->queueEmission({e, 100, 1, 0});
    rig.frame(0.01f);
    auto info = rig.info();
    EXPECT_EQ(info[InfoAlive], 256);
    EXPECT_EQ(info[InfoFresh], 256);
    EXPECT_EQ(info[InfoDropped], 44);
    // Once they have died the whole pool is available again.
    rig.frame(1.0f);
    rig.system->queueEmission({e, 256, 2, 0});
    rig.frame(0.01f);
    info = rig.info();
    EXPECT_EQ(info[InfoAlive], 256);
    EXPECT_EQ(info[InfoDead], 0);
    EXPECT_EQ(info[InfoDropped], 44);
}

TEST_F(ParticleSystemGpuTest, ParticlesAreSortedIntoTheirDepthLayersAndLayerThreeOfFiveDrawsFromOffset60) {
    // Layer bounds at squared distances 4, 16, 36 and 64 from the camera at the origin: emitters at 1, 3, 5, 7 and
    // 9 units each fill one layer, 10, 20, 30, 40 and 50 particles.
    ParticleRig rig(DefaultMaxParticles, {4.0f, 16.0f, 36.0f, 64.0f});
    ASSERT_EQ(rig.layerBlock.layerCount, 5);
    const Vec3d directions[5] = {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {0.6, 0, 0.8}, {0, -0.8, 0.6}};
    for (uint32_t k = 0; k < 5; ++k) {
        uint32_t e = rig.addEmitter(directions[k] * (1.0 + 2.0 * k), 100.0f);
        rig.system->queueEmission({e, 10 * (k + 1), 20 + k, 0});
    }
    rig.frame(0.001f);

    // Each layer's region of sort buffer B follows the previous one; the vertex shader finds it from the sort's
    // cursor, so every command's first instance is 0 (what a device without drawIndirectFirstInstance allows).
    uint32_t first = 0;
    for (uint32_t l = 0; l < 5; ++l) {
        auto command = rig.drawCommand(l);
        EXPECT_EQ(command[1], 10 * (l + 1)) << "layer " << l;
        EXPECT_EQ(command[4], 0u) << "layer " << l;
        EXPECT_EQ(rig.layerStart(l), first) << "layer " << l;
        first += command[1];
    }
    EXPECT_EQ(layerDrawOffset(3), 60u);
    auto third = rig.drawCommand(3);
    EXPECT_EQ(third[1], 40u);
    const uint32_t thirdFirst = rig.layerStart(3);
    EXPECT_EQ(thirdFirst, 60u);

    // Every render record of layer 3's region lies between its bounds.
    std::vector<uint8_t> bytes = readBuffer(rig.system->sortBufferB->buffer, 16 * thirdFirst, 16 * third[1]);
    for (uint32_t i = 0; i < third[1]; ++i) {
        float p[3];
        std::memcpy(p, bytes.data() + 16 * i, 12);
        float d2 = p[0] * p[0] + p[1] * p[1] + p[2] * p[2];
        EXPECT_GE(d2, 36.0f);
        EXPECT_LT(d2, 64.0f);
    }

    // Drawn into an HDR target, the particles add their glow and leave the target's alpha alone.
    const uint32_t size = 96;
    auto* color =
        new Image2D(device, size, size, VK_FORMAT_R32G32B32A32_SFLOAT,
                    VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                    VK_IMAGE_ASPECT_COLOR_BIT, 1);
    VkFormat depthFormat = Helper::findDepthFormat(device->physicalDevice);
    auto* depth = new Image2D(device, size, size, depthFormat, VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT,
                              VK_IMAGE_ASPECT_DEPTH_BIT, 1);
    Mat4f view = lookAt({0, 0, 0}, {0, 0, -1}, viewUpFor({0, 0, -1}));
    Mat4f viewProjection = perspective(60.0f, 1.0f, 0.1f, 100.0f) * view;
    std::memcpy(rig.cameraBlock.viewProjection, viewProjection.m, 64);
    rig.writeBlocks();
    rig.drawFrame(color, depth, size);
    std::vector<uint8_t> pixels = readImage(color->image, size, size, 16);
    const float* f = reinterpret_cast<const float*>(pixels.data());
    // The emitter at 5 units straight ahead (layer 2) shows at the centre; a corner stays black.
    const float* centre = f + 4 * (size / 2 * size + size / 2);
    EXPECT_GT(centre[0], 0.0f);
    EXPECT_FLOAT_EQ(centre[3], 123.0f);
    EXPECT_EQ(f[0], 0.0f);
    unregisterResource(device, color);
    unregisterResource(device, depth);
}

TEST_F(ParticleSystemGpuTest, PositionsStayFiniteOverAThousandStepsUnderTheAttractor) {
    ParticleRig rig(DefaultMaxParticles);
    // Earth-like attractor (μ = 2.36e-6 world units³/s², in particle time) at the origin; the emitter 20 units out
    // moving at about orbital speed, shooting particles in every direction, some straight at the centre.
    const double mu = 2.36e-6;
    ParticleAttractor attractor = particleAttractor({0, 0, 0}, mu);
    rig.system->setAttractor(attractor.position, attractor.strength);
    uint32_t around = rig.addEmitter({20, 0, 0}, 1e6f, 20.0f);
    rig.system->settings.emitters[around].f[EmitterSpread] = 3.0f;
    float velocity[3] = {0.0f, float(std::sqrt(mu / 20.0) * ParticleTimeUnit), 0.0f};
    float position[3] = {20.0f, 0.0f, 0.0f}, direction[3] = {0.0f, 0.0f, 1.0f};
    rig.system->setEmitterFrame(around, position, direction, velocity);
    uint32_t inward = rig.addEmitter({20, 0, 0}, 1e6f, 40.0f);
    float towards[3] = {-1.0f, 0.0f, 0.0f}, still[3] = {0.0f, 0.0f, 0.0f};
    rig.system->setEmitterFrame(inward, position, towards, still);
    rig.system->queueEmission({around, 900, 3, 0});
    rig.system->queueEmission({inward, 100, 4, 0});

    // Steps of 0.05 units, about a seventy-fifth of the orbit, some ten orbits in all.
    for (int batch = 0; batch < 10; ++batch)
        rig.frame(0.05f, 100);
    EXPECT_EQ(rig.info()[InfoAlive], 1000);
    double farthest = 0.0;
    for (const Particle& p : rig.particles(1000)) {
        for (int k = 0; k < 3; ++k) {
            ASSERT_TRUE(std::isfinite(p.position[k]));
            ASSERT_TRUE(std::isfinite(p.velocity[k]));
        }
        farthest =
            std::max(farthest, std::sqrt(double(p.position[0]) * p.position[0] + double(p.position[1]) * p.position[1] +
                                         double(p.position[2]) * p.position[2]));
        EXPECT_NEAR(p.age, 50.0f, 0.06f);
    }
    EXPECT_GT(farthest, 1.0);
}

TEST_F(ParticleSystemGpuTest, DrawingFrameAfterFrameDoesNotGrowTheHeap) {
    // A driver that folds uniform values into its shaders keeps a rebuilt copy of the shader at every draw and
    // dispatch whose branches depend on them (eclipse occluder count, attractor strength, layer count): a megabyte
    // a draw, gigabytes over a long run. Two hundred frames of five layers with and without occluders stay flat.
    if (TestSupport::heapInUse() < 0)
        GTEST_SKIP() << "the C library does not report its heap";
    ParticleRig rig(DefaultMaxParticles, {4.0f, 16.0f, 36.0f, 64.0f});
    uint32_t e = rig.addEmitter({0, 0, -5}, 1000.0f, 0.1f);
    rig.system->queueEmission({e, 50, 1, 0});
    const uint32_t size = 32;
    auto* color =
        new Image2D(device, size, size, VK_FORMAT_R32G32B32A32_SFLOAT,
                    VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                    VK_IMAGE_ASPECT_COLOR_BIT, 1);
    auto* depth = new Image2D(device, size, size, Helper::findDepthFormat(device->physicalDevice),
                              VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT, VK_IMAGE_ASPECT_DEPTH_BIT, 1);
    Mat4f viewProjection =
        perspective(60.0f, 1.0f, 0.1f, 100.0f) * lookAt({0, 0, 0}, {0, 0, -1}, viewUpFor({0, 0, -1}));
    std::memcpy(rig.cameraBlock.viewProjection, viewProjection.m, 64);
    rig.system->settings.attractorStrength = 1e-4f;
    auto frames = [&](uint32_t n) {
        for (uint32_t k = 0; k < n; ++k) {
            rig.shadowBlock.occluderCount = k % 2; // both shapes of the eclipse test
            rig.shadowBlock.occluders[0][2] = -20.0f;
            rig.shadowBlock.occluders[0][3] = 1.0f;
            rig.system->settings.timeStep = 0.001f;
            rig.writeBlocks();
            rig.drawFrame(color, depth, size);
        }
    };
    frames(10);
    int64_t before = TestSupport::heapInUse();
    frames(200);
    int64_t grown = TestSupport::heapInUse() - before;
    EXPECT_LT(grown, int64_t(16) << 20) << "heap grew by " << (grown >> 20) << " MB over 200 frames";
    EXPECT_EQ(rig.info()[InfoAlive], 50);
    unregisterResource(device, color);
    unregisterResource(device, depth);
}
