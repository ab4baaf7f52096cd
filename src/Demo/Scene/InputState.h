#pragma once
// The keyboard snapshot by Windows virtual-key code (high bit = down) and the cursor, as the scene reads them;
// the platform layer fills them once per frame.
#include <cstdint>
#include <cstring>

namespace Demo {

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

// Two keyboard snapshots (current and previous frame) and the cursor with its drag anchor.
class InputState {
public:
    uint8_t current[256] = {};
    uint8_t previous[256] = {};
    float cursor[2] = {};
    float previousCursor[2] = {};
    float anchor[2] = {};
    float previousAnchor[2] = {};
    uint8_t cursorCaptured = 0; // the camera holds the anchor while it rotates

    bool down(uint8_t vk) const { return (current[vk] & 0x80) != 0; }
    // Down now and up in the previous snapshot: counts once however long the key is held.
    bool pressed(uint8_t vk) const { return (current[vk] & 0x80) && !(previous[vk] & 0x80); }

    // The current snapshot becomes the previous one and `snapshot` the current one.
    void advanceKeys(const uint8_t snapshot[256]) {
        std::memcpy(previous, current, 256);
        std::memcpy(current, snapshot, 256);
    }
    void advanceCursor(float x, float y) {
        previousCursor[0] = cursor[0];
        previousCursor[1] = cursor[1];
        cursor[0] = x;
        cursor[1] = y;
        if (!cursorCaptured) {
            previousAnchor[0] = anchor[0];
            previousAnchor[1] = anchor[1];
            anchor[0] = x;
            anchor[1] = y;
        }
    }
};

} // namespace Demo
