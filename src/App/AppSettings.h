#pragma once
// The settings the application owns and hands to what reads them: the window record, the display settings and
// the look sensitivity; "config.gcfg" stores them.
#include "App/Window.h"

struct AppSettings {
    WindowSettings window;
    DisplaySettings display;
    float lookSensitivity = 1.0f; // multiplies the camera's 0.002 rad per pixel of drag
};
