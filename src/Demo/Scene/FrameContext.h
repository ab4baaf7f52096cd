#pragma once
// What scene code receives from the application: the long-lived services (filled once at start) and, for every
// frame hook, the frame's inputs. Scene code reads these through the object handed to it, never through
// process-wide handles, so where a value comes from can be read from the call.
#include "Demo/Scene/InputState.h"

#include <cstdint>
#include <functional>
#include <random>
#include <string>

class GraphicsDevice;
class SwapChain;
class DescriptorPool;
class DsDeviceMeshSingle;
class DsUniformSingle;
class DsStorageSingle;
class Sampler;

namespace Demo {

class Scene;
class RenderManager;
class BodyVisuals;
class BurnAimer;

// One generator for the whole process with its default seed, so that runs are reproducible.
struct RandomSource {
    std::mt19937 engine{5489u};
    std::uniform_real_distribution<double> uniformDouble{0.0, 1.0};
    std::uniform_real_distribution<float> uniformFloat{0.0f, 1.0f};
    double nextDouble() { return uniformDouble(engine); }
    float nextFloat() { return uniformFloat(engine); }
};

// Created by the application in the order of engine start; all null in headless unit tests (no device), where
// scene objects skip their GPU parts.
struct Services {
    GraphicsDevice* device = nullptr;
    SwapChain* swapChain = nullptr;
    DescriptorPool* descriptorPool = nullptr;
    DsDeviceMeshSingle* meshStorage = nullptr;     // 10 MB per slot, flushed in the upload pass
    DsUniformSingle* uniformStorage = nullptr;     // per-frame uniform blocks
    DsStorageSingle* storageBufferStorage = nullptr;
    Scene* scene = nullptr;
    RenderManager* renderManager = nullptr;
    RandomSource* random = nullptr;
    BodyVisuals* bodyVisuals = nullptr; // attaches surfaces and atmospheres to bodies; none without a device
    BurnAimer* burnAimer = nullptr;     // aims a burn at a body in the background; without one "Aim" is disabled
    bool demoEnabled = true; // false with SKIP_DEMO
    // Hides and captures the cursor while the camera looks around (the platform layer owns the window).
    std::function<void(bool captured)> captureCursor;
    // The platform's text clipboard (empty in headless runs): the mission editor copies and pastes missions.
    std::function<void(const std::string& text)> setClipboard;
    std::function<std::string()> getClipboard;
    // The user interface's sampler, for images that panels show (set once the interface exists).
    Sampler* uiSampler = nullptr;
};

// The inputs of one frame, filled by the application before the scene's Update pass.
struct FrameInput {
    InputState* input = nullptr; // keyboard snapshots and cursor; the camera sets `cursorCaptured`
    float frameTime = 0.0f;      // milliseconds of the previous frame, at most 1000
    // Fixed-step runs (--fps N, recordings): every frame is exactly 1/N s of real time, however long it took; the
    // clock takes it in double precision so N frames advance exactly one second. 0 in real-time runs.
    double fixedFrameSeconds = 0.0;
    double scroll = 0.0;         // vertical offset of this frame's last scroll event, 0 without one
    bool uiWantsInput = false;   // the user interface has the mouse: the camera ignores it
    bool uiWantsKeyboard = false; // a text field has the keyboard: the simulation's keys are ignored
    bool uiVisible = false;
    float lookSensitivity = 1.0f; // from the configuration file
    uint32_t windowWidth = 0, windowHeight = 0;
};

// Handed to every frame hook of the scene's objects and components.
struct FrameContext {
    const Services& services;
    FrameInput& frame;

    // The keyboard snapshot for the simulation's keys, or null while the user interface has the keyboard.
    const InputState* keys() const { return frame.uiWantsKeyboard ? nullptr : frame.input; }
};

} // namespace Demo
