#include "Demo/Surfaces/GasFluid.h"

#include "Demo/Scene/PassProfiler.h"
#include "Demo/Scene/ScenePipelines.h"
#include "Engine/Buffers/StructuredBuffer.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Images/Image.h"
#include "Engine/Pipelines/PipelineCompute.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace Demo {

namespace {

constexpr VkAccessFlags accessMask(uint8_t access) {
    return ((access & AccessRead) ? VkAccessFlags(VK_ACCESS_SHADER_READ_BIT) : VkAccessFlags(0)) |
           ((access & AccessWrite) ? VkAccessFlags(VK_ACCESS_SHADER_WRITE_BIT) : VkAccessFlags(0));
}

} // namespace

GasFluid::GasFluid(const GasFluidCreateInfo& info) : block(info.block), device(info.device) {
    if (!isValidFluidGrid(block.width, block.height))
        throw std::runtime_error(
            "GasFluid: a grid of " + std::to_string(block.width) + " x " + std::to_string(block.height) +
            " cells cannot be simulated (width a power of two from 256, height a multiple of 4 from 8)");
    if (!device || !info.descriptorPool || !info.uniformStorage)
        throw std::runtime_error("GasFluid: needs a device, a descriptor pool and a uniform storage");
    block.cellCount = block.width * block.height;
    createSharedObjects();

    const uint32_t nodes = fluidNodeCount(block.width, block.height);
    colorField = new StructuredBuffer(device, block.cellCount, 16);
    vorticity = new StructuredBuffer(device, nodes, 4);
    solveInput = new StructuredBuffer(device, nodes, 4);
    pressure = new StructuredBuffer(device, nodes, 4);
    velocity[0] = new StructuredBuffer(device, nodes, 8);
    velocity[1] = new StructuredBuffer(device, nodes, 8);
    for (StructuredBuffer* b : {colorField, vorticity, solveInput, pressure, velocity[0], velocity[1]})
        bufferBindings.push_back(new BufferBinding(b));

    image = new Image2D(device, block.width, block.height, VK_FORMAT_R8G8B8A8_UNORM,
                        VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_STORAGE_BIT | VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT |
                            info.extraImageUsage,
                        VK_IMAGE_ASPECT_COLOR_BIT, 1);
    imageBinding = new TextureBinding(&image->imageView, sampler);
    blockBinding = new StorageBinding(info.uniformStorage, sizeof(FluidSimulationBlock));

    const uint32_t sb = VK_DESCRIPTOR_TYPE_STORAGE_BUFFER;
    set0 = new DataSet(device, info.descriptorPool,
                       {{0, DATA_STORAGE, info.uniformStorage->descriptorType(), blockBinding},
                        {1, STRUCTURED_BUFFER, sb, bufferBindings[0]},
                        {2, STRUCTURED_BUFFER, sb, bufferBindings[1]},
                        {3, STRUCTURED_BUFFER, sb, bufferBindings[2]},
                        {4, STRUCTURED_BUFFER, sb, bufferBindings[3]},
                        {5, TEXTURE, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, imageBinding}});
    set1[0] =
        new DataSet(device, info.descriptorPool,
                    {{6, STRUCTURED_BUFFER, sb, bufferBindings[4]}, {7, STRUCTURED_BUFFER, sb, bufferBindings[5]}});
    set1[1] =
        new DataSet(device, info.descriptorPool,
                    {{6, STRUCTURED_BUFFER, sb, bufferBindings[5]}, {7, STRUCTURED_BUFFER, sb, bufferBindings[4]}});

    for (FluidStepKind kind : {FluidStepKind::First, FluidStepKind::Flow, FluidStepKind::Colour})
        stepCommands[size_t(kind)] = fluidStepCommands(kind, block.width, block.height);
}

GasFluid::~GasFluid() {
    for (DataSet* set : {set0, set1[0], set1[1]})
        if (set)
            unregisterResource(device, set);
    for (StructuredBuffer* b : {colorField, vorticity, solveInput, pressure, velocity[0], velocity[1]})
        if (b)
            unregisterResource(device, b);
    if (image)
        unregisterResource(device, image);
    delete blockBinding;
    // The records detach themselves from data sets whose release is still pending.
    delete imageBinding;
    for (BufferBinding* binding : bufferBindings)
        delete binding;
}

