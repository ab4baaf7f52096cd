#pragma once
// Shader files: shaders/<pipeline>_<entry point>.spv. Graphics stage files are recognised by the stage tag after
// the pipeline name ("_VS_", "_PS_", "_GS_", "_HS_", "_DS_"); compute files are named by their caller.
#include <vulkan/vulkan.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Graphics stages in the order the pipelines keep them.
enum ShaderStageIndex : uint32_t {
    StageVertex = 0,
    StageFragment = 1,
    StageGeometry = 2,
    StageTessControl = 3,
    StageTessEvaluation = 4,
    GraphicsStageCount = 5,
};
const char* stageTag(uint32_t stage);
VkShaderStageFlagBits stageBit(uint32_t stage);

// The entry point name a file supplies for one stage of a pipeline ("star_VS_main.spv" gives "VS_main" for the
// vertex stage of "star"); nullopt when the file is not that stage's file.
std::optional<std::string> matchStageFile(const std::string& fileName, const std::string& pipelineName, uint32_t stage);

struct GraphicsShaderFiles {
    std::array<std::filesystem::path, GraphicsStageCount> paths;
    std::array<std::string, GraphicsStageCount> entryPoints; // empty when the stage is absent
};
// Scans the regular files of `directory` (not recursively) for the pipeline's stage files.
// A missing directory throws std::filesystem::filesystem_error.
GraphicsShaderFiles findGraphicsShaders(const std::filesystem::path& directory, const std::string& pipelineName);

// The words of a SPIR-V file. "failed to open file!" when it cannot be opened; a file that is not a SPIR-V
// module (size not a multiple of four, wrong magic number, too short) throws std::runtime_error naming it.
std::vector<uint32_t> readSpirv(const std::string& path);

// Name of the first OpEntryPoint of the module for the execution model of `stage` (a VkShaderStageFlagBits);
// nullopt when there is none or the module's instruction stream is malformed.
std::optional<std::string> spirvEntryPoint(const std::vector<uint32_t>& words, VkShaderStageFlagBits stage);

struct ShaderModule {
    VkShaderModule module = VK_NULL_HANDLE;
    std::string moduleEntryPoint; // the name inside the module that the pipeline stage calls
};
// Reads the file and creates the module; false (and nothing stored) when Vulkan refuses it.
bool createShaderModule(VkDevice device, const std::string& path, VkShaderStageFlagBits stage, ShaderModule& out);
