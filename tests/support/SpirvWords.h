#pragma once
// A SPIR-V file as 32-bit words, to damage shaders on purpose in the fault tests.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

inline std::vector<uint32_t> readWords(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    std::vector<uint32_t> words(size_t(file.tellg()) / 4);
    file.seekg(0);
    file.read(reinterpret_cast<char*>(words.data()), std::streamsize(words.size() * 4));
    return words;
}

inline void writeWords(const std::filesystem::path& path, const std::vector<uint32_t>& words) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(words.data()), std::streamsize(words.size() * 4));
}
