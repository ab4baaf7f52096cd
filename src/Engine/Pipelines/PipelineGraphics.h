#pragma once
#include "Engine/Buffers/VertexLayout.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"
#include "Engine/Pipelines/PipelineState.h"
#include "Engine/Pipelines/ShaderFiles.h"

#include <vulkan/vulkan.h>

#include <string>
#include <vector>

class GraphicsDevice;
class CommandContext;

struct AttachmentFormats {
    std::vector<VkFormat> color;
    VkFormat depth = VK_FORMAT_UNDEFINED;
};

// Creates one descriptor set layout per set of the layout notation into `setLayouts` and the pipeline layout
// from them and the push constant ranges. The caller destroys the set layouts once the pipeline exists.
VkPipelineLayout createPipelineLayout(GraphicsDevice* device, const std::string& notation,
                                      const std::vector<VkPushConstantRange>& pushConstantRanges,
                                      std::vector<VkDescriptorSetLayout>& setLayouts);
void destroySetLayouts(GraphicsDevice* device, std::vector<VkDescriptorSetLayout>& setLayouts);

// A graphics pipeline for dynamic rendering, built from the stage files found under shaders/, a layout notation,
// a vertex layout and the options. Viewport and scissor are set per draw.
class PipelineGraphics : public GraphicsResource {
public:
    explicit PipelineGraphics(GraphicsDevice* device);
    ~PipelineGraphics() override;

    // Finds the pipeline's stage files in shaders/ (or `directory`) and creates their modules. A stage file that
    // cannot be read or is refused stops with an error naming the file and the pipeline.
    void loadShaders(const std::string& pipelineName);
    void loadShaders(const std::string& pipelineName, const std::filesystem::path& directory);
    void setVertexLayout(const VertexLayout& layout, bool interleaved);
    // Builds the layout from the notation and the pipeline. Stops naming the pipeline and the files when a stage
    // it needs has no file (requiredGraphicsStages) or when Vulkan refuses the pipeline.
    void create(const AttachmentFormats& formats);

    // vkCmdBindPipeline unless the context has this pipeline bound already.
    void bind(CommandContext* context);
    // Binds the context's pending data sets from set 0 with their dynamic offsets.
    void bindDataSets(CommandContext* context);

    PipelineOptions options;
    VkPipeline pipeline = VK_NULL_HANDLE;
    // What meshes bind for this pipeline: the attributes of the declared layout that the vertex shader reads.
    VertexLayout vertexLayout;
    VertexLayout declaredVertexLayout;
    bool interleavedVertices = false;
    std::optional<std::vector<uint32_t>> vertexInputLocations; // of the vertex module, when known
    VkPipelineLayout layout = VK_NULL_HANDLE;
    GraphicsDevice* owner = nullptr;
    std::string name;
    VkShaderModule modules[GraphicsStageCount] = {};
    std::string entryPoints[GraphicsStageCount];       // from the file names ("VS_main")
    std::string moduleEntryPoints[GraphicsStageCount]; // inside the modules, what the stages call
    std::string layoutNotation;
    std::vector<VkVertexInputBindingDescription> vertexBindings;
    std::vector<VkVertexInputAttributeDescription> vertexAttributes;
    std::vector<VkDescriptorSetLayout> setLayouts;
    std::vector<VkPushConstantRange> pushConstantRanges;
    std::filesystem::path shaderDirectory = "shaders";
    GraphicsShaderFiles files; // what the last scan found, for messages
    // Specialization constants given to every stage (none when empty).
    std::vector<VkSpecializationMapEntry> specializationEntries;
    std::vector<uint8_t> specializationData;
};