void GasFluid::createSharedObjects() {
    // Linear filtering, clamp to edge, no anisotropy, LOD range ±1000.
    sampler = sharedResource<Sampler>(device, "fluid sampler",
                                      [&] { return new Sampler(device, Sampler::defaultInfo(1.0f)); });
    for (size_t k = 0; k < size_t(FluidPass::Count); ++k) {
        pipelines[k] =
            sharedResource<PipelineCompute>(device, std::string("fluid ") + fluidPassName(FluidPass(k)), [&] {
                auto* pipeline = new PipelineCompute(device);
                pipeline->layoutNotation = "UBD_0+SB_1+SB_2+SB_3+SB_4+SI_5 SB_6+SB_7";
                if (FluidPass(k) == FluidPass::PressureSolveRB)
                    pipeline->pushConstantRanges.push_back({VK_SHADER_STAGE_COMPUTE_BIT, 0, 4});
                pipeline->load("fluid", fluidPassName(FluidPass(k)));
                pipeline->create();
                return pipeline;
            });
    }
}

void GasFluid::uploadBlock() {
    if (blockBinding->storage)
        blockBinding->write(&block);
}

StructuredBuffer* GasFluid::buffer(FluidBuffer role) const {
    switch (role) {
    case FluidBuffer::Color:
        return colorField;
    case FluidBuffer::Vorticity:
        return vorticity;
    case FluidBuffer::SolveInput:
        return solveInput;
    case FluidBuffer::Pressure:
        return pressure;
    case FluidBuffer::Velocity:
        return velocity[currentSet];
    case FluidBuffer::OtherVelocity:
        return velocity[1 - currentSet];
    }
    return nullptr;
}

void GasFluid::recordStep(CommandContext* context, PassProfiler* profiler) {
    const FluidStepKind kind = initialised ? fluidStepKind(std::max(steps, 1u)) : FluidStepKind::First;
    const std::vector<FluidCommand>& commands = stepCommands[size_t(kind)];
    recordCommands(context, commands, 0, commands.size(), profiler);
    ++steps;
}

void GasFluid::recordCommands(CommandContext* context, const std::vector<FluidCommand>& commands, size_t begin,
                              size_t end, PassProfiler* profiler) {
    if (begin == 0)
        lastPasses.clear();
    if (profiler && profiler != profiledBy) {
        for (size_t k = 0; k < size_t(FluidPass::Count); ++k)
            profileRows[k] = profiler->subRow(std::string("fluid/") + (fluidPassName(FluidPass(k)) + 3));
        profiledBy = profiler;
    }
    const VkImageSubresourceRange range = image->range;
    for (size_t k = begin; k < end && k < commands.size(); ++k) {
        const FluidCommand& c = commands[k];
        switch (c.kind) {
        case FluidCommand::BufferBarrier:
            bufferBarrier(context, buffer(c.buffer)->buffer, VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT,
                          VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT, accessMask(c.srcAccess), accessMask(c.dstAccess));
            break;
        case FluidCommand::Dispatch: {
            PipelineCompute* pipeline = pipelines[size_t(c.pass)];
            pipeline->bind(context);
            bindDataSet(context, set0);
            bindDataSet(context, set1[currentSet]);
            pipeline->bindDataSets(context);
            if (c.pass == FluidPass::PressureSolveRB)
                vkCmdPushConstants(context->commandBuffer, pipeline->layout, VK_SHADER_STAGE_COMPUTE_BIT, 0,
                                   sizeof(uint32_t), &c.parity);
            if (profiler) {
                profiler->beginPass(context, profileRows[size_t(c.pass)]);
                // A CPU driver takes a timestamp when it next flushes its queue, and a dispatch runs at once:
                // the barrier flushes, so the stamp falls before the dispatch and not after it.
                vkCmdPipelineBarrier(context->commandBuffer, VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT,
                                     VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT, 0, 0, nullptr, 0, nullptr, 0, nullptr);
            }
            vkCmdDispatch(context->commandBuffer, c.groups[0], c.groups[1], c.groups[2]);
            if (profiler)
                profiler->endPass(context, profileRows[size_t(c.pass)], 0.0);
            lastPasses.push_back({c.pass, currentSet});
            if (c.pass == FluidPass::Init)
                initialised = true;
            break;
        }
        case FluidCommand::SwapVelocities:
            currentSet = uint8_t(1 - currentSet);
            break;
        case FluidCommand::ImageToGeneral:
            // Every texel is rewritten: the old contents go. The previous frame's draws sampled the image.
            imageBarrier(context, image->image, range, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_GENERAL,
                         VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT, VK_ACCESS_2_NONE,
                         VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT);
            break;
        case FluidCommand::ImageToShaderRead:
            imageBarrier(context, image->image, range, VK_IMAGE_LAYOUT_GENERAL,
                         VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT,
                         VK_ACCESS_2_SHADER_WRITE_BIT, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
                         VK_ACCESS_2_SHADER_READ_BIT);
            break;
        }
    }
}

} // namespace Demo
