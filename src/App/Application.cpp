#include "App/Application.h"

#include "App/Config.h"
#include "App/Keyboard.h"
#include "App/Recorder.h"
#include "App/Screenshot.h"
#include "App/SystemSnapshot.h"
#include "App/UserInterface.h"
#include "App/Window.h"
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Astro/Star.h"
#include "Demo/Panels/AstroSettingsWindow.h"
#include "Demo/Panels/ScenePanels.h"
#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Scene/Bloom.h"
#include "Demo/Scene/CameraMath.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/KeyBindings.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/MissionEditing.h"
#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Demo/Surfaces/AtmosphereManager.h"
#include "Demo/Surfaces/PlanetSurfaceGas.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/Frame/EngineContext.h"
#include "Engine/Frame/FrameLoop.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/VulkanInstance.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Plan/BackgroundAimer.h"

#include <GLFW/glfw3.h>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

// Ctrl-C ends the run as Escape does (a recording is finished, not cut off); a second one ends the process.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onInterrupt(int) {
    interrupted.store(true, std::memory_order_relaxed);
}

} // namespace

float frameTimeFromNanoseconds(long long nanoseconds) {
    float ms = float(double(nanoseconds) / 1000000.0);
    return ms < 1000.0f ? ms : 1000.0f;
}

Application::Application(CommandLine commandLine_, std::optional<ScriptPlayer> script_)
    : commandLine(std::move(commandLine_)), script(std::move(script_)) {
    bool records = commandLine.recordPath || (script && !script->recordPaths().empty());
    fixedFps = commandLine.fps ? *commandLine.fps : records ? DefaultRecordFps : 0;
    if (fixedFps > 0) {
        frameInput.fixedFrameSeconds = 1.0 / double(fixedFps);
        frameInput.frameTime = float(1000.0 / double(fixedFps));
    }
}

Application::~Application() {
    try {
        shutdown();
    } catch (...) {
    }
}

