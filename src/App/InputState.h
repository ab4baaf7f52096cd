#pragma once
#include <cstdint>
#include <cstring>

class Window;

// Two keyboard snapshots (current and previous frame) and the cursor with its drag anchor.
class InputState {
public:
    Window* window = nullptr;
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
