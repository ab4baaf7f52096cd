#pragma once
// The "Debug" window: smoothed frame rate, draws of the last frame, the passes' times and the way to the
// settings.
#include "Demo/Scene/PassProfiler.h"

#include <cstdint>
#include <string>
#include <vector>

using Demo::PassTiming;

struct DebugWindowState {
    bool open = true;
    float smoothedFrameTime = 0.01f; // milliseconds
};

// One step of the frame-time average: (smoothed + t / 30) * 30/31, an exponential moving average with weight
// 1/31 on the new frame time t (milliseconds). A steady t is its fixed point.
float smoothFrameTime(float smoothed, float frameTimeMs);
// 1000 / smoothed rounded to the nearest integer, halves away from zero.
int frameRateFromSmoothed(float smoothedMs);

struct DebugWindowInput {
    float frameTime = 0.0f;                          // milliseconds of the last frame
    uint32_t drawCount = 0;                          // draws of the last frame
    const std::vector<PassTiming>* passes = nullptr; // none when no profiler feeds them
    bool* astroSettingsHidden = nullptr;             // the astro settings window's flag: "Astro settings" clears it
};

// Builds the window while it is open; true when "Settings" was clicked.
bool drawDebugWindow(DebugWindowState& state, const DebugWindowInput& input);