void Application::start() {
    instance = new VulkanInstance();
    instance->create();
    if (!instance->glfwInitialised)
        ENGINE_ERROR("Unable to initialise GLFW (is a display available?)");
    if (instance->instance == VK_NULL_HANDLE)
        ENGINE_ERROR("Unable to create the Vulkan instance (is a Vulkan driver installed?)");

    loadConfig(settings);
    settings.quality = commandLine.quality ? *commandLine.quality : loadQualityFile();
    applyDisplaySettings(settings.display, settings.window, nullptr);
    window = new Window(settings.window, instance);
    {
        int x = 0, y = 0, w = 0, h = 0;
        glfwGetWindowPos(window->window, &x, &y);
        glfwGetWindowSize(window->window, &w, &h);
        std::cout << "Window: " << (glfwGetWindowMonitor(window->window) ? "fullscreen " : "windowed ") << w << " x "
                  << h << " at (" << x << ", " << y << ")" << std::endl;
    }
    glfwSetScrollCallback(window->window, [](GLFWwindow* w, double, double y) {
        static_cast<Window*>(glfwGetWindowUserPointer(w))->scrollValue = y;
    });

    engine = new EngineContext(instance->instance, window->surface, window);
    device = engine->device;
    device->hdrColorFormat = VK_FORMAT_R32G32B32A32_SFLOAT;
    // Screenshots copy from the presentable images (F12 works at any time).
    swapChain = engine->createSwapChain(VkPresentModeKHR(settings.display.presentMode), true);
    window->swapChain = swapChain;
    frameLoop = new FrameLoop(device, swapChain);
    screenshot = new ScreenshotCapture(device);

    random = Demo::RandomSource{};

    scene = new Demo::Scene();
    Demo::Services& services = scene->services;
    services.device = device;
    services.swapChain = swapChain;
    services.descriptorPool = engine->descriptorPool;
    services.meshStorage = engine->meshStorage;
    services.uniformStorage = engine->uniformStorage;
    services.storageBufferStorage = engine->storageBufferStorage;
    services.scene = scene;
    services.random = &random;
    services.bodyVisuals = &bodyVisuals;
    services.demoEnabled = commandLine.demo;
    GLFWwindow* glfwWindow = window->window;
    services.captureCursor = [glfwWindow](bool captured) {
        glfwSetInputMode(glfwWindow, GLFW_CURSOR, captured ? GLFW_CURSOR_DISABLED : GLFW_CURSOR_NORMAL);
    };
    services.setClipboard = [glfwWindow](const std::string& text) { glfwSetClipboardString(glfwWindow, text.c_str()); };
    services.getClipboard = [glfwWindow]() {
        const char* text = glfwGetClipboardString(glfwWindow);
        return std::string(text ? text : "");
    };
    renderManager = new Demo::RenderManager(services);
    services.renderManager = renderManager;
    burnAimer = std::make_unique<Plan::BackgroundAimer>([this]() { return systemSnapshot(*astroSystem); });
    services.burnAimer = burnAimer.get();

    const Demo::BuiltScene built = Demo::buildScene(*scene, *renderManager);
    astroSystem = built.system;
    atmospheres = built.atmospheres;

    // The user interface draws into the swap chain image after the post-process (a missing font stops here).
    userInterface = new UserInterface(device, engine->descriptorPool, window->window, swapChain->surfaceFormat.format);
    services.uiSampler = userInterface->renderer.sampler;
    renderManager->addPass(
        {"ui", Demo::PassScope::Frame, [this](const Demo::FrameContext& frame, CommandContext* c, uint32_t) {
             Image2D* image = swapChain->images[swapChain->imageIndex];
             userInterface->record(c, image->image, image->imageView.view, swapChain->width, swapChain->height,
                                   frame.frame.uiVisible);
         }});
    // Screenshots and recordings copy the finished image, user interface included.
    renderManager->addPass(
        {"readBack", Demo::PassScope::Frame, [this](const Demo::FrameContext&, CommandContext* c, uint32_t) {
             if (screenshot->requested())
                 screenshot->recordCopy(c, swapChain->images[swapChain->imageIndex]->image,
                                        swapChain->surfaceFormat.format, swapChain->width, swapChain->height);
         }});

    listScenePanels();
    applyQuality();

    // Keep this the last step of start: meshes created by everything above reach the device in the first
    // frame's upload pass.
    engine->meshStorage->registerFlush();

    // Every object is started once, after everything exists (the astro system launches its cache worker here).
    scene->start();
    if (commandLine.missionPath)
        loadMissionAtStart(*commandLine.missionPath);
    if (commandLine.target)
        focusCameraOn(*commandLine.target);
}

void Application::loadMissionAtStart(const std::string& path) {
    Demo::MissionPlan* plan = astroSystem ? Demo::flownMission(*astroSystem) : nullptr;
    if (!plan || !astroSystem)
        throw std::runtime_error("--mission: there is no mission plan to load the file into");
    std::string text, error;
    if (!Demo::readMissionFile(path, text, error)) {
        std::cout << "Mission \"" << path << "\" " << error << std::endl;
        throw std::runtime_error("the mission file could not be read");
    }
    Demo::MissionParse parse = Demo::parseMission(text, Demo::missionDataOf(*plan), astroSystem->objects.size());
    if (!parse.ok()) {
        std::cout << "Mission \"" << path << "\", " << parse.error << std::endl;
        throw std::runtime_error("the mission file was refused");
    }
    Demo::replaceMission(*plan, parse.mission);
    std::cout << "Mission \"" << path << "\": " << parse.mission.maneuvers.size() << " manoeuvres and "
              << parse.mission.settings.size() << " timestep settings" << std::endl;
}

void Application::printStatus() {
    const Demo::Spacecraft* craft = astroSystem ? astroSystem->spacecraft : nullptr;
    char line[320];
    if (!astroSystem || !craft) {
        std::snprintf(line, sizeof line, "status: frame %" PRIu64 ", no spacecraft", frameNumber);
    } else {
        const Demo::Vec3d& p = craft->simPosition;
        const Demo::Vec3d& v = craft->simVelocity;
        std::snprintf(line, sizeof line,
                      "status: frame %" PRIu64 ", time step %" PRIu64
                      ", spacecraft position (%.9g, %.9g, %.9g), velocity (%.9g, %.9g, %.9g), speed %.9g",
                      frameNumber, astroSystem->timeStep, p.x, p.y, p.z, v.x, v.y, v.z, Demo::length(v));
    }
    std::cout << line << std::endl;
}

