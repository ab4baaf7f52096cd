#include "App/Keyboard.h"
#include "Demo/Scene/InputState.h"
#include "Demo/Scene/KeyBindings.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>
#include <vector>

TEST(Keyboard, VirtualKeyMappingCoversEveryKeyTheProgramReads) {
    EXPECT_EQ(virtualKeyFromGlfwKey(GLFW_KEY_ESCAPE), 0x1B);
    EXPECT_EQ(virtualKeyFromGlfwKey(GLFW_KEY_SPACE), 0x20);
    for (int d = 0; d <= 9; ++d)
        EXPECT_EQ(virtualKeyFromGlfwKey(GLFW_KEY_0 + d), 0x30 + d);
    for (int l = 0; l < 26; ++l)
        EXPECT_EQ(virtualKeyFromGlfwKey(GLFW_KEY_A + l), 0x41 + l);
    for (int f = 0; f < 12; ++f)
        EXPECT_EQ(virtualKeyFromGlfwKey(GLFW_KEY_F1 + f), 0x70 + f);
    EXPECT_EQ(virtualKeyFromGlfwKey(GLFW_KEY_COMMA), 0xBC);
    EXPECT_EQ(virtualKeyFromGlfwKey(GLFW_KEY_PERIOD), 0xBE);
    EXPECT_EQ(virtualKeyFromGlfwKey(GLFW_KEY_LEFT_SHIFT), 0xA0);
    EXPECT_EQ(virtualKeyFromGlfwKey(GLFW_KEY_RIGHT_SHIFT), 0xA1);
    EXPECT_EQ(virtualKeyFromGlfwKey(GLFW_KEY_LEFT_CONTROL), 0xA2);
    EXPECT_EQ(virtualKeyFromGlfwKey(GLFW_KEY_RIGHT_CONTROL), 0xA3);
    EXPECT_EQ(virtualKeyFromGlfwMouseButton(GLFW_MOUSE_BUTTON_LEFT), 0x01);
    EXPECT_EQ(virtualKeyFromGlfwMouseButton(GLFW_MOUSE_BUTTON_RIGHT), 0x02);
    EXPECT_EQ(virtualKeyFromGlfwMouseButton(GLFW_MOUSE_BUTTON_MIDDLE), 0x04);
    EXPECT_EQ(virtualKeyFromGlfwKey(GLFW_KEY_WORLD_1), 0);
}

TEST(Keyboard, SnapshotSetsHighBitAndGenericModifiers) {
    RawInputState raw;
    raw.keys[GLFW_KEY_RIGHT_SHIFT] = true;
    raw.keys[GLFW_KEY_LEFT_CONTROL] = true;
    raw.keys[GLFW_KEY_U] = true;
    raw.mouseButtons[GLFW_MOUSE_BUTTON_RIGHT] = true;
    uint8_t snap[256];
    buildKeyboardSnapshot(raw, snap);
    EXPECT_EQ(snap[0x10], 0x80);
    EXPECT_EQ(snap[0xA1], 0x80);
    EXPECT_EQ(snap[0xA0], 0);
    EXPECT_EQ(snap[0x11], 0x80);
    EXPECT_EQ(snap[0x55], 0x80);
    EXPECT_EQ(snap[0x02], 0x80);
    EXPECT_EQ(snap[0x01], 0);
    int down = 0;
    for (int i = 0; i < 256; ++i)
        down += snap[i] != 0;
    EXPECT_EQ(down, 6);
}

TEST(Keyboard, PressCountsOnceWhileHeldAndUTogglesTwiceInTwoPresses) {
    InputState input;
    uint8_t up[256] = {}, uDown[256] = {};
    uDown[0x55] = 0x80;
    bool uiVisible = false;
    auto frame = [&](const uint8_t* snap) {
        input.advanceKeys(snap);
        if (input.pressed(0x55))
            uiVisible = !uiVisible;
    };
    frame(uDown);
    EXPECT_TRUE(uiVisible);
    frame(uDown); // held: no second toggle
    frame(uDown);
    EXPECT_TRUE(uiVisible);
    EXPECT_TRUE(input.down(0x55));
    frame(up);
    frame(uDown);
    EXPECT_FALSE(uiVisible);
}

