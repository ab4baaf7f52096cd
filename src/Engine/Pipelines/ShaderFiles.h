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

// The words of a SPIR-V file. Every failure throws std::runtime_error beginning with the path: "<path>: failed to
// open file!" when it cannot be opened; something that is not a regular file, or not a SPIR-V module (size not a
// multiple of four, too short or absurdly long, wrong magic number) names the problem.
std::vector<uint32_t> readSpirv(const std::string& path);

// Name of the first OpEntryPoint of the module for the execution model of `stage` (a VkShaderStageFlagBits);
// nullopt when there is none or the module's instruction stream is malformed.
std::optional<std::string> spirvEntryPoint(const std::vector<uint32_t>& words, VkShaderStageFlagBits stage);

// What is wrong with the module's instruction stream, nullopt when nothing is: an instruction running past the end
// (a cut in the middle of an instruction), a function without its end (a cut at an instruction boundary) or an
// entry point whose function is not in the module. A driver may accept such a module and fail only at pipeline
// creation, far from the file; these checks catch a cut file where it is read.
std::optional<std::string> spirvDamage(const std::vector<uint32_t>& words);

// Locations of the user-defined inputs the module's entry point for `stage` reads (built-ins excluded), sorted;
// nullopt when they cannot be told for sure (no entry point, an input that is not a scalar or vector and so may
// span several locations, a malformed stream). The optimiser removes inputs a shader never reads, so these are
// the vertex attributes a vertex shader consumes.
std::optional<std::vector<uint32_t>> spirvInputLocations(const std::vector<uint32_t>& words,
                                                         VkShaderStageFlagBits stage);

// The checked words of a stage file and the entry point inside it. Throws std::runtime_error beginning with the path
// when the file cannot be read, is not SPIR-V, is damaged or has no entry point for the stage.
struct ShaderCode {
    std::vector<uint32_t> words;
    std::string entryPoint;
    std::optional<std::vector<uint32_t>> inputLocations;
};
ShaderCode loadShaderCode(const std::string& path, VkShaderStageFlagBits stage);

struct ShaderModule {
    VkShaderModule module = VK_NULL_HANDLE;
    std::string moduleEntryPoint;                        // the name inside the module that the pipeline stage calls
    std::optional<std::vector<uint32_t>> inputLocations; // spirvInputLocations of the module
};
// Reads and checks the file and creates the module. Throws std::runtime_error beginning with the path on every
// failure, including vkCreateShaderModule refusing it; the pipelines add their own name to the message.
ShaderModule createShaderModule(VkDevice device, const std::string& path, VkShaderStageFlagBits stage);

// Stages a graphics pipeline cannot be built without: the vertex stage always; the fragment stage when the pipeline
// writes colour, and when it has no attachment at all (it then exists only for what its fragment shader stores);
// both tessellation stages when tessellated. Indexed by ShaderStageIndex.
std::array<bool, GraphicsStageCount> requiredGraphicsStages(bool writesColor, bool writesDepth, bool tessellated);

// "vertex", "fragment", "geometry", "tessellation control", "tessellation evaluation".
const char* stageName(uint32_t stage);
// The file a missing stage is expected in, for messages: the pipeline's other stage files share their entry point
// name after the stage letters ("star_VS_Main.spv" gives "star_PS_Main.spv"), otherwise the pattern
// "<pipeline>_PS_*.spv". Both under `directory`.
std::string expectedStageFile(const std::filesystem::path& directory, const std::string& pipelineName, uint32_t stage,
                              const GraphicsShaderFiles& found);
