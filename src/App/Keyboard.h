#pragma once
// Keyboard layer: a 256-byte snapshot by Windows virtual-key code (high bit = down), filled from GLFW.
#include <cstdint>

struct GLFWwindow;

namespace VirtualKey {
constexpr uint8_t LeftButton = 0x01, RightButton = 0x02, MiddleButton = 0x04;
constexpr uint8_t Back = 0x08, Tab = 0x09, Return = 0x0D;
constexpr uint8_t Shift = 0x10, Control = 0x11, Menu = 0x12;
constexpr uint8_t Escape = 0x1B, Space = 0x20;
constexpr uint8_t PageUp = 0x21, PageDown = 0x22, End = 0x23, Home = 0x24;
constexpr uint8_t Left = 0x25, Up = 0x26, Right = 0x27, Down = 0x28;
constexpr uint8_t Insert = 0x2D, Delete = 0x2E;
constexpr uint8_t F1 = 0x70, F12 = 0x7B;
constexpr uint8_t LeftShift = 0xA0, RightShift = 0xA1, LeftControl = 0xA2, RightControl = 0xA3;
constexpr uint8_t LeftMenu = 0xA4, RightMenu = 0xA5;
constexpr uint8_t Comma = 0xBC, Minus = 0xBD, Period = 0xBE;
constexpr uint8_t digit(int d) { return uint8_t(0x30 + d); }
constexpr uint8_t letter(char c) { return uint8_t(c >= 'a' ? c - 'a' + 0x41 : c - 'A' + 0x41); }
} // namespace VirtualKey

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
// Reads the window's key and button state and builds the snapshot.
void readKeyboardSnapshot(GLFWwindow* window, uint8_t snapshot[256]);