// Presses reported between two snapshots of a slow frame: each one reaches the program as its own press.
TEST(Keyboard, TapsWithinOneFrameAreEachDeliveredAsAPress) {
    constexpr uint8_t F12 = 0x7B, LeftShift = 0xA0, Shift = 0x10;
    struct Frame {
        int presses; // of F12 reported by the callback since the last snapshot
        bool polled; // F12 down in the polled state (sticky: a tap of this frame reads down once)
        bool down;   // F12 in the delivered snapshot
    };
    struct Case {
        const char* what;
        std::vector<Frame> frames;
        int pressEdges;
    } cases[] = {
        {"tap inside one frame", {{1, false, true}, {0, false, false}}, 1},
        {"tap inside one frame, read down once", {{1, true, true}, {0, false, false}}, 1},
        {"three taps inside one frame",
         {{3, true, true}, {0, false, false}, {0, false, true}, {0, false, false}, {0, false, true}, {0, false, false}},
         3},
        {"held over frames", {{1, true, true}, {0, true, true}, {0, true, true}, {0, false, false}}, 1},
        {"released and pressed again between frames", {{1, true, true}, {1, true, false}, {0, true, true}}, 2},
        {"no callback: polled state as it is", {{0, true, true}, {0, false, false}}, 1},
    };
    for (const Case& c : cases) {
        KeyTapLatch latch;
        InputState input;
        int edges = 0;
        for (size_t k = 0; k < c.frames.size(); ++k) {
            const Frame& f = c.frames[k];
            for (int p = 0; p < f.presses; ++p)
                latch.press(F12);
            uint8_t snapshot[256] = {};
            snapshot[F12] = f.polled ? 0x80 : 0;
            latch.apply(snapshot);
            EXPECT_EQ(snapshot[F12] == 0x80, f.down) << c.what << ", frame " << k;
            input.advanceKeys(snapshot);
            edges += input.pressed(F12);
        }
        EXPECT_EQ(edges, c.pressEdges) << c.what;
    }
    // A latched modifier sets the generic one too.
    KeyTapLatch latch;
    latch.press(LeftShift);
    uint8_t snapshot[256] = {};
    latch.apply(snapshot);
    EXPECT_EQ(snapshot[Shift], 0x80);
}

TEST(Keyboard, AnchorFollowsCursorOnlyWhileNotCaptured) {
    InputState input;
    input.advanceCursor(10, 20);
    EXPECT_EQ(input.anchor[0], 10);
    input.cursorCaptured = 1;
    input.advanceCursor(30, 40);
    EXPECT_EQ(input.anchor[0], 10);
    EXPECT_EQ(input.previousCursor[0], 10);
    EXPECT_EQ(input.cursor[1], 40);
}

// The one key table: each action bound once, no key bound twice, every row labelled for the Control tab, and
// every bound key one the platform layer fills (a key it never reports would do nothing).
TEST(KeyBindings, EachActionOnceEachKeyOnceLabelledAndReportedByThePlatform) {
    RawInputState everything;
    std::fill(std::begin(everything.keys), std::end(everything.keys), true);
    std::fill(std::begin(everything.mouseButtons), std::end(everything.mouseButtons), true);
    uint8_t snapshot[256];
    buildKeyboardSnapshot(everything, snapshot);

    std::set<Demo::KeyAction> actions;
    std::set<uint8_t> keys;
    for (const Demo::KeyBinding& b : Demo::KeyBindings) {
        SCOPED_TRACE(b.keyName ? b.keyName : "(no name)");
        EXPECT_TRUE(actions.insert(b.action).second) << "action bound twice";
        ASSERT_NE(b.keyName, nullptr);
        ASSERT_NE(b.effect, nullptr);
        EXPECT_GT(std::strlen(b.keyName), 0u);
        EXPECT_GT(std::strlen(b.effect), 0u);
        if (b.action == Demo::KeyAction::Zoom)
            continue; // the wheel is a scroll, not a key
        EXPECT_NE(b.key, 0) << "no key";
        EXPECT_TRUE(keys.insert(b.key).second) << "key bound twice";
        EXPECT_EQ(snapshot[b.key] & 0x80, 0x80) << "the platform never reports this key";
    }
    EXPECT_EQ(actions.size(), size_t(Demo::KeyAction::Sprint) + 1) << "an action without a key";
}
