#include "App/Config.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

static const char* ConfigFileName = "config.gcfg";

void decodeConfig(const std::string& bytes, ConfigRecord& record) {
    ConfigRecord defaults;
    // Byte for byte, as many as the file holds: the field in which a short file ends gets only its first bytes.
    size_t n = std::min(bytes.size(), sizeof(ConfigRecord));
    unsigned char raw[sizeof(ConfigRecord)];
    std::memcpy(raw, &record, sizeof raw);
    std::memcpy(raw, bytes.data(), n);
    std::memcpy(&record, raw, sizeof raw);
    record.window.monitor = nullptr; // a pointer from an earlier run means nothing now
    if (!(std::isfinite(record.lookSensitivity) && record.lookSensitivity > 0.0f))
        record.lookSensitivity = defaults.lookSensitivity;
    if (record.windowMode != 0 && record.windowMode != 1)
        record.windowMode = defaults.windowMode;
    if (record.refreshMode < 0 || record.refreshMode > 2)
        record.refreshMode = defaults.refreshMode;
    record.window.fullscreen = record.window.fullscreen ? 1 : 0;
    record.window.maximized = record.window.maximized ? 1 : 0;
}

std::string encodeConfig(const ConfigRecord& record) {
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

void loadConfig() {
    ConfigRecord record{lookSensitivity, displaySettings.windowMode, displaySettings.refreshMode,
                        displaySettings.monitorIndex, windowSettings};
    if (std::filesystem::exists(ConfigFileName)) {
        std::ifstream file(ConfigFileName, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (bytes.size() != sizeof(ConfigRecord))
            std::cout << "config.gcfg has " << bytes.size() << " bytes instead of " << sizeof(ConfigRecord)
                      << "; the missing settings keep their defaults" << std::endl;
        decodeConfig(bytes, record);
    }
    lookSensitivity = record.lookSensitivity;
    displaySettings.windowMode = record.windowMode;
    displaySettings.refreshMode = record.refreshMode;
    displaySettings.monitorIndex = record.monitorIndex;
    windowSettings = record.window;
    windowSettings.width = 1920;
    windowSettings.height = 1080;

    refreshVideoModes();
    displaySettings.resolutionIndex = 0;
    displaySettings.refreshRateIndex = 0;
    if (size_t(displaySettings.monitorIndex) < displaySettings.resolutions.size()) {
        const auto& entries = displaySettings.resolutions[displaySettings.monitorIndex];
        for (size_t k = 0; k < entries.size(); ++k) {
            if (entries[k].width != 1920 || entries[k].height != 1080)
                continue;
            displaySettings.resolutionIndex = int32_t(k + 1);
            const auto& rates = entries[k].refreshRates;
            for (size_t r = 0; r < rates.size(); ++r)
                if (int32_t(rates[r]) == windowSettings.refreshRate) {
                    displaySettings.refreshRateIndex = int32_t(r + 1);
                    break;
                }
            break;
        }
    }
}

void saveConfig() {
    ConfigRecord record{lookSensitivity, displaySettings.windowMode, displaySettings.refreshMode,
                        displaySettings.monitorIndex, windowSettings};
    std::ofstream file(ConfigFileName, std::ios::binary | std::ios::trunc);
    std::string bytes = encodeConfig(record);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    if (!file)
        std::cout << "Unable to write config.gcfg" << std::endl;
}