// --target NAME: the main camera focuses the named body from the star's side, turned off the star direction so
// that the day side and the terminator are both in view.
void Application::focusCameraOn(const std::string& name) {
    Demo::DemoCamera* camera = scene->mainCamera;
    // Bodies take their places in the first update; the framing needs them now.
    if (astroSystem)
        astroSystem->placeBodies();
    for (Demo::SceneObject* object : scene->objects) {
        if (object->name != name || object == camera)
            continue;
        camera->setMode(Demo::TARGET_FOCUS);
        camera->setTarget(object);
        Demo::Star* star = scene->primaryStar;
        if (star && star != object) {
            Demo::Vec3d toStar = star->transform->worldPosition() - object->transform->worldPosition();
            Demo::Vec3d forward = Demo::litSideViewDirection(toStar, Demo::LitSideAngle, Demo::LitSideElevation);
            Demo::yawPitchFromDirection(forward, camera->yaw, camera->pitch);
        }
        return;
    }
    std::cout << "--target: no body named \"" << name << "\"; the camera keeps its start view" << std::endl;
}

void Application::requestScreenshot(const std::string& path) {
    screenshot->request(path, ScreenshotNaming::Exact);
}

void Application::startRecording(const std::string& path) {
    stopRecording();
    const char* searchPath = std::getenv("PATH");
    RecordTarget target = planRecordTarget(path, searchPath ? searchPath : "");
    if (!target.ok()) {
        std::cout << target.error << std::endl;
        recordFailed = true;
        return;
    }
    recorder = std::make_shared<Recorder>(std::move(target), fixedFps);
    if (recordProgress.shown)
        std::cerr << "\n";
    std::cout << "Recording " << path << " from frame " << frameNumber << " at " << fixedFps << " frames/s"
              << std::endl;
    // The end is known when the command line or the script sets it: quitting ends with a recorded frame, a stop
    // or another recording before the frame it is given in.
    std::optional<uint64_t> total;
    auto shorten = [&](std::optional<uint64_t> frames) {
        if (frames && (!total || *frames < *total))
            total = frames;
    };
    if (commandLine.frames)
        shorten(uint64_t(*commandLine.frames) - frameNumber + 1);
    if (script) {
        if (auto q = script->nextFrameOf(ScriptAction::Quit, frameNumber))
            shorten(*q - frameNumber + 1);
        for (ScriptAction a : {ScriptAction::RecordStop, ScriptAction::Record})
            if (auto e = script->nextFrameOf(a, frameNumber + 1))
                shorten(*e - frameNumber);
    }
    recordProgress = {};
    recordProgress.started = std::chrono::steady_clock::now();
    recordProgress.total = total;
}

void Application::stopRecording() {
    if (!recorder)
        return;
    stoppedRecorders.push_back(std::move(recorder));
    recorder.reset();
}

void Application::finishStoppedRecordings(bool all) {
    for (auto it = stoppedRecorders.begin(); it != stoppedRecorders.end();) {
        // A capture of a frame still in flight holds the recorder; it is finished once that frame is handed over.
        if (!all && it->use_count() > 1) {
            ++it;
            continue;
        }
        // Its last line counts the frames still in flight when it stopped; the next recording's line makes way for
        // its outcome.
        if (recordProgress.shown && !recorder) {
            showRecordProgress(**it, true);
        } else if (recordProgress.shown) {
            std::cerr << "\n";
            recordProgress.shown = false;
        }
        recordFailed = !(*it)->finish() || recordFailed;
        it = stoppedRecorders.erase(it);
    }
}

