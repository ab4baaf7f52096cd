// The solar system with the spacecraft and a camera, without a window or a device, as the flight tests and the
// drift studies build it. Rings smaller than the program's, so that a test fills them in a fraction of a second:
// the cache reaches 262144 steps ahead, the prediction 245760.
#pragma once
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scenario/BodyVisualBuilder.h"
#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Demo/Spacecraft/SpacecraftNavigation.h"
#include "Demo/Spacecraft/SpacecraftPrediction.h"

#include <chrono>
#include <cstdint>
#include <thread>

struct HeadlessFlight {
    explicit HeadlessFlight(bool demo = false) {
        scene.services.demoEnabled = demo;
        scene.services.bodyVisuals = &visuals; // orbit lines, surfaces and atmospheres, without their GPU parts
        camera = new Demo::DemoCamera("MainCamera", &scene);
        scene.add(camera);
        system = Demo::addSolarSystem(scene);
        craft = dynamic_cast<Demo::Spacecraft*>(system->objects.back());
        system->cacheSlotCount = 131072;
        if (craft)
            craft->prediction->worker.setRingSize(262144);
    }
    // Starts every object: the cache worker, then the craft's mission (loaded and reset to step 0), navigation
    // and prediction worker.
    void start() { scene.start(); }
    bool waitForPrediction(uint64_t step, int seconds = 120) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (craft->prediction->worker.headStep() < step) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    // One frame of time without the frame loop: the system at `step` with a fraction, the craft integrated.
    void advanceTo(uint64_t step, double fraction = 0.0) {
        system->previousTimeStep.store(system->timeStep);
        system->timeStep = step;
        system->stepFraction = fraction;
        craft->navigation->integrate();
    }
    Demo::FrameContext frame(Demo::InputState& input, float frameMs = 16.0f) {
        frameInput.input = &input;
        frameInput.frameTime = frameMs;
        return {scene.services, frameInput};
    }
    Demo::BodyVisualBuilder visuals;
    Demo::Scene scene;
    Demo::FrameInput frameInput;
    Demo::DemoCamera* camera;
    Demo::AstroSystem* system;
    Demo::Spacecraft* craft;
};
