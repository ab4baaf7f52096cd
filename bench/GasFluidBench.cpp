// One step of a gas planet's clouds at the program's grid (2048 x 1024) on the headless device: the cost a gas
// planet in view adds to every frame. Real time per step, averaged over pairs of steps (the colour moves in every
// other step); on lavapipe LP_NUM_THREADS sets how many cores the driver uses. Run from the run directory (the
// shaders load from ./shaders).
#include "Demo/Surfaces/GasFluid.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/Frame/EngineContext.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/VulkanInstance.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

struct FluidDevice {
    VulkanInstance instance;
    EngineContext* engine = nullptr;
    GraphicsDevice* device = nullptr;
    DescriptorPool* pool = nullptr;
    DsUniformSingle* uniforms = nullptr;

    FluidDevice() {
        instance.createHeadless();
        engine = new EngineContext(instance.instance, VK_NULL_HANDLE, nullptr);
        device = engine->device;
        pool = engine->descriptorPool;
        uniforms = engine->uniformStorage;
    }
    ~FluidDevice() {
        delete engine;
        instance.destroy();
    }
};

void BM_GasFluidStep(benchmark::State& state) {
    FluidDevice gpu;
    Demo::RandomSource random;
    auto fluid = std::make_unique<Demo::GasFluid>(
        Demo::GasFluidCreateInfo{gpu.device, gpu.pool, gpu.uniforms, Demo::makeFluidSimulationBlock(random)});
    auto steps = [&](int count) {
        gpu.uniforms->beginSlot();
        fluid->uploadBlock();
        OneShotCommands commands(gpu.device);
        CommandContext* context = commands.begin();
        for (int k = 0; k < count; ++k)
            fluid->recordStep(context);
        commands.submitAndWait();
    };
    steps(2); // the first step initialises the grid
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        steps(2);
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count() / 2.0);
    }
    fluid.reset();
}
BENCHMARK(BM_GasFluidStep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
