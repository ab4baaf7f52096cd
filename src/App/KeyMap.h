#pragma once
// The keys the program reads, as the "Control" tab of the settings lists them.

struct KeyBinding {
    const char* keys;
    const char* effect;
};

inline constexpr KeyBinding KeyMap[] = {
    {"Escape", "quit"},
    {"U", "show or hide the user interface"},
    {"F12", "save a screenshot in the working directory"},
    {". / ,", "multiply / divide the time factor by 4"},
    {"T", "solid planets: wireframe on or off"},
    {"Right mouse button (drag)", "look around; in the target modes, orbit the target"},
    {"Mouse wheel", "free flight: flying speed; target modes: distance (Left Shift: faster)"},
    {"W A S D", "free flight: forward, left, back, right"},
    {"Space / Control", "free flight: up / down"},
    {"Left Shift", "free flight: sprint"},
};
