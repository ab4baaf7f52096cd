#include "App/CommandLine.h"
#include "App/Engine.h"
#include "App/Globals.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <iostream>
#include <stdexcept>
#include <thread>

#include "App/Window.h"

int main(int argc, char** argv) {
    CommandLine commandLine = parseCommandLine(argc, argv);
    for (const std::string& error : commandLine.errors)
        std::cout << "Ignoring option: " << error << std::endl;
    try {
        engineStart(commandLine);
        if (commandLine.screenshotPath && !commandLine.frames)
            std::cout << "--screenshot is taken on the last frame; it needs --frames N" << std::endl;

        long frames = 0;
        while (!glfwWindowShouldClose(Globals::window->window)) {
            if (Globals::quit)
                break;
            auto t0 = std::chrono::steady_clock::now();
            engineUpdate();
            ++frames;
            bool lastFrame = commandLine.frames && frames >= *commandLine.frames;
            if (lastFrame) {
                Globals::quit = true;
                if (commandLine.screenshotPath)
                    requestScreenshot(*commandLine.screenshotPath);
            }
            if (Globals::window->renderable)
                frameRender();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            auto t1 = std::chrono::steady_clock::now();
            Globals::frameTime =
                frameTimeFromNanoseconds(std::chrono::duration_cast<std::chrono::nanoseconds>(t1 - t0).count());
        }
    } catch (const std::exception& e) {
        // The failing step has printed its diagnostic; release what exists and end with a failure status.
        std::cout << "Kestrune stopped: " << e.what() << std::endl;
        try {
            engineShutdown();
        } catch (...) {
        }
        return 1;
    }
    engineShutdown();
    return screenshotFailed() ? 1 : 0;
}
