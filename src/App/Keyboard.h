#pragma once
// Keyboard layer: a 256-byte snapshot by Windows virtual-key code (high bit = down), filled from GLFW.
#include "Demo/Scene/InputState.h"

#include <cstdint>

struct GLFWwindow;

namespace VirtualKey = Demo::VirtualKey;
using Demo::InputState;


// The virtual-key code of a GLFW key, or 0 when the program reads no such key.
uint8_t virtualKeyFromGlfwKey(int glfwKey);
// The virtual-key code of a GLFW mouse button, or 0.
uint8_t virtualKeyFromGlfwMouseButton(int button);

// Key and button states as GLFW reports them, gathered so the snapshot can be built without a window.
struct RawInputState {
    bool keys[512] = {};        // by GLFW key code (GLFW_KEY_LAST is 348)
    bool mouseButtons[8] = {};  // by GLFW mouse button
};

// Builds the 256-byte snapshot; generic Shift/Control/Alt are down when either side is.
void buildKeyboardSnapshot(const RawInputState& raw, uint8_t snapshot[256]);
// Adds keys held by another source (a script) to a snapshot, generic Shift/Control/Alt included.
void mergeKeyStates(uint8_t snapshot[256], const uint8_t added[256]);
// Reads the window's key and button state and builds the snapshot.
void readKeyboardSnapshot(GLFWwindow* window, uint8_t snapshot[256]);