void Application::showRecordProgress(const Recorder& shown, bool last) {
    static const bool terminal = isatty(STDERR_FILENO) != 0;
    if (!terminal)
        return;
    auto now = std::chrono::steady_clock::now();
    if (!last && recordProgress.shown && now - recordProgress.printed < std::chrono::milliseconds(250))
        return;
    double seconds = std::chrono::duration<double>(now - recordProgress.started).count();
    uint64_t done = shown.framesTaken();
    std::cerr << "\r"
              << recordProgressText(shown.target().path, done, recordProgress.total,
                                    seconds > 0.0 ? double(done) / seconds : 0.0)
              << "\033[K" << (last ? "\n" : "") << std::flush;
    recordProgress.shown = !last;
    recordProgress.printed = now;
}

void Application::applyScript(uint8_t snapshot[256]) {
    const ScriptFrame& s = script->advance(frameNumber);
    mergeKeyStates(snapshot, s.keysDown);
    if (s.cursor[0] && s.cursor[1])
        scriptCursor = std::make_pair(*s.cursor[0], *s.cursor[1]);
    if (s.hasScroll) {
        window->scrollValue = s.scroll;
        scriptScroll = s.scroll;
    }
    if (s.resize)
        glfwSetWindowSize(window->window, s.resize->first, s.resize->second);
    // Without a window manager an iconify request does nothing: hiding the window unmaps it either way.
    if (s.minimize) {
        glfwIconifyWindow(window->window);
        glfwHideWindow(window->window);
    }
    if (s.restore) {
        glfwShowWindow(window->window);
        glfwRestoreWindow(window->window);
    }
    for (const std::string& path : s.screenshots)
        requestScreenshot(path);
    if (s.timestep && astroSystem)
        astroSystem->jumpToTimeStep(*s.timestep);
    if (s.status)
        printStatus();
    if (s.recordStop)
        stopRecording();
    if (s.record)
        startRecording(*s.record);
    if (s.quit)
        quit = true;
    if (s.stallMilliseconds) {
        // Input that arrives meanwhile is polled at the next frame, as after a frame that took this long.
        std::cout << "Script: frame " << frameNumber << " stalls for " << s.stallMilliseconds << " ms" << std::endl;
        std::this_thread::sleep_for(std::chrono::milliseconds(s.stallMilliseconds));
    }
}

void Application::update() {
    ++frameNumber;
    window->scrollValue = 0.0;
    scriptScroll = 0.0;
    glfwPollEvents();
    if (frameNumber == 1 && commandLine.recordPath)
        startRecording(*commandLine.recordPath);

    uint8_t snapshot[256];
    readKeyboardSnapshot(window->window, snapshot);
    window->taps.apply(snapshot);
    if (script)
        applyScript(snapshot);
    // GLFW reports no event when the window is unmapped: its state is read once a frame, after a script's minimise
    // or restore.
    window->refreshRenderable();
    appKeys.advanceKeys(snapshot);
    // While the user interface had the input last frame, the scene sees no key and no button.
    uint8_t sceneKeys[256];
    sceneKeySnapshot(snapshot, uiWantsInput, sceneKeys);
    input.advanceKeys(sceneKeys);
    double x = 0, y = 0;
    glfwGetCursorPos(window->window, &x, &y);
    if (scriptCursor)
        input.advanceCursor(scriptCursor->first, scriptCursor->second);
    else
        input.advanceCursor(float(x), float(y));

    // Typing into a text field of the user interface is not a command.
    if (!userInterface->editingText()) {
        if (Demo::pressed(&appKeys, Demo::KeyAction::Quit))
            quit = true;
        if (Demo::pressed(&appKeys, Demo::KeyAction::ToggleUi))
            frameInput.uiVisible = !frameInput.uiVisible;
        if (Demo::pressed(&appKeys, Demo::KeyAction::Screenshot))
            screenshot->request(timestampedScreenshotName(), ScreenshotNaming::Unique);
    }
    if (commandLine.frames && long(frameNumber) >= *commandLine.frames)
        quit = true;
    if (interrupted.load(std::memory_order_relaxed) && !quit) {
        if (recordProgress.shown)
            std::cerr << "\n";
        recordProgress.shown = false;
        std::cout << "Interrupted: ending the run" << std::endl;
        quit = true;
    }
    if (recorder)
        screenshot->requestFrame(recorder);
    // --screenshot is the last frame: the one rendered after quitting was decided.
    if (quit && commandLine.screenshotPath)
        requestScreenshot(*commandLine.screenshotPath);

    engine->beginFrame();

    frameInput.input = &input;
    frameInput.uiWantsInput = uiWantsInput;
    frameInput.uiWantsKeyboard = userInterface->editingText();
    frameInput.scroll = window->scrollValue;
    frameInput.lookSensitivity = settings.lookSensitivity;
    frameInput.windowWidth = window->width;
    frameInput.windowHeight = window->height;
    Demo::FrameContext frame{scene->services, frameInput};
    // All objects update before any writes its uniforms.
    scene->update(frame);
    scene->updateUniforms(frame);
    renderManager->prepare(frame);
    updateUserInterface();
}

