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
// Runs `script` (bash) under xvfb-run inside `workDir` with the validation layer and the tier's layer settings file
// (warnings, performance warnings and synchronization hazards too); $KESTRUNE is the program's path.
// The script's exit code is the result's exit code.
RunResult runUnderXvfb(const std::string& workDir, const std::string& script, int timeoutSeconds = 300);

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
