#pragma once
#include "App/CommandLine.h"

#include <string>

// The four steps the entry point calls: start, per-frame update, frame render, shutdown.
void engineStart(const CommandLine& commandLine);
void engineUpdate();
void frameRender();
// Releases everything that was created, in reverse order; safe after a failed start.
void engineShutdown();

// Frame time in milliseconds from steady-clock nanoseconds, capped at 1000 so a stall never floods the simulation.
float frameTimeFromNanoseconds(long long nanoseconds);

// The next presented frame is written to `path` as a PNG (replacing it).
void requestScreenshot(const std::string& path);
// After shutdown: a screenshot requested with requestScreenshot could not be written (the exit status must say so).
bool screenshotFailed();