void Application::listScenePanels() {
    panels = std::make_unique<Demo::ScenePanels>(*scene, astroSystem);
    for (Demo::PanelToggle& toggle : panels->toggles())
        userInterface->panels.push_back({toggle.name, std::move(toggle.shown), std::move(toggle.setShown)});
    Demo::ScenePanels* shown = panels.get();
    Demo::Services* services = &scene->services;
    userInterface->drawScenePanels = [shown, services] { shown->draw(*services); };
}

void Application::updateUserInterface() {
    // Medians over thousands of frames are not worth sorting every frame; while few frames are held, they are cheap.
    if (passTimings.empty() || renderManager->profiler.sampledFrames() < 30 || frameNumber - passTimingsFrame >= 30) {
        passTimings = renderManager->profiler.timings(renderManager->passNames());
        passTimingsFrame = frameNumber;
    }
    UiFrame ui;
    ui.visible = frameInput.uiVisible;
    ui.cursorCaptured = input.cursorCaptured != 0;
    ui.frameTime = realFrameTime;
    ui.drawCount = device->lastDrawCount;
    ui.passTimings = &passTimings;
    ui.settings.settings = &settings;
    ui.settings.window = window;
    ui.settings.windowWidth = window->width;
    ui.settings.windowHeight = window->height;
    ui.settings.scene = scene;
    ui.settings.exposure = &renderManager->postProcessBlock.exposure;
    if (panels && panels->astro)
        ui.astroSettingsHidden = &panels->astro->hidden;
    if (astroSystem) {
        ui.simulatedSeconds = double(astroSystem->timeStep) * astroSystem->timeStepLength;
        ui.timeFactor = astroSystem->timeFactor;
    }
    if (scriptCursor) {
        scriptedMouse.x = scriptCursor->first;
        scriptedMouse.y = scriptCursor->second;
        scriptedMouse.wheel = float(scriptScroll);
        scriptedMouse.left = appKeys.down(Demo::VirtualKey::LeftButton);
        scriptedMouse.right = appKeys.down(Demo::VirtualKey::RightButton);
        ui.scriptedMouse = &scriptedMouse;
    }
    // Whether the user interface takes the input is decided now and applies from the next frame.
    uiWantsInput = userInterface->update(ui);
    // A quality picked in the settings window takes effect from the next frame on.
    if (settings.quality != appliedQuality)
        applyQuality();
}

void Application::applyQuality() {
    const Demo::QualityParameters q = Demo::qualityParameters(settings.quality);
    Demo::setSolidSurfacesPixelsPerEdge(*scene, q.pixelsPerEdge);
    Demo::setGasFluidBudget(*scene, q.fluidStepSeconds, q.fluidSpinUpSteps);
    renderManager->bloom->enabled = q.bloom;
    renderManager->bloom->levels = q.bloomLevels;
    if (atmospheres)
        atmospheres->setTableQuality(
            q.atmosphereTables == Demo::GraphicsQuality::Low    ? Demo::AtmosphereTableQuality::Small
            : q.atmosphereTables == Demo::GraphicsQuality::High ? Demo::AtmosphereTableQuality::Large
                                                                : Demo::AtmosphereTableQuality::Medium);
    appliedQuality = settings.quality;
}

// CPU time of the calling thread: what the frame's own work costs, without the time the thread waited for a core
// on a loaded machine.
static double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

