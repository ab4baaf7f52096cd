#include "GpuFixture.h"

#include "Demo/Surfaces/GasFluid.h"
#include "Engine/Buffers/StructuredBuffer.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Images/Image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

using namespace Demo;

namespace {

// IEEE half float to float.
float halfToFloat(uint16_t h) {
    const uint32_t sign = uint32_t(h >> 15) << 31, exponent = (h >> 10) & 31u, mantissa = h & 1023u;
    if (exponent == 0)
        return (sign ? -1.0f : 1.0f) * std::ldexp(float(mantissa), -24);
    if (exponent == 31)
        return mantissa ? NAN : (sign ? -INFINITY : INFINITY);
    const uint32_t bits = sign | ((exponent + 112u) << 23) | (mantissa << 13);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

class GasFluidGpuTest : public GpuTest {
protected:
    // A small grid: the passes do not depend on the size beyond the row alignment.
    static constexpr uint32_t Width = 256, Height = 128;

    static std::unique_ptr<GasFluid> makeFluid() {
        RandomSource random;
        return std::make_unique<GasFluid>(GasFluidCreateInfo{device, descriptorPool, uniformStorage,
                                                             makeFluidSimulationBlock(random, Width, Height),
                                                             VK_IMAGE_USAGE_TRANSFER_SRC_BIT});
    }

    // `count` steps in one submission (the block is written once for all of them).
    static void step(GasFluid& fluid, int count = 1) {
        uniformStorage->beginSlot();
        fluid.uploadBlock();
        runOnce([&](CommandContext* c) {
            for (int k = 0; k < count; ++k)
                fluid.recordStep(c);
        });
    }

    // The current velocity, u and v per node (each node keeps two half floats in the first word of its element).
    static std::vector<float> readVelocity(GasFluid& fluid) {
        StructuredBuffer* b = fluid.buffer(FluidBuffer::Velocity);
        std::vector<uint8_t> bytes = readBuffer(b->buffer, 0, b->size);
        std::vector<float> v;
        for (size_t k = 0; k + 8 <= bytes.size(); k += 8) {
            uint16_t u, w;
            std::memcpy(&u, &bytes[k], 2);
            std::memcpy(&w, &bytes[k + 2], 2);
            v.push_back(halfToFloat(u));
            v.push_back(halfToFloat(w));
        }
        return v;
    }

    // Root mean square of the central-difference divergence on the flow lattice (no flow through the poles), the
    // divergence the projection removes.
    static double rmsDivergence(const std::vector<float>& v) {
        const int nw = int(Width / FluidNodeSize), nh = int(Height / FluidNodeSize);
        auto u = [&](int x, int y) { return double(v[2 * (y * nw + (x + nw) % nw)]); };
        auto w = [&](int x, int y) { return y < 0 || y >= nh ? 0.0 : double(v[2 * (y * nw + (x + nw) % nw) + 1]); };
        double sum = 0.0;
        for (int y = 0; y < nh; ++y)
            for (int x = 0; x < nw; ++x) {
                double d = 0.5 * (u(x + 1, y) - u(x - 1, y)) + 0.5 * (w(x, y + 1) - w(x, y - 1));
                sum += d * d;
            }
        return std::sqrt(sum / (nw * nh));
    }

    static std::vector<uint8_t> readFluidImage(GasFluid& fluid) {
        return readImage(fluid.image->image, Width, Height, 4);
    }
};

} // namespace

TEST_F(GasFluidGpuTest, FirstStepInitialisesAndConsecutiveStepsUseOppositeVelocitySets) {
    std::unique_ptr<GasFluid> fluid = makeFluid();
    EXPECT_EQ(fluid->image->width, Width);
    EXPECT_EQ(fluid->image->format, VK_FORMAT_R8G8B8A8_UNORM);

    StructuredBuffer* a = fluid->buffer(FluidBuffer::Velocity);
    step(*fluid);
    ASSERT_GE(fluid->lastPasses.size(), 2u);
    EXPECT_EQ(fluid->lastPasses[0].pass, FluidPass::Init);
    EXPECT_EQ(fluid->lastPasses[1].pass, FluidPass::Update);
    EXPECT_TRUE(fluid->initialised);
    const uint8_t firstSet = fluid->lastPasses[1].set;
    // After the step the advected velocity is current, in the other buffer.
    EXPECT_NE(fluid->buffer(FluidBuffer::Velocity), a);

    step(*fluid);
    EXPECT_EQ(fluid->lastPasses.front().pass, FluidPass::Update);
    EXPECT_EQ(std::count_if(fluid->lastPasses.begin(), fluid->lastPasses.end(),
                            [](const FluidStepRecord& r) { return r.pass == FluidPass::Init; }),
              0);
    const uint8_t secondSet = fluid->lastPasses.front().set;
    EXPECT_NE(firstSet, secondSet);
    step(*fluid);
    EXPECT_EQ(fluid->lastPasses.front().set, firstSet);
    EXPECT_EQ(fluid->steps, 3u);
}

TEST_F(GasFluidGpuTest, TwoHundredStepsStayFiniteProjectAndKeepMoving) {
    std::unique_ptr<GasFluid> fluid = makeFluid();
    for (int k = 0; k < 10; ++k)
        step(*fluid, 10);
    std::vector<uint8_t> at100 = readFluidImage(*fluid);
    for (int k = 0; k < 10; ++k)
        step(*fluid, 10);
    std::vector<uint8_t> at200 = readFluidImage(*fluid);
    EXPECT_EQ(fluid->steps, 200u);

    std::vector<float> v = readVelocity(*fluid);
    float fastest = 0.0f;
    for (float c : v) {
        ASSERT_TRUE(std::isfinite(c));
        fastest = std::max(fastest, std::fabs(c));
    }
    EXPECT_GT(fastest, 0.05f) << "the flow came to rest";
    EXPECT_LE(fastest, 2.0f); // nodes per step

    // Step 201 up to the forcing, then on through the projection: the divergence left by advection and forcing
    // drops (one red-black sweep from last frame's pressure).
    const std::vector<FluidCommand> commands = fluidStepCommands(FluidStepKind::Flow, Width, Height);
    auto after = [&](FluidPass pass) {
        return size_t(std::find_if(
                          commands.begin(), commands.end(),
                          [&](const FluidCommand& c) { return c.kind == FluidCommand::Dispatch && c.pass == pass; }) -
                      commands.begin()) +
               1;
    };
    const size_t forced = after(FluidPass::Update), projected = after(FluidPass::ApplyPressureSolve);
    uniformStorage->beginSlot();
    fluid->uploadBlock();
    runOnce([&](CommandContext* c) { fluid->recordCommands(c, commands, 0, forced); });
    const double before = rmsDivergence(readVelocity(*fluid));
    runOnce([&](CommandContext* c) { fluid->recordCommands(c, commands, forced, projected); });
    const double afterProjection = rmsDivergence(readVelocity(*fluid));
    EXPECT_GT(before, 0.0);
    EXPECT_LT(afterProjection, 0.75 * before) << "before " << before << ", after " << afterProjection;

    // The clouds are not one colour, and they moved between step 100 and step 200.
    auto luminance = [](const std::vector<uint8_t>& img, size_t p) {
        return 0.3 * img[4 * p] + 0.6 * img[4 * p + 1] + 0.1 * img[4 * p + 2];
    };
    double mean = 0.0, meanSquare = 0.0, change = 0.0;
    const size_t pixels = size_t(Width) * Height;
    for (size_t p = 0; p < pixels; ++p) {
        double l = luminance(at200, p);
        mean += l;
        meanSquare += l * l;
        for (int ch = 0; ch < 3; ++ch)
            change += std::abs(int(at200[4 * p + ch]) - int(at100[4 * p + ch]));
    }
    mean /= double(pixels);
    const double deviation = std::sqrt(std::max(meanSquare / double(pixels) - mean * mean, 0.0));
    EXPECT_GT(deviation, 4.0) << "the image is nearly constant";
    EXPECT_GT(change / double(3 * pixels), 1.0) << "the clouds did not move between step 100 and 200";
}

TEST_F(GasFluidGpuTest, GridsThePassesCannotCoverAreRefused) {
    RandomSource random;
    FluidSimulationBlock block = makeFluidSimulationBlock(random, 200, 100);
    EXPECT_THROW(GasFluid({device, descriptorPool, uniformStorage, block}), std::runtime_error);
}
