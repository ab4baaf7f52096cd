#pragma once
// The settings the application owns and hands to what reads them: the window record, the display settings and
// the look sensitivity, which "config.gcfg" stores, and the graphics quality.
#include "App/Window.h"
#include "Demo/Scene/GraphicsQuality.h"

struct AppSettings {
    WindowSettings window;
    DisplaySettings display;
    float lookSensitivity = 1.0f; // multiplies the camera's 0.002 rad per pixel of drag
    // Not in the config file (its 48 bytes stay as they are): "quality.txt" beside it.
    Demo::GraphicsQuality quality = Demo::DefaultGraphicsQuality;
};