void Application::render() {
    frameLoop->waitForSlot();
    // The slot's last submission is finished: the screenshots of every frame up to it can be written.
    screenshot->writeCompleted();
    if (recorder || !stoppedRecorders.empty()) {
        if (screenshot->lastHandOverMs() >= 0.0)
            handOverMs.push(float(screenshot->lastHandOverMs()));
        finishStoppedRecordings(false);
        if (recorder)
            showRecordProgress(*recorder, false);
    }
    frameLoop->render([this](CommandContext* context, Image2D*) {
        const double t0 = threadCpuMs();
        Demo::FrameContext frame{scene->services, frameInput};
        renderManager->record(frame, context);
        recordMs = float(threadCpuMs() - t0);
    });
}

int Application::run() {
    struct sigaction interrupt {};
    interrupt.sa_handler = onInterrupt;
    interrupt.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&interrupt.sa_mask);
    sigaction(SIGINT, &interrupt, nullptr);
    GLFWwindow* w = window->window;
    while (!glfwWindowShouldClose(w)) {
        if (quit)
            break;
        auto t0 = std::chrono::steady_clock::now();
        const double cpu0 = threadCpuMs();
        update();
        const float updateMs = float(threadCpuMs() - cpu0);
        // A minimised or unmapped window is not rendered; the simulation keeps running every 20 ms.
        if (window->renderable) {
            recordMs = 0.0f;
            render();
            updateCpuMs.push(updateMs);
            frameCpuMs.push(updateMs + recordMs);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        auto t1 = std::chrono::steady_clock::now();
        realFrameTime = frameTimeFromNanoseconds(std::chrono::duration_cast<std::chrono::nanoseconds>(t1 - t0).count());
        if (fixedFps == 0)
            frameInput.frameTime = realFrameTime;
    }
    if (commandLine.profile) {
        std::vector<Demo::PassTiming> timings = renderManager->profiler.timings(renderManager->passNames());
        if (handOverMs.size() > 0)
            timings.push_back({"handOver", 0.0f, handOverMs.median()});
        // The frame's CPU work outside the passes, and the whole of it: the median of update + record per frame, in
        // the main thread's CPU time.
        timings.push_back({"update", 0.0f, updateCpuMs.median()});
        timings.push_back({"frameCpu", 0.0f, frameCpuMs.median()});
        std::cout << "Quality: " << Demo::qualityName(settings.quality) << "\n";
        std::cout << "Per-pass timings (medians over the last " << renderManager->profiler.sampledFrames()
                  << " frames):\n"
                  << Demo::formatPassTable(timings, renderManager->profiler.gpuTimes()) << std::flush;
    }
    // The last frame's screenshot is written after its fence, in shutdown.
    shutdown();
    if (screenshotFailed) {
        std::cout << "A requested screenshot could not be written" << std::endl;
        return 1;
    }
    if (recordFailed) {
        std::cout << "A recording could not be completed" << std::endl;
        return 1;
    }
    return 0;
}

void Application::shutdown() {
    if (shutDown)
        return;
    shutDown = true;
    // Worker threads stop before anything they read goes away.
    if (astroSystem)
        astroSystem->shutdownWorker();
    if (device) {
        vkDeviceWaitIdle(device->device);
        if (screenshot) {
            stopRecording();
            screenshot->finish();
            screenshotFailed = screenshot->failed();
            finishStoppedRecordings(true);
        }
    }
    delete screenshot;
    screenshot = nullptr;
    delete userInterface;
    userInterface = nullptr;
    // The astro window's preview set goes before the device.
    panels.reset();
    // The scene's objects release their GPU resources into the registry, which the teardown then empties.
    delete scene;
    scene = nullptr;
    astroSystem = nullptr;
    delete renderManager;
    renderManager = nullptr;
    delete frameLoop;
    frameLoop = nullptr;
    // The storages, the pool and the swap chain go with the engine.
    delete engine;
    engine = nullptr;
    swapChain = nullptr;
    device = nullptr;
    delete window;
    window = nullptr;
    if (instance)
        instance->destroy();
    delete instance;
    instance = nullptr;
}
