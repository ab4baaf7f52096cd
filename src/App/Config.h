#pragma once
// The display settings and look sensitivity, kept in the 48-byte binary file "config.gcfg".
#include "App/Window.h"

#include <cstdint>
#include <string>

inline float lookSensitivity = 1.0f;

struct ConfigRecord {
    float lookSensitivity = 1.0f;
    int32_t windowMode = 1;
    int32_t refreshMode = 0;
    int32_t monitorIndex = 0;
    WindowSettings window;
};
static_assert(sizeof(ConfigRecord) == 48);

// Fills `record` from the bytes of a config file: a short file fills the fields it covers and leaves the rest.
// Values a user could not have saved (a window mode other than 0/1, a look sensitivity that is not a positive
// finite number) fall back to their defaults.
void decodeConfig(const std::string& bytes, ConfigRecord& record);
std::string encodeConfig(const ConfigRecord& record);

// Engine start: reads "config.gcfg" when it exists, then rebuilds the video modes and picks the
// resolution and refresh-rate indices for 1920 x 1080.
void loadConfig();
// "Apply and save".
void saveConfig();
