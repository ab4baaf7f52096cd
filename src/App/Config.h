#pragma once
// The display settings and look sensitivity, kept in the 48-byte binary file "config.gcfg".
#include "App/AppSettings.h"
#include "Demo/Scene/GraphicsQuality.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* ConfigFileName = "config.gcfg";

struct ConfigRecord {
    float lookSensitivity = 1.0f;
    int32_t windowMode = 1;  // 0 windowed, 1 fullscreen
    int32_t refreshMode = 0; // 0 unlimited, 1 or 2 V-Sync
    int32_t monitorIndex = 0;
    WindowSettings window;
};

// File layout, little-endian, no header.
namespace ConfigLayout {
constexpr size_t LookSensitivity = 0, WindowMode = 4, RefreshMode = 8, MonitorIndex = 12;
constexpr size_t Fullscreen = 16, Maximized = 17; // 18..19 padding
constexpr size_t PositionX = 20, PositionY = 24, Width = 28, Height = 32, RefreshRate = 36, Monitor = 40;
constexpr size_t Size = 48;
} // namespace ConfigLayout

// Plausible ranges of the stored values; anything outside is replaced or clamped at load.
inline constexpr float MaxLookSensitivity = 100.0f;
inline constexpr int32_t MaxWindowCoordinate = 16384; // pixels from the origin of the desktop
inline constexpr int32_t MaxRefreshRate = 1000;       // Hz

// The 48 bytes of the file; the padding is zero.
std::string encodeConfig(const ConfigRecord& record);
// Fills `record` from the bytes of a config file: a short file fills the fields it holds whole and leaves the rest,
// the field in which it ends included; bytes past 48 are not looked at. Then every value a user could not have
// saved is replaced by its default or clamped; the returned notes name each field that was (one line each).
std::vector<std::string> decodeConfig(const std::string& bytes, ConfigRecord& record);

struct ConfigFileRead {
    bool found = false; // something exists at the path
    std::string bytes;  // at most 48; empty when the file could not be read
    std::vector<std::string> notes;
};
// Reads at most 48 bytes of `path` when it is a regular file. A missing file gives nothing; anything else that
// is not a readable regular file (directory, FIFO, device, socket, symbolic link loop, no permission) gives a
// note and no bytes. Never blocks on a FIFO and never reads more than 48 bytes.
ConfigFileRead readConfigFile(const std::string& path);

struct ConfigWriteResult {
    bool ok = false;
    std::string message; // what failed, for the user
};
// Writes `bytes` to a temporary file beside `path`, flushes it and renames it over `path`, so `path` holds
// either its old content or all the new bytes; on failure the temporary file is removed.
ConfigWriteResult writeConfigFile(const std::string& path, const std::string& bytes);

// The monitor index clamped to the connected monitors, with a note when it moved.
int32_t clampMonitorIndex(int32_t index, int monitorCount, std::vector<std::string>* notes);

// The record that `settings` hold now.
ConfigRecord currentConfig(const AppSettings& settings);

// Engine start: reads "config.gcfg" into `settings` when it exists (printing a note for what it could not use),
// then rebuilds the video modes and picks the resolution and refresh-rate indices for 1920 x 1080.
void loadConfig(AppSettings& settings);
// "Apply and save": writes `settings`; a failure is printed and returned.
ConfigWriteResult saveConfig(const AppSettings& settings);

// Engine start: the quality kept in "quality.txt" beside the config file; Medium when there is none, and Medium
// with one printed line naming the file when it cannot be read or holds something else.
Demo::GraphicsQuality loadQualityFile();
// "Apply and save": writes the quality's word; a failure is printed and returned.
ConfigWriteResult saveQualityFile(Demo::GraphicsQuality quality);
