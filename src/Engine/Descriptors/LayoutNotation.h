#pragma once
// The layout notation: descriptor set layouts written as text. Blanks separate sets, "+" separates the
// bindings of a set, and each binding is a type prefix and a binding number joined by "_", for example
// "UBD_0 UBD_1+UBD_2+SB_3". A pool sizes text uses the same token form, the number being a descriptor count.
#include <vulkan/vulkan.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// UBD, SBD, SB, CIS, SI, IA (whole, case-sensitive prefixes); nullopt for anything else.
std::optional<VkDescriptorType> descriptorTypeForPrefix(const std::string& prefix);

// One binding list per set, bindings in token order, each with count 1, every stage and no immutable samplers.
// A malformed token (no "_", empty or non-numeric or out-of-range number, empty token from doubled separators,
// unknown prefix, a binding number used twice in one set) throws std::runtime_error naming the notation and
// the token.
std::vector<std::vector<VkDescriptorSetLayoutBinding>> parseLayoutNotation(const std::string& notation);

// Pool sizes in token order. "IA" is not accepted in a pool sizes text; malformed tokens throw as above.
std::vector<VkDescriptorPoolSize> parsePoolSizes(const std::string& sizesText);
