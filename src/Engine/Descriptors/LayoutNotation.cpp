#include "Engine/Descriptors/LayoutNotation.h"

#include "Engine/Helper/Helper.h"

#include <climits>
#include <stdexcept>

std::optional<VkDescriptorType> descriptorTypeForPrefix(const std::string& prefix) {
    if (prefix == "UBD")
        return VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC;
    if (prefix == "SBD")
        return VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC;
    if (prefix == "SB")
        return VK_DESCRIPTOR_TYPE_STORAGE_BUFFER;
    if (prefix == "CIS")
        return VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
    if (prefix == "SI")
        return VK_DESCRIPTOR_TYPE_STORAGE_IMAGE;
    if (prefix == "IA")
        return VK_DESCRIPTOR_TYPE_INPUT_ATTACHMENT;
    return std::nullopt;
}

namespace {

struct Token {
    VkDescriptorType type;
    uint32_t number;
};

[[noreturn]] void malformed(const char* what, const std::string& text, const std::string& token,
                            const std::string& reason) {
    throw std::runtime_error(std::string(what) + " \"" + text + "\": malformed token \"" + token + "\" (" + reason +
                             ")");
}

// "<prefix>_<decimal number>" with a known prefix; the number must fit an int, as the binding numbers and
// descriptor counts of the system do.
Token parseToken(const char* what, const std::string& text, const std::string& token, bool allowInputAttachment) {
    if (token.empty())
        malformed(what, text, token, "empty token from doubled separators");
    size_t underscore = token.find('_');
    if (underscore == std::string::npos)
        malformed(what, text, token, "missing \"_\"");
    if (token.find('_', underscore + 1) != std::string::npos)
        malformed(what, text, token, "more than one \"_\"");
    std::string prefix = token.substr(0, underscore);
    std::string digits = token.substr(underscore + 1);
    std::optional<VkDescriptorType> type = descriptorTypeForPrefix(prefix);
    if (!type || (!allowInputAttachment && *type == VK_DESCRIPTOR_TYPE_INPUT_ATTACHMENT))
        malformed(what, text, token, "unknown prefix \"" + prefix + "\"");
    if (digits.empty())
        malformed(what, text, token, "missing number");
    uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            malformed(what, text, token, "\"" + digits + "\" is not a decimal number");
        value = value * 10 + uint64_t(c - '0');
        if (value > uint64_t(INT_MAX))
            malformed(what, text, token, "number out of range");
    }
    return {*type, uint32_t(value)};
}

} // namespace

std::vector<std::vector<VkDescriptorSetLayoutBinding>> parseLayoutNotation(const std::string& notation) {
    std::vector<std::vector<VkDescriptorSetLayoutBinding>> sets;
    for (const std::string& setText : Helper::split(notation, ' ')) {
        if (setText.empty())
            malformed("layout notation", notation, setText, "empty token from doubled separators");
        std::vector<VkDescriptorSetLayoutBinding>& bindings = sets.emplace_back();
        for (const std::string& tokenText : Helper::split(setText, '+')) {
            Token token = parseToken("layout notation", notation, tokenText, true);
            for (const VkDescriptorSetLayoutBinding& b : bindings)
                if (b.binding == token.number)
                    malformed("layout notation", notation, tokenText, "binding number used twice in one set");
            VkDescriptorSetLayoutBinding binding{};
            binding.binding = token.number;
            binding.descriptorType = token.type;
            binding.descriptorCount = 1;
            binding.stageFlags = VK_SHADER_STAGE_ALL;
            binding.pImmutableSamplers = nullptr;
            bindings.push_back(binding);
        }
    }
    return sets;
}

std::vector<VkDescriptorPoolSize> parsePoolSizes(const std::string& sizesText) {
    std::vector<VkDescriptorPoolSize> sizes;
    for (const std::string& tokenText : Helper::split(sizesText, '+')) {
        Token token = parseToken("descriptor pool sizes", sizesText, tokenText, false);
        sizes.push_back({token.type, token.number});
    }
    return sizes;
}
