#pragma once
// Every key the program reads, in one table: the input code asks it for the key of an action, and the "Control"
// tab of the settings lists it, so the list cannot drift from what the keys do.
#include "Demo/Scene/InputState.h"

#include <cstdint>

namespace Demo {

enum class KeyAction : uint8_t {
    Quit,
    ToggleUi,
    Screenshot,
    TimeFaster,
    TimeSlower,
    Wireframe,
    OrbitLines,
    FlightMode,
    FacePrograde,
    FaceNormal,
    FaceRadialIn,
    ThrustForward,
    ThrustBackward,
    CameraFollow,
    CameraFocus,
    CameraOrbitFrame,
    Tour,
    Look,
    Zoom,
    MoveForward,
    MoveLeft,
    MoveBack,
    MoveRight,
    MoveUp,
    MoveDown,
    Sprint,
};

struct KeyBinding {
    KeyAction action;
    uint8_t key;         // virtual-key code; 0 for the mouse wheel, which is not in the key snapshot
    const char* keyName; // as the user sees it
    const char* effect;
};

inline constexpr KeyBinding KeyBindings[] = {
    {KeyAction::Quit, VirtualKey::Escape, "Escape", "quit"},
    {KeyAction::ToggleUi, VirtualKey::letter('U'), "U", "show or hide the user interface"},
    {KeyAction::Screenshot, VirtualKey::F12, "F12", "save a screenshot in the working directory"},
    {KeyAction::TimeFaster, VirtualKey::Period, ".", "multiply the time factor by 4"},
    {KeyAction::TimeSlower, VirtualKey::Comma, ",", "divide the time factor by 4"},
    {KeyAction::Wireframe, VirtualKey::letter('T'), "T", "solid planets: wireframe on or off"},
    {KeyAction::OrbitLines, VirtualKey::letter('O'), "O", "orbit lines and the spacecraft's prediction on or off"},
    {KeyAction::FlightMode, VirtualKey::letter('G'), "G", "spacecraft: follow its orbit or fly freely"},
    {KeyAction::FacePrograde, VirtualKey::letter('H'), "H", "spacecraft: face prograde"},
    {KeyAction::FaceNormal, VirtualKey::letter('J'), "J", "spacecraft: face orbit normal"},
    {KeyAction::FaceRadialIn, VirtualKey::letter('K'), "K", "spacecraft: face radial in"},
    {KeyAction::ThrustForward, VirtualKey::letter('M'), "M", "spacecraft in free flight: thrust along the nose"},
    {KeyAction::ThrustBackward, VirtualKey::letter('N'), "N", "spacecraft in free flight: thrust against the nose"},
    {KeyAction::CameraFollow, VirtualKey::F1, "F1", "camera: follow the spacecraft (stops the tour)"},
    {KeyAction::CameraFocus, uint8_t(VirtualKey::F1 + 1), "F2", "camera: focus the target body (stops the tour)"},
    {KeyAction::CameraOrbitFrame, uint8_t(VirtualKey::F1 + 2), "F3",
     "camera: prograde, radial, normal view in turn (stops the tour)"},
    {KeyAction::Tour, uint8_t(VirtualKey::F1 + 4), "F5", "start the built-in tour from its beginning"},
    {KeyAction::Look, VirtualKey::RightButton, "Right mouse button (drag)",
     "look around; in the target modes, orbit the target"},
    {KeyAction::Zoom, 0, "Mouse wheel", "free flight: flying speed; target modes: distance (Left Shift: faster)"},
    {KeyAction::MoveForward, VirtualKey::letter('W'), "W", "free flight: forward"},
    {KeyAction::MoveLeft, VirtualKey::letter('A'), "A", "free flight: left"},
    {KeyAction::MoveBack, VirtualKey::letter('S'), "S", "free flight: back"},
    {KeyAction::MoveRight, VirtualKey::letter('D'), "D", "free flight: right"},
    {KeyAction::MoveUp, VirtualKey::Space, "Space", "free flight: up"},
    {KeyAction::MoveDown, VirtualKey::Control, "Control", "free flight: down"},
    {KeyAction::Sprint, VirtualKey::LeftShift, "Left Shift", "free flight: sprint"},
};

// The key bound to `action` (0 when none is).
constexpr uint8_t keyOf(KeyAction action) {
    for (const KeyBinding& binding : KeyBindings)
        if (binding.action == action)
            return binding.key;
    return 0;
}

inline bool pressed(const InputState* input, KeyAction action) {
    return input && keyOf(action) != 0 && input->pressed(keyOf(action));
}
inline bool held(const InputState* input, KeyAction action) {
    return input && keyOf(action) != 0 && input->down(keyOf(action));
}

} // namespace Demo
