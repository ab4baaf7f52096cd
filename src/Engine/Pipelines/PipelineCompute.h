#pragma once
#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <filesystem>
#include <string>
#include <vector>

class GraphicsDevice;
class CommandContext;

// A compute pipeline from "shaders/" + name + "_" + entry point + ".spv".
class PipelineCompute : public GraphicsResource {
public:
    explicit PipelineCompute(GraphicsDevice* device);
    ~PipelineCompute() override;

    // Creates the module. Every failure (the file cannot be opened: "failed to open file!", is not SPIR-V, is damaged,
    // is refused) stops with an error naming the pipeline and the file.
    void load(const std::string& pipelineName, const std::string& entryPoint);
    void load(const std::string& pipelineName, const std::string& entryPoint, const std::filesystem::path& directory);
    void create();

    // vkCmdBindPipeline unless the context has this pipeline bound already.
    void bind(CommandContext* context);
    // Binds the context's pending data sets from set 0 with their dynamic offsets.
    void bindDataSets(CommandContext* context);

    VkPipeline pipeline = VK_NULL_HANDLE;
    VkPipelineLayout layout = VK_NULL_HANDLE;
    GraphicsDevice* owner = nullptr;
    VkShaderModule module = VK_NULL_HANDLE;
    std::string entryPoint;       // from the file name ("CS_init")
    std::string moduleEntryPoint; // inside the module
    std::string name;
    std::string file; // the shader file, for messages
    std::string layoutNotation;
    std::vector<VkDescriptorSetLayout> setLayouts;
    std::vector<VkPushConstantRange> pushConstantRanges;
    // Values of the shader's specialization constants (constant_id), fixed when the pipeline is created: a
    // CPU driver runs every branch of a shader, so callers fold away the paths a dispatch never takes.
    std::vector<VkSpecializationMapEntry> specializationEntries;
    std::vector<uint8_t> specializationData;
    VkPipelineCreateFlags createFlags = 0; // e.g. VK_PIPELINE_CREATE_DISPATCH_BASE_BIT for vkCmdDispatchBase

private:
    std::string description() const; // compute pipeline "name" (entry point)
};
