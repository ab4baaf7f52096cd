#include "Engine/Pipelines/ShaderFiles.h"

#include <fstream>
#include <stdexcept>

namespace {
constexpr uint32_t SpirvMagic = 0x07230203u;
constexpr uint32_t OpEntryPoint = 15;

// SPIR-V execution models.
uint32_t executionModel(VkShaderStageFlagBits stage) {
    switch (stage) {
    case VK_SHADER_STAGE_VERTEX_BIT:
        return 0;
    case VK_SHADER_STAGE_TESSELLATION_CONTROL_BIT:
        return 1;
    case VK_SHADER_STAGE_TESSELLATION_EVALUATION_BIT:
        return 2;
    case VK_SHADER_STAGE_GEOMETRY_BIT:
        return 3;
    case VK_SHADER_STAGE_FRAGMENT_BIT:
        return 4;
    case VK_SHADER_STAGE_COMPUTE_BIT:
        return 5;
    default:
        return 0xFFFFFFFFu;
    }
}
} // namespace

const char* stageTag(uint32_t stage) {
    static const char* tags[GraphicsStageCount] = {"_VS_", "_PS_", "_GS_", "_HS_", "_DS_"};
    return stage < GraphicsStageCount ? tags[stage] : "";
}

VkShaderStageFlagBits stageBit(uint32_t stage) {
    static const VkShaderStageFlagBits bits[GraphicsStageCount] = {
        VK_SHADER_STAGE_VERTEX_BIT, VK_SHADER_STAGE_FRAGMENT_BIT, VK_SHADER_STAGE_GEOMETRY_BIT,
        VK_SHADER_STAGE_TESSELLATION_CONTROL_BIT, VK_SHADER_STAGE_TESSELLATION_EVALUATION_BIT};
    return bits[stage];
}

std::optional<std::string> matchStageFile(const std::string& fileName, const std::string& pipelineName,
                                          uint32_t stage) {
    if (fileName.size() < 5 || fileName.substr(fileName.size() - 4) != ".spv")
        return std::nullopt;
    std::string prefix = pipelineName + stageTag(stage);
    if (fileName.size() < prefix.size() || fileName.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    // The entry point keeps its stage letters: "star_VS_main.spv" -> "VS_main".
    size_t start = prefix.size() - 3;
    size_t end = fileName.find(".spv", start);
    return fileName.substr(start, end - start);
}

GraphicsShaderFiles findGraphicsShaders(const std::filesystem::path& directory, const std::string& pipelineName) {
    GraphicsShaderFiles files;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (!entry.is_regular_file())
            continue;
        std::string name = entry.path().filename().string();
        for (uint32_t stage = 0; stage < GraphicsStageCount; ++stage) {
            std::optional<std::string> entryPoint = matchStageFile(name, pipelineName, stage);
            if (!entryPoint)
                continue;
            // Directory order is unspecified: keep the smallest name so the choice is reproducible.
            if (files.entryPoints[stage].empty() || name < files.paths[stage].filename().string()) {
                files.paths[stage] = entry.path();
                files.entryPoints[stage] = *entryPoint;
            }
        }
    }
    return files;
}

std::vector<uint32_t> readSpirv(const std::string& path) {
    std::ifstream file(path, std::ios::ate | std::ios::binary);
    if (!file.is_open())
        throw std::runtime_error("failed to open file!");
    std::streamoff size = file.tellg();
    if (size < 20 || size % 4 != 0)
        throw std::runtime_error(path + ": not a SPIR-V module (" + std::to_string(size) + " bytes)");
    std::vector<uint32_t> words(size_t(size) / 4);
    file.seekg(0);
    file.read(reinterpret_cast<char*>(words.data()), size);
    if (!file)
        throw std::runtime_error(path + ": read failed");
    if (words[0] != SpirvMagic)
        throw std::runtime_error(path + ": not a SPIR-V module (wrong magic number)");
    return words;
}

std::optional<std::string> spirvEntryPoint(const std::vector<uint32_t>& words, VkShaderStageFlagBits stage) {
    uint32_t model = executionModel(stage);
    size_t i = 5; // header: magic, version, generator, bound, schema
    while (i < words.size()) {
        uint32_t wordCount = words[i] >> 16;
        uint32_t opcode = words[i] & 0xFFFFu;
        if (wordCount == 0 || i + wordCount > words.size())
            return std::nullopt;
        if (opcode == OpEntryPoint && wordCount >= 4 && words[i + 1] == model) {
            // The name is a nul-terminated UTF-8 literal packed into the words after the execution model and id.
            const char* bytes = reinterpret_cast<const char*>(&words[i + 3]);
            size_t maxLength = size_t(wordCount - 3) * 4;
            size_t length = 0;
            while (length < maxLength && bytes[length] != '\0')
                ++length;
            if (length == maxLength)
                return std::nullopt;
            return std::string(bytes, length);
        }
        i += wordCount;
    }
    return std::nullopt;
}

bool createShaderModule(VkDevice device, const std::string& path, VkShaderStageFlagBits stage, ShaderModule& out) {
    std::vector<uint32_t> words = readSpirv(path);
    std::optional<std::string> entry = spirvEntryPoint(words, stage);
    if (!entry)
        throw std::runtime_error(path + ": the module has no entry point for its stage");
    VkShaderModuleCreateInfo info{VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
    info.codeSize = words.size() * 4;
    info.pCode = words.data();
    VkShaderModule module = VK_NULL_HANDLE;
    if (vkCreateShaderModule(device, &info, nullptr, &module) != VK_SUCCESS)
        return false;
    out.module = module;
    out.moduleEntryPoint = *entry;
    return true;
}
