#pragma once
// Owns everything the program runs on — instance, window, input, device, swap chain, storages, scene, render
// manager — creates them in the order of engine start and frees them in reverse at shutdown. `main` builds one,
// starts it and runs its frame loop.
#include "App/AppSettings.h"
#include "App/CommandLine.h"
#include "App/Script.h"
#include "App/UIRenderer.h"
#include "Demo/Scenario/BodyVisualBuilder.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/PassProfiler.h"
#include "Demo/Spacecraft/BurnAiming.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VulkanInstance;
class Window;
class GraphicsDevice;
class SwapChain;
class ScreenshotCapture;
class Recorder;
class UserInterface;
class EngineContext;
class FrameLoop;
namespace Demo {
class Scene;
class RenderManager;
class AstroSystem;
class ScenePanels;
class AtmosphereManager;
} // namespace Demo

// Frame time in milliseconds from steady-clock nanoseconds, capped at 1000 so a stall never floods the simulation.
float frameTimeFromNanoseconds(long long nanoseconds);

class Application {
public:
    Application(CommandLine commandLine, std::optional<ScriptPlayer> script);
    ~Application(); // shutdown, when it has not run yet
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Engine start; throws std::runtime_error after the failing step printed its diagnostic. `shutdown` is safe
    // after a failed start.
    void start();
    // The frame loop until Escape, --frames, a script's quit or the window's close. Returns the exit code:
    // 0, or 1 when a requested screenshot could not be written.
    int run();
    // Releases everything that was created, in reverse order; runs once.
    void shutdown();

private:
    void focusCameraOn(const std::string& name);
    // --mission FILE: replaces the built-in plan; a refused file ends the start with its line and reason.
    void loadMissionAtStart(const std::string& path);
    // The script's "status": time step and the spacecraft's state on one line.
    void printStatus();
    void update();
    void applyScript(uint8_t snapshot[256]);
    void render();
    void requestScreenshot(const std::string& path);
    // Recording: starts (or replaces) the recording of every frame from this one; a refused target is reported
    // and fails the run.
    void startRecording(const std::string& path);
    void stopRecording();
    // Finishes stopped recordings whose last frame has been handed over (all of them once the device is idle).
    void finishStoppedRecordings(bool all);
    void showRecordProgress(const Recorder& shown, bool last);

    CommandLine commandLine;
    std::optional<ScriptPlayer> script;
    AppSettings settings; // from config.gcfg; the settings window edits them

    VulkanInstance* instance = nullptr;
    Window* window = nullptr;
    Demo::InputState input;
    EngineContext* engine = nullptr;
    GraphicsDevice* device = nullptr; // the engine's
    SwapChain* swapChain = nullptr;   // the engine's
    FrameLoop* frameLoop = nullptr;
    Demo::RandomSource random;
    Demo::BodyVisualBuilder bodyVisuals;
    Demo::Scene* scene = nullptr;
    Demo::RenderManager* renderManager = nullptr;
    Demo::AstroSystem* astroSystem = nullptr;
    std::unique_ptr<Demo::BurnAimer> burnAimer; // the mission editor's "Aim"
    ScreenshotCapture* screenshot = nullptr;
    UserInterface* userInterface = nullptr;
    Demo::AtmosphereManager* atmospheres = nullptr; // the render manager's
    std::unique_ptr<Demo::ScenePanels> panels; // the scene's windows, built by the user interface

    void updateUserInterface();
    // Sets what settings.quality asks of the planets, the clouds, the bloom and the atmospheres.
    void applyQuality();
    Demo::GraphicsQuality appliedQuality = Demo::DefaultGraphicsQuality;
    // The scene's windows in the user interface and its menu bar.
    void listScenePanels();

    Demo::InputState appKeys; // the keys as pressed, for Escape, U and F12; the scene sees them unless the UI has them
    bool uiWantsInput = false;
    std::vector<Demo::PassTiming> passTimings; // refreshed twice a second for the debug window
    uint64_t passTimingsFrame = 0;
    ScriptedMouse scriptedMouse;
    Demo::FrameInput frameInput;
    uint64_t frameNumber = 0;
    bool quit = false;
    bool screenshotFailed = false;
    // Fixed-step runs: frames a second of simulated real time (1/fps s a frame); 0 in real-time runs.
    long fixedFps = 0;
    float realFrameTime = 0.0f;         // milliseconds the last frame took, for the debug window whatever the step
    std::shared_ptr<Recorder> recorder; // taking every frame
    std::vector<std::shared_ptr<Recorder>> stoppedRecorders; // frames still in flight for them
    bool recordFailed = false;
    struct RecordProgress {
        std::chrono::steady_clock::time_point started, printed;
        std::optional<uint64_t> total; // frames, when the end is known
        bool shown = false;            // a progress line is on the terminal
    } recordProgress;
    Demo::SampleRing handOverMs; // the recorder's CPU share of each frame, for --profile
    Demo::SampleRing updateCpuMs, frameCpuMs; // per rendered frame: update, and update + record of every pass
    float recordMs = 0.0f;                    // the last frame's recording
    bool shutDown = false;
    std::optional<std::pair<float, float>> scriptCursor;
    double scriptScroll = 0.0; // the script's wheel steps of this frame, for the user interface too
};
