#include "Engine/Pipelines/ShaderFiles.h"

#include "Engine/Files/UserFile.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>

namespace {
constexpr uint32_t SpirvMagic = 0x07230203u;
// Far above any shader of the program (the largest is a few hundred kilobytes).
constexpr uint64_t MaxModuleBytes = 64 << 20;
constexpr uint32_t OpEntryPoint = 15;
constexpr uint32_t OpTypeInt = 21;
constexpr uint32_t OpTypeFloat = 22;
constexpr uint32_t OpTypeVector = 23;
constexpr uint32_t OpTypePointer = 32;
constexpr uint32_t OpVariable = 59;
constexpr uint32_t OpDecorate = 71;
constexpr uint32_t DecorationBuiltIn = 11;
constexpr uint32_t DecorationLocation = 30;
constexpr uint32_t StorageClassInput = 1;
constexpr uint32_t OpFunction = 54;
constexpr uint32_t OpFunctionEnd = 56;

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
    UserFile file = readUserFile(path, MaxModuleBytes);
    switch (file.fault) {
    case FileFault::None: break;
    case FileFault::Missing:
    case FileFault::DanglingLink:
    case FileFault::CannotOpen: throw std::runtime_error(path + ": failed to open file! (" + file.reason() + ")");
    case FileFault::NotRegular: throw std::runtime_error(path + ": not a regular file (" + file.detail + ")");
    case FileFault::TooLarge:
        throw std::runtime_error(path + ": not a SPIR-V module (" + std::to_string(file.size) + " bytes, more than " +
                                 std::to_string(MaxModuleBytes) + ")");
    case FileFault::CannotRead: throw std::runtime_error(path + ": read failed (" + file.detail + ")");
    }
    const size_t size = file.bytes.size();
    if (size < 20 || size % 4 != 0)
        throw std::runtime_error(path + ": not a SPIR-V module (" + std::to_string(size) + " bytes)");
    std::vector<uint32_t> words(size / 4);
    std::memcpy(words.data(), file.bytes.data(), size);
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

std::optional<std::string> spirvDamage(const std::vector<uint32_t>& words) {
    if (words.size() < 5)
        return "no header";
    std::vector<uint32_t> entryFunctions, definedFunctions;
    size_t openFunctions = 0;
    for (size_t i = 5; i < words.size();) {
        uint32_t wordCount = words[i] >> 16;
        uint32_t opcode = words[i] & 0xFFFFu;
        if (wordCount == 0)
            return "instruction of zero words at word " + std::to_string(i);
        if (i + wordCount > words.size())
            return "instruction at word " + std::to_string(i) + " runs past the end of the module";
        if (opcode == OpEntryPoint && wordCount >= 4)
            entryFunctions.push_back(words[i + 2]);
        if (opcode == OpFunction && wordCount >= 5) {
            if (openFunctions)
                return "function inside a function at word " + std::to_string(i);
            ++openFunctions;
            definedFunctions.push_back(words[i + 2]);
        }
        if (opcode == OpFunctionEnd) {
            if (!openFunctions)
                return "function end without a function at word " + std::to_string(i);
            --openFunctions;
        }
        i += wordCount;
    }
    if (openFunctions)
        return "the last function has no end";
    for (uint32_t id : entryFunctions)
        if (std::find(definedFunctions.begin(), definedFunctions.end(), id) == definedFunctions.end())
            return "entry point function %" + std::to_string(id) + " is not in the module";
    return std::nullopt;
}

std::optional<std::vector<uint32_t>> spirvInputLocations(const std::vector<uint32_t>& words,
                                                         VkShaderStageFlagBits stage) {
    uint32_t model = executionModel(stage);
    bool entryFound = false;
    std::vector<uint32_t> interfaceIds;
    std::map<uint32_t, uint32_t> locations, pointees, inputs; // id -> location, pointer type -> type, variable -> type
    std::set<uint32_t> builtIns, singleLocationTypes;
    for (size_t i = 5; i < words.size();) {
        uint32_t wordCount = words[i] >> 16;
        uint32_t opcode = words[i] & 0xFFFFu;
        if (wordCount == 0 || i + wordCount > words.size())
            return std::nullopt;
        const uint32_t* w = &words[i];
        if (opcode == OpEntryPoint && wordCount >= 4 && w[1] == model && !entryFound) {
            entryFound = true;
            // The interface ids follow the nul-terminated name.
            size_t k = 3;
            while (k < wordCount && (w[k] >> 24) != 0)
                ++k;
            for (++k; k < wordCount; ++k)
                interfaceIds.push_back(w[k]);
        } else if (opcode == OpDecorate && wordCount >= 3) {
            if (w[2] == DecorationLocation && wordCount >= 4)
                locations[w[1]] = w[3];
            if (w[2] == DecorationBuiltIn)
                builtIns.insert(w[1]);
        } else if ((opcode == OpTypeInt || opcode == OpTypeFloat) && wordCount >= 3 && w[2] <= 32) {
            singleLocationTypes.insert(w[1]);
        } else if (opcode == OpTypeVector && wordCount >= 4 && singleLocationTypes.count(w[2])) {
            singleLocationTypes.insert(w[1]);
        } else if (opcode == OpTypePointer && wordCount >= 4) {
            pointees[w[1]] = w[3];
        } else if (opcode == OpVariable && wordCount >= 4 && w[3] == StorageClassInput) {
            inputs[w[2]] = w[1];
        }
        i += wordCount;
    }
    if (!entryFound)
        return std::nullopt;
    std::vector<uint32_t> result;
    for (uint32_t id : interfaceIds) {
        auto input = inputs.find(id);
        if (input == inputs.end() || builtIns.count(id))
            continue; // an output, or (from SPIR-V 1.4 on) any other global the entry point uses
        auto pointee = pointees.find(input->second);
        auto location = locations.find(id);
        if (pointee == pointees.end() || !singleLocationTypes.count(pointee->second) || location == locations.end())
            return std::nullopt;
        result.push_back(location->second);
    }
    std::sort(result.begin(), result.end());
    return result;
}

ShaderCode loadShaderCode(const std::string& path, VkShaderStageFlagBits stage) {
    ShaderCode code;
    code.words = readSpirv(path);
    if (std::optional<std::string> damage = spirvDamage(code.words))
        throw std::runtime_error(path + ": truncated or damaged SPIR-V module (" + *damage + ")");
    std::optional<std::string> entry = spirvEntryPoint(code.words, stage);
    if (!entry)
        throw std::runtime_error(path + ": the module has no entry point for its stage");
    code.entryPoint = *entry;
    code.inputLocations = spirvInputLocations(code.words, stage);
    return code;
}

ShaderModule createShaderModule(VkDevice device, const std::string& path, VkShaderStageFlagBits stage) {
    ShaderCode code = loadShaderCode(path, stage);
    VkShaderModuleCreateInfo info{VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
    info.codeSize = code.words.size() * 4;
    info.pCode = code.words.data();
    ShaderModule out;
    VkResult result = vkCreateShaderModule(device, &info, nullptr, &out.module);
    if (result != VK_SUCCESS)
        throw std::runtime_error(path + ": vkCreateShaderModule failed (VkResult " + std::to_string(int(result)) + ")");
    out.moduleEntryPoint = std::move(code.entryPoint);
    out.inputLocations = std::move(code.inputLocations);
    return out;
}

std::array<bool, GraphicsStageCount> requiredGraphicsStages(bool writesColor, bool writesDepth, bool tessellated) {
    std::array<bool, GraphicsStageCount> required{};
    required[StageVertex] = true;
    required[StageFragment] = writesColor || !writesDepth;
    required[StageTessControl] = tessellated;
    required[StageTessEvaluation] = tessellated;
    return required;
}

const char* stageName(uint32_t stage) {
    static const char* names[GraphicsStageCount] = {"vertex", "fragment", "geometry", "tessellation control",
                                                    "tessellation evaluation"};
    return stage < GraphicsStageCount ? names[stage] : "unknown";
}

std::string expectedStageFile(const std::filesystem::path& directory, const std::string& pipelineName, uint32_t stage,
                              const GraphicsShaderFiles& found) {
    // Entry point names begin with the two stage letters and an underscore; the rest is what the siblings share.
    std::string suffix = "*";
    for (uint32_t other = 0; other < GraphicsStageCount; ++other)
        if (other != stage && found.entryPoints[other].size() > 3) {
            suffix = found.entryPoints[other].substr(3);
            break;
        }
    std::string tag = stageTag(stage);
    return (directory / (pipelineName + tag + suffix + ".spv")).string();
}
