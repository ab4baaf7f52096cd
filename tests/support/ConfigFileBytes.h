#pragma once
// The 48 bytes of a "config.gcfg" for tests, written field by field at the file's own offsets (independent of
// the program's structs, so a test also checks the layout). The one place tests spell out the file format.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

struct ConfigFileFields {
    float lookSensitivity = 1.0f;
    int32_t windowMode = 1; // 0 windowed, 1 fullscreen
    int32_t refreshMode = 0;
    int32_t monitorIndex = 0;
    uint8_t fullscreen = 1;
    uint8_t maximized = 0;
    int32_t positionX = 50;
    int32_t positionY = 50;
    int32_t width = 1920;
    int32_t height = 1080;
    int32_t refreshRate = 0;
    uint64_t monitor = 0;
};

// A windowed configuration at (x, y).
inline ConfigFileFields windowedConfigAt(int32_t x, int32_t y) {
    ConfigFileFields f;
    f.windowMode = 0;
    f.fullscreen = 0;
    f.positionX = x;
    f.positionY = y;
    return f;
}

inline std::string configFileBytes(const ConfigFileFields& f) {
    std::string b(48, '\0');
    auto put = [&](size_t offset, const auto& v) { std::memcpy(b.data() + offset, &v, sizeof v); };
    put(0, f.lookSensitivity);
    put(4, f.windowMode);
    put(8, f.refreshMode);
    put(12, f.monitorIndex);
    put(16, f.fullscreen);
    put(17, f.maximized);
    put(20, f.positionX);
    put(24, f.positionY);
    put(28, f.width);
    put(32, f.height);
    put(36, f.refreshRate);
    put(40, f.monitor);
    return b;
}

inline void writeConfigFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), std::streamsize(bytes.size()));
}
