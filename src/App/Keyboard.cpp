#include "App/Keyboard.h"

#include <GLFW/glfw3.h>

#include <cstring>

uint8_t virtualKeyFromGlfwKey(int key) {
    if (key >= GLFW_KEY_0 && key <= GLFW_KEY_9)
        return uint8_t(0x30 + (key - GLFW_KEY_0));
    if (key >= GLFW_KEY_A && key <= GLFW_KEY_Z)
        return uint8_t(0x41 + (key - GLFW_KEY_A));
    if (key >= GLFW_KEY_F1 && key <= GLFW_KEY_F12)
        return uint8_t(0x70 + (key - GLFW_KEY_F1));
    if (key >= GLFW_KEY_KP_0 && key <= GLFW_KEY_KP_9)
        return uint8_t(0x60 + (key - GLFW_KEY_KP_0));
    switch (key) {
    case GLFW_KEY_ESCAPE: return VirtualKey::Escape;
    case GLFW_KEY_SPACE: return VirtualKey::Space;
    case GLFW_KEY_ENTER: return VirtualKey::Return;
    case GLFW_KEY_TAB: return VirtualKey::Tab;
    case GLFW_KEY_BACKSPACE: return VirtualKey::Back;
    case GLFW_KEY_LEFT_SHIFT: return VirtualKey::LeftShift;
    case GLFW_KEY_RIGHT_SHIFT: return VirtualKey::RightShift;
    case GLFW_KEY_LEFT_CONTROL: return VirtualKey::LeftControl;
    case GLFW_KEY_RIGHT_CONTROL: return VirtualKey::RightControl;
    case GLFW_KEY_LEFT_ALT: return VirtualKey::LeftMenu;
    case GLFW_KEY_RIGHT_ALT: return VirtualKey::RightMenu;
    case GLFW_KEY_COMMA: return VirtualKey::Comma;
    case GLFW_KEY_PERIOD: return VirtualKey::Period;
    case GLFW_KEY_MINUS: return VirtualKey::Minus;
    case GLFW_KEY_LEFT: return VirtualKey::Left;
    case GLFW_KEY_RIGHT: return VirtualKey::Right;
    case GLFW_KEY_UP: return VirtualKey::Up;
    case GLFW_KEY_DOWN: return VirtualKey::Down;
    case GLFW_KEY_PAGE_UP: return VirtualKey::PageUp;
    case GLFW_KEY_PAGE_DOWN: return VirtualKey::PageDown;
    case GLFW_KEY_HOME: return VirtualKey::Home;
    case GLFW_KEY_END: return VirtualKey::End;
    case GLFW_KEY_INSERT: return VirtualKey::Insert;
    case GLFW_KEY_DELETE: return VirtualKey::Delete;
    default: return 0;
    }
}

uint8_t virtualKeyFromGlfwMouseButton(int button) {
    switch (button) {
    case GLFW_MOUSE_BUTTON_LEFT: return VirtualKey::LeftButton;
    case GLFW_MOUSE_BUTTON_RIGHT: return VirtualKey::RightButton;
    case GLFW_MOUSE_BUTTON_MIDDLE: return VirtualKey::MiddleButton;
    default: return 0;
    }
}

void buildKeyboardSnapshot(const RawInputState& raw, uint8_t snapshot[256]) {
    std::memset(snapshot, 0, 256);
    for (int key = 0; key < 512; ++key)
        if (raw.keys[key])
            if (uint8_t vk = virtualKeyFromGlfwKey(key))
                snapshot[vk] = 0x80;
    for (int b = 0; b < 8; ++b)
        if (raw.mouseButtons[b])
            if (uint8_t vk = virtualKeyFromGlfwMouseButton(b))
                snapshot[vk] = 0x80;
    auto either = [&](uint8_t generic, uint8_t left, uint8_t right) {
        if ((snapshot[left] | snapshot[right]) & 0x80)
            snapshot[generic] = 0x80;
    };
    either(VirtualKey::Shift, VirtualKey::LeftShift, VirtualKey::RightShift);
    either(VirtualKey::Control, VirtualKey::LeftControl, VirtualKey::RightControl);
    either(VirtualKey::Menu, VirtualKey::LeftMenu, VirtualKey::RightMenu);
}

void readKeyboardSnapshot(GLFWwindow* window, uint8_t snapshot[256]) {
    static constexpr int FirstKey = GLFW_KEY_SPACE;
    RawInputState raw;
    for (int key = FirstKey; key <= GLFW_KEY_LAST; ++key)
        if (virtualKeyFromGlfwKey(key))
            raw.keys[key] = glfwGetKey(window, key) == GLFW_PRESS;
    for (int b = 0; b < 3; ++b)
        raw.mouseButtons[b] = glfwGetMouseButton(window, b) == GLFW_PRESS;
    buildKeyboardSnapshot(raw, snapshot);
}

void mergeKeyStates(uint8_t snapshot[256], const uint8_t added[256]) {
    for (int vk = 0; vk < 256; ++vk)
        snapshot[vk] |= added[vk] & 0x80;
    auto either = [&](uint8_t generic, uint8_t left, uint8_t right) {
        if ((snapshot[left] | snapshot[right]) & 0x80)
            snapshot[generic] |= 0x80;
    };
    either(VirtualKey::Shift, VirtualKey::LeftShift, VirtualKey::RightShift);
    either(VirtualKey::Control, VirtualKey::LeftControl, VirtualKey::RightControl);
    either(VirtualKey::Menu, VirtualKey::LeftMenu, VirtualKey::RightMenu);
}

void KeyTapLatch::press(uint8_t vk) {
    if (vk && pending[vk] < MaxPending)
        ++pending[vk];
}

void KeyTapLatch::apply(uint8_t snapshot[256]) {
    for (int vk = 1; vk < 256; ++vk) {
        bool down = (snapshot[vk] & 0x80) != 0;
        if (pending[vk]) {
            // A press while the key was shown down needs an up frame first, or it would be no edge.
            down = !deliveredDown[vk];
            if (down)
                --pending[vk];
        }
        snapshot[vk] = down ? 0x80 : 0;
        deliveredDown[vk] = down;
    }
    auto either = [&](uint8_t generic, uint8_t left, uint8_t right) {
        snapshot[generic] = (snapshot[left] | snapshot[right]) & 0x80;
    };
    either(VirtualKey::Shift, VirtualKey::LeftShift, VirtualKey::RightShift);
    either(VirtualKey::Control, VirtualKey::LeftControl, VirtualKey::RightControl);
    either(VirtualKey::Menu, VirtualKey::LeftMenu, VirtualKey::RightMenu);
}
