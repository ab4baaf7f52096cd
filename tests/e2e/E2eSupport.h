#pragma once
// Runs the real program under Xvfb with the validation layer and collects what it printed.
#include <string>
#include <vector>

struct RunResult {
    int exitCode = -1;
    std::string output; // stdout and stderr of the program and of the driving script
};

// Makes a private working directory that links the run directory's shaders and assets.
std::string makeWorkDir(const std::string& name);
// Runs the program with `arguments` from `workDir` under Xvfb with the validation layer (and the tier's layer
// settings file) and waits for it to end.
// A non-empty `script` is written to run.script and passed with --script. `environment` is prefixed to the
// command (e.g. "VK_ICD_FILENAMES=/nonexistent").
RunResult runProgram(const std::string& workDir, const std::string& arguments, const std::string& script = {},
                     const std::string& environment = {}, int timeoutSeconds = 600);
// Runs `scenario` (bash) under xvfb-run inside `workDir`; $KESTRUNE is the program's path. For what only real X
// input can show; everything else drives the program with a script. The scenario's exit code is the result's.
RunResult runUnderXvfb(const std::string& workDir, const std::string& scenario, int timeoutSeconds = 300);
// Writes config.gcfg into `workDir`: windowed (0) or fullscreen (1) at the given position.
void writeConfig(const std::string& workDir, int windowMode, int x, int y);

// The whole file as bytes (empty when it cannot be read).
std::string fileContents(const std::string& path);

int countOccurrences(const std::string& text, const std::string& needle);
// Validation layer messages in the output (errors, synchronization hazards, warnings, performance warnings).
int validationMessageCount(const std::string& output);

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb; // 3 bytes a pixel
    bool load(const std::string& path);
    // Mean brightness (0..255) of a rectangle.
    double meanLuma(int x0, int y0, int x1, int y1) const;
    // Pixels brighter than `threshold` in a rectangle.
    int countBrighterThan(int x0, int y0, int x1, int y1, int threshold) const;
};
