#pragma once
// The byte layout the shader compiler gave each named struct of a SPIR-V module (OpName, OpMemberName and the
// Offset / ArrayStride decorations), to hold the C++ side of the blocks shared with shaders against it.
// Needs a module compiled with names kept (glslc without -O).
#include "SpirvWords.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct SpirvMember {
    uint32_t offset = 0;
    uint32_t size = 0;        // bytes the member spans (an array: stride x length; 0 if unknown)
    uint32_t arrayStride = 0; // 0 when not an array
    uint32_t arrayLength = 0;
};

struct SpirvStruct {
    std::map<std::string, SpirvMember> members;
    uint32_t size = 0; // end of the last member
};

namespace spirv_layout_detail {

inline std::string literal(const uint32_t* words, size_t count) {
    std::string s;
    for (size_t i = 0; i < count; ++i)
        for (int b = 0; b < 4; ++b) {
            char c = char((words[i] >> (8 * b)) & 0xFF);
            if (!c)
                return s;
            s += c;
        }
    return s;
}

} // namespace spirv_layout_detail

// Every named struct with explicit offsets, by name. A name laid out differently twice in one module (std140 and
// std430 copies) keeps the first; the caller compares modules with each other anyway. Empty if `words` is not a
// whole SPIR-V module.
inline std::map<std::string, SpirvStruct> spirvStructs(const std::vector<uint32_t>& words) {
    using namespace spirv_layout_detail;
    enum : uint32_t {
        OpName = 5,
        OpMemberName = 6,
        OpTypeInt = 21,
        OpTypeFloat = 22,
        OpTypeVector = 23,
        OpTypeMatrix = 24,
        OpTypeArray = 28,
        OpTypeStruct = 30,
        OpConstant = 43,
        OpDecorate = 71,
        OpMemberDecorate = 72,
        ArrayStride = 6,
        MatrixStride = 7,
        Offset = 35
    };
    std::map<uint32_t, std::string> names;
    std::map<uint32_t, std::map<uint32_t, std::string>> memberNames;
    std::map<uint32_t, std::map<uint32_t, uint32_t>> offsets, matrixStrides;
    std::map<uint32_t, uint32_t> strides, constants, scalarBytes;
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> vectors, matrices, arrays; // element type, count id or count
    std::map<uint32_t, std::vector<uint32_t>> structs;
    std::vector<uint32_t> structOrder;
    if (words.size() < 5 || words[0] != 0x07230203u)
        return {};
    for (size_t i = 5; i < words.size();) {
        const uint32_t count = words[i] >> 16, op = words[i] & 0xFFFFu;
        if (count == 0 || i + count > words.size())
            return {};
        const uint32_t* w = &words[i];
        if (op == OpName && count >= 3)
            names[w[1]] = literal(w + 2, count - 2);
        else if (op == OpMemberName && count >= 4)
            memberNames[w[1]][w[2]] = literal(w + 3, count - 3);
        else if (op == OpDecorate && count >= 4 && w[2] == ArrayStride)
            strides[w[1]] = w[3];
        else if (op == OpMemberDecorate && count >= 5 && w[3] == Offset)
            offsets[w[1]][w[2]] = w[4];
        else if (op == OpMemberDecorate && count >= 5 && w[3] == MatrixStride)
            matrixStrides[w[1]][w[2]] = w[4];
        else if ((op == OpTypeInt || op == OpTypeFloat) && count >= 3)
            scalarBytes[w[1]] = w[2] / 8;
        else if (op == OpTypeVector && count >= 4)
            vectors[w[1]] = {w[2], w[3]};
        else if (op == OpTypeMatrix && count >= 4)
            matrices[w[1]] = {w[2], w[3]};
        else if (op == OpTypeArray && count >= 4)
            arrays[w[1]] = {w[2], w[3]};
        else if (op == OpConstant && count >= 4)
            constants[w[2]] = w[3];
        else if (op == OpTypeStruct && count >= 2) {
            structs[w[1]].assign(w + 2, w + count);
            structOrder.push_back(w[1]);
        }
        i += count;
    }

    std::map<uint32_t, uint32_t> structSizes;
    // Bytes of a member of type `type` (0 if unknown); a matrix spans its columns at the member's stride.
    auto sizeOf = [&](uint32_t type, uint32_t matrixStride) -> uint32_t {
        if (auto s = scalarBytes.find(type); s != scalarBytes.end())
            return s->second;
        if (auto v = vectors.find(type); v != vectors.end())
            return scalarBytes[v->second.first] * v->second.second;
        if (auto m = matrices.find(type); m != matrices.end())
            return matrixStride * m->second.second;
        if (auto a = arrays.find(type); a != arrays.end())
            return strides[type] * constants[a->second.second];
        if (auto s = structSizes.find(type); s != structSizes.end())
            return s->second;
        return 0;
    };

    std::map<std::string, SpirvStruct> result;
    // Types are declared before use, so a nested struct's size is known when its parent is measured.
    for (uint32_t id : structOrder) {
        if (!offsets.count(id))
            continue;
        SpirvStruct s;
        const std::vector<uint32_t>& types = structs[id];
        for (uint32_t k = 0; k < types.size(); ++k) {
            SpirvMember m;
            m.offset = offsets[id][k];
            m.size = sizeOf(types[k], matrixStrides[id][k]);
            if (auto a = arrays.find(types[k]); a != arrays.end()) {
                m.arrayStride = strides[types[k]];
                m.arrayLength = constants[a->second.second];
            }
            s.size = std::max(s.size, m.offset + m.size);
            s.members[memberNames[id][k]] = m;
        }
        structSizes[id] = s.size;
        if (names.count(id) && !names[id].empty())
            result.emplace(names[id], s);
    }
    return result;
}
