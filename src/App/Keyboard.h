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
// Presses reported by GLFW's key and mouse button callbacks between two snapshots. Sampling the state once a
// frame loses a tap that starts and ends inside one slow frame (a second or more on a CPU-only device), and merges
// several taps into one; here every press is delivered as down for one frame, with an up frame between two of
// them, so each tap reaches the program as its own press.
class KeyTapLatch {
public:
    void press(uint8_t vk);
    // Applies the pending presses to a snapshot read from GLFW, then recomputes generic Shift/Control/Alt.
    void apply(uint8_t snapshot[256]);

    static constexpr uint8_t MaxPending = 16; // beyond this, a burst of taps is not replayed frame by frame

private:
    uint8_t pending[256] = {};
    bool deliveredDown[256] = {};
};

// Reads the window's key and button state and builds the snapshot.
void readKeyboardSnapshot(GLFWwindow* window, uint8_t snapshot[256]);
