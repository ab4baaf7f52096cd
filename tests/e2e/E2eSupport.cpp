#include "E2eSupport.h"

#include "ConfigFileBytes.h"

#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

std::string fileContents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream s;
    s << file.rdbuf();
    return s.str();
}

std::string makeWorkDir(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("kestrune-e2e-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path run = KESTRUNE_RUN_DIR;
    for (const char* entry : {"shaders", "assets"})
        if (fs::exists(run / entry))
            fs::create_directory_symlink(run / entry, dir / entry);
    return dir.string();
}

namespace {

std::string runtimeDirectory(const std::string& workDir) {
    fs::path runtime = fs::path(workDir) / "xdg";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    return runtime.string();
}

// -noreset: without it the server is recycled between clients and GLFW occasionally fails to connect.
std::string xvfbRun(int timeoutSeconds) {
    return "timeout " + std::to_string(timeoutSeconds) + " xvfb-run -a -s '-screen 0 1920x1080x24 -noreset' ";
}

// The layer settings file makes the layer report warnings, performance warnings and synchronization hazards too.
std::string commonEnvironment(const std::string& workDir) {
    return "XDG_RUNTIME_DIR='" + runtimeDirectory(workDir) +
           "' VK_INSTANCE_LAYERS=VK_LAYER_KHRONOS_validation "
           "VK_LAYER_SETTINGS_PATH='" KESTRUNE_LAYER_SETTINGS "' "
           "VK_ICD_FILENAMES=/usr/share/vulkan/icd.d/lvp_icd.x86_64.json ";
}

RunResult runCommand(const std::string& command) {
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace

RunResult runProgram(const std::string& workDir, const std::string& arguments, const std::string& script,
                     const std::string& environment, int timeoutSeconds) {
    std::string scriptArgument;
    if (!script.empty()) {
        std::ofstream(fs::path(workDir) / "run.script") << script;
        scriptArgument = " --script run.script";
    }
    return runCommand("cd '" + workDir + "' && " + commonEnvironment(workDir) + environment + " " +
                      xvfbRun(timeoutSeconds) + "'" KESTRUNE_RUN_DIR "/kestrune' " + arguments + scriptArgument +
                      " 2>&1");
}

RunResult runUnderXvfb(const std::string& workDir, const std::string& scenario, int timeoutSeconds) {
    fs::path scriptPath = fs::path(workDir) / "scenario.sh";
    std::ofstream(scriptPath) << "set -u\n" << scenario << "\n";
    return runCommand("cd '" + workDir + "' && " + commonEnvironment(workDir) + "KESTRUNE='" KESTRUNE_RUN_DIR
                      "/kestrune' " + xvfbRun(timeoutSeconds) + "bash '" + scriptPath.string() + "' 2>&1");
}

void writeConfig(const std::string& workDir, int windowMode, int x, int y) {
    ConfigFileFields fields = windowedConfigAt(x, y);
    fields.windowMode = windowMode;
    fields.fullscreen = uint8_t(windowMode == 1);
    writeConfigFileBytes((fs::path(workDir) / "config.gcfg").string(), configFileBytes(fields));
}

int countOccurrences(const std::string& text, const std::string& needle) {
    int count = 0;
    for (size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + needle.size()))
        ++count;
    return count;
}

int validationMessageCount(const std::string& output) {
    // Synchronization hazards are reported as errors.
    return countOccurrences(output, "Validation Error") + countOccurrences(output, "Validation Warning") +
           countOccurrences(output, "Validation Performance Warning") + countOccurrences(output, "VUID-");
}

bool Picture::load(const std::string& path) {
    int channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &width, &height, &channels, 3);
    if (!data)
        return false;
    rgb.assign(data, data + size_t(width) * height * 3);
    stbi_image_free(data);
    return true;
}

double Picture::meanLuma(int x0, int y0, int x1, int y1) const {
    double sum = 0;
    long n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const unsigned char* p = &rgb[(size_t(y) * width + x) * 3];
            sum += 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2];
            ++n;
        }
    return n ? sum / double(n) : 0.0;
}

int Picture::countBrighterThan(int x0, int y0, int x1, int y1, int threshold) const {
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const unsigned char* p = &rgb[(size_t(y) * width + x) * 3];
            if (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2] > threshold)
                ++count;
        }
    return count;
}
