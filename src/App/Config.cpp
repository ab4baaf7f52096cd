#include "App/Config.h"

#include "Engine/Files/UserFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <iostream>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

template <class T> void put(std::string& bytes, size_t offset, const T& value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}
template <class T> void get(const unsigned char* bytes, size_t offset, T& value) {
    std::memcpy(&value, bytes + offset, sizeof value);
}

std::string formatFloat(float v) {
    std::ostringstream s;
    s << v;
    return s.str();
}

} // namespace

std::string encodeConfig(const ConfigRecord& r) {
    namespace L = ConfigLayout;
    std::string bytes(L::Size, '\0');
    put(bytes, L::LookSensitivity, r.lookSensitivity);
    put(bytes, L::WindowMode, r.windowMode);
    put(bytes, L::RefreshMode, r.refreshMode);
    put(bytes, L::MonitorIndex, r.monitorIndex);
    put(bytes, L::Fullscreen, r.window.fullscreen);
    put(bytes, L::Maximized, r.window.maximized);
    put(bytes, L::PositionX, r.window.positionX);
    put(bytes, L::PositionY, r.window.positionY);
    put(bytes, L::Width, r.window.width);
    put(bytes, L::Height, r.window.height);
    put(bytes, L::RefreshRate, r.window.refreshRate);
    put(bytes, L::Monitor, uint64_t(reinterpret_cast<uintptr_t>(r.window.monitor)));
    return bytes;
}

std::vector<std::string> decodeConfig(const std::string& bytes, ConfigRecord& r) {
    namespace L = ConfigLayout;
    // Over the record's current values, as many whole fields as the file holds: a field cut short would be a value
    // no one saved, so it keeps the current one.
    constexpr size_t FieldEnds[] = {4, 8, 12, 16, 17, 18, 20, 24, 28, 32, 36, 40, L::Size};
    size_t whole = 0;
    for (size_t end : FieldEnds)
        if (end <= bytes.size())
            whole = end;
    std::string raw = encodeConfig(r);
    std::memcpy(raw.data(), bytes.data(), whole);
    const auto* b = reinterpret_cast<const unsigned char*>(raw.data());
    get(b, L::LookSensitivity, r.lookSensitivity);
    get(b, L::WindowMode, r.windowMode);
    get(b, L::RefreshMode, r.refreshMode);
    get(b, L::MonitorIndex, r.monitorIndex);
    get(b, L::Fullscreen, r.window.fullscreen);
    get(b, L::Maximized, r.window.maximized);
    get(b, L::PositionX, r.window.positionX);
    get(b, L::PositionY, r.window.positionY);
    get(b, L::Width, r.window.width);
    get(b, L::Height, r.window.height);
    get(b, L::RefreshRate, r.window.refreshRate);
    // A monitor handle from an earlier run means nothing now.
    r.window.monitor = nullptr;

    const ConfigRecord defaults;
    std::vector<std::string> notes;
    auto note = [&](const std::string& text) { notes.push_back(std::string(ConfigFileName) + ": " + text); };
    if (!std::isfinite(r.lookSensitivity) || r.lookSensitivity <= 0.0f) {
        note("look sensitivity " + formatFloat(r.lookSensitivity) + " is not a positive number; using 1");
        r.lookSensitivity = defaults.lookSensitivity;
    } else if (r.lookSensitivity > MaxLookSensitivity) {
        note("look sensitivity " + formatFloat(r.lookSensitivity) + " is above " + formatFloat(MaxLookSensitivity) +
             "; using " + formatFloat(MaxLookSensitivity));
        r.lookSensitivity = MaxLookSensitivity;
    }
    if (r.windowMode != 0 && r.windowMode != 1) {
        note("window mode " + std::to_string(r.windowMode) + " is neither 0 (windowed) nor 1 (fullscreen); using 1");
        r.windowMode = defaults.windowMode;
    }
    if (r.refreshMode < 0 || r.refreshMode > 2) {
        note("refresh mode " + std::to_string(r.refreshMode) + " is not 0 (unlimited) or 1 (V-Sync); using 0");
        r.refreshMode = defaults.refreshMode;
    }
    if (r.monitorIndex < 0) {
        note("monitor index " + std::to_string(r.monitorIndex) + " is negative; using 0");
        r.monitorIndex = 0;
    }
    if (r.window.fullscreen > 1) {
        note("fullscreen flag " + std::to_string(r.window.fullscreen) + " is neither 0 nor 1; using 1");
        r.window.fullscreen = 1;
    }
    if (r.window.maximized > 1) {
        note("maximized flag " + std::to_string(r.window.maximized) + " is neither 0 nor 1; using 0");
        r.window.maximized = 0;
    }
    auto offDesktop = [](int32_t v) { return v < -MaxWindowCoordinate || v > MaxWindowCoordinate; };
    if (offDesktop(r.window.positionX) || offDesktop(r.window.positionY)) {
        note("window position (" + std::to_string(r.window.positionX) + ", " + std::to_string(r.window.positionY) +
             ") is off every screen; using (" + std::to_string(defaults.window.positionX) + ", " +
             std::to_string(defaults.window.positionY) + ")");
        r.window.positionX = defaults.window.positionX;
        r.window.positionY = defaults.window.positionY;
    }
    auto badSize = [](int32_t v) { return v < 1 || v > MaxWindowCoordinate; };
    if (badSize(r.window.width) || badSize(r.window.height)) {
        note("window size " + std::to_string(r.window.width) + " x " + std::to_string(r.window.height) +
             " is not a window size; using 1920 x 1080");
        r.window.width = defaults.window.width;
        r.window.height = defaults.window.height;
    } else if (r.window.width != defaults.window.width || r.window.height != defaults.window.height) {
        // The size is stored but not restored: the program always opens at its start size.
        note("window size " + std::to_string(r.window.width) + " x " + std::to_string(r.window.height) +
             " is not restored; the window opens at " + std::to_string(defaults.window.width) + " x " +
             std::to_string(defaults.window.height) + " (fullscreen: the monitor's mode)");
    }
    if (r.window.refreshRate < -1 || r.window.refreshRate > MaxRefreshRate) {
        note("refresh rate " + std::to_string(r.window.refreshRate) + " Hz is out of range; using any rate");
        r.window.refreshRate = -1;
    }
    return notes;
}

ConfigFileRead readConfigFile(const std::string& path) {
    ConfigFileRead result;
    UserFile file = readUserFile(path, ConfigLayout::Size, Oversize::ReadPrefix);
    result.found = file.fault != FileFault::Missing;
    switch (file.fault) {
    case FileFault::None:
        break;
    case FileFault::Missing:
        return result;
    case FileFault::NotRegular:
        result.notes.push_back(path + " is " + file.detail + ", not a settings file; using the default settings");
        return result;
    case FileFault::DanglingLink:
    case FileFault::TooLarge: // not with a prefix read
    case FileFault::CannotOpen:
    case FileFault::CannotRead:
        result.notes.push_back(
            path + " cannot be read (" +
            (file.fault == FileFault::DanglingLink ? std::string("a symbolic link to nothing") : file.detail) +
            "); using the default settings");
        return result;
    }
    const size_t got = file.bytes.size();
    result.bytes = std::move(file.bytes);
    if (got < ConfigLayout::Size)
        result.notes.push_back(path + " has " + std::to_string(got) + " bytes instead of " +
                               std::to_string(ConfigLayout::Size) + "; the missing settings keep their defaults");
    else if (file.size > ConfigLayout::Size)
        result.notes.push_back(path + " has " + std::to_string(file.size) + " bytes instead of " +
                               std::to_string(ConfigLayout::Size) + "; only the first " +
                               std::to_string(ConfigLayout::Size) + " are read");
    return result;
}

ConfigWriteResult writeConfigFile(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".tmp-" + std::to_string(getpid());
    auto failed = [&](const std::string& what) {
        ConfigWriteResult r;
        r.message = "could not save " + path + ": " + what;
        return r;
    };
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return failed(std::string("cannot create ") + temporary + " (" + std::strerror(errno) + ")");
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            std::string why = n < 0 ? std::strerror(errno) : "nothing written";
            close(fd);
            unlink(temporary.c_str());
            return failed(why);
        }
        written += size_t(n);
    }
    // The data is on disk before the name points to it: a crash leaves the old file or the whole new one.
    if (fsync(fd) != 0) {
        std::string why = std::strerror(errno);
        close(fd);
        unlink(temporary.c_str());
        return failed(why);
    }
    if (close(fd) != 0) {
        std::string why = std::strerror(errno);
        unlink(temporary.c_str());
        return failed(why);
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        std::string why = std::strerror(errno);
        unlink(temporary.c_str());
        return failed(why);
    }
    ConfigWriteResult ok;
    ok.ok = true;
    return ok;
}

int32_t clampMonitorIndex(int32_t index, int monitorCount, std::vector<std::string>* notes) {
    int32_t last = monitorCount > 0 ? monitorCount - 1 : 0;
    int32_t clamped = index < 0 ? 0 : index > last ? last : index;
    if (clamped != index && notes)
        notes->push_back(std::string(ConfigFileName) + ": monitor " + std::to_string(index) + " is not connected (" +
                         std::to_string(monitorCount) + " monitors); using monitor " + std::to_string(clamped));
    return clamped;
}

ConfigRecord currentConfig(const AppSettings& s) {
    return {s.lookSensitivity, s.display.windowMode, s.display.refreshMode, s.display.monitorIndex, s.window};
}

void loadConfig(AppSettings& settings) {
    DisplaySettings& display = settings.display;
    ConfigRecord record = currentConfig(settings);
    ConfigFileRead file = readConfigFile(ConfigFileName);
    std::vector<std::string> notes = file.notes;
    if (!file.bytes.empty()) {
        std::vector<std::string> fieldNotes = decodeConfig(file.bytes, record);
        notes.insert(notes.end(), fieldNotes.begin(), fieldNotes.end());
    }
    settings.lookSensitivity = record.lookSensitivity;
    display.windowMode = record.windowMode;
    display.refreshMode = record.refreshMode;
    display.monitorIndex = record.monitorIndex;
    settings.window = record.window;
    // The stored size is never used.
    settings.window.width = 1920;
    settings.window.height = 1080;

    int32_t stored = display.monitorIndex;
    refreshVideoModes(display);
    if (file.found && !file.bytes.empty() && display.monitorCount > 0)
        clampMonitorIndex(stored, display.monitorCount, &notes);
    for (const std::string& line : notes)
        std::cout << line << std::endl;

    display.resolutionIndex = 0;
    display.refreshRateIndex = 0;
    if (size_t(display.monitorIndex) < display.resolutions.size()) {
        const auto& entries = display.resolutions[display.monitorIndex];
        for (size_t k = 0; k < entries.size(); ++k) {
            if (entries[k].width != 1920 || entries[k].height != 1080)
                continue;
            display.resolutionIndex = int32_t(k + 1);
            const auto& rates = entries[k].refreshRates;
            for (size_t r = 0; r < rates.size(); ++r)
                if (int32_t(rates[r]) == settings.window.refreshRate) {
                    display.refreshRateIndex = int32_t(r + 1);
                    break;
                }
            break;
        }
    }
}

ConfigWriteResult saveConfig(const AppSettings& settings) {
    ConfigWriteResult result = writeConfigFile(ConfigFileName, encodeConfig(currentConfig(settings)));
    if (!result.ok)
        std::cout << result.message << std::endl;
    return result;
}

Demo::GraphicsQuality loadQualityFile() {
    // A word and a newline; anything much longer is not one of ours.
    UserFile file = readUserFile(Demo::QualityFileName, 64);
    if (file.fault == FileFault::Missing)
        return Demo::DefaultGraphicsQuality;
    Demo::QualityFileRead read;
    if (file.ok())
        read = Demo::decodeQualityFile(true, file.bytes);
    else
        read.note = std::string(Demo::QualityFileName) + " " + file.reason() + "; using " +
                    Demo::qualityName(Demo::DefaultGraphicsQuality);
    if (!read.note.empty())
        std::cout << read.note << std::endl;
    return read.quality;
}

ConfigWriteResult saveQualityFile(Demo::GraphicsQuality quality) {
    ConfigWriteResult result = writeConfigFile(Demo::QualityFileName, std::string(Demo::qualityName(quality)) + "\n");
    if (!result.ok)
        std::cout << result.message << std::endl;
    return result;
}
