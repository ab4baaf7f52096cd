#include "App/Script.h"
#include "App/Keyboard.h"

#include <gtest/gtest.h>

TEST(Script, ParsesEveryCommandWithCommentsAndBlankLines) {
    ScriptParse p = parseScript(R"(# a tour
1 key F12

2 hold period 3   # three frames
2 move 10 20
3 click left 5 6
4 drag right 100 200 30 -40 5
5 scroll -2
6 resize 1280 720
7 minimize
8 restore
9 screenshot out/shot.png
9 timestep 123456
9 status
10 stall 2500
10 quit
)");
    ASSERT_TRUE(p.error.empty()) << p.error;
    ASSERT_EQ(p.commands.size(), 14u);
    EXPECT_EQ(p.commands[0].action, ScriptAction::Key);
    EXPECT_EQ(p.commands[0].key, VirtualKey::F12);
    EXPECT_EQ(p.commands[1].line, 4u);
    EXPECT_EQ(p.commands[1].key, VirtualKey::Period);
    EXPECT_EQ(p.commands[1].frames, 3);
    EXPECT_EQ(p.commands[4].key, VirtualKey::RightButton);
    EXPECT_EQ(p.commands[4].dy, -40);
    EXPECT_EQ(p.commands[5].steps, -2.0);
    EXPECT_EQ(p.commands[9].path, "out/shot.png");
    EXPECT_EQ(p.commands[10].timestep, 123456u);
    EXPECT_EQ(p.commands[11].action, ScriptAction::Status);
    EXPECT_EQ(p.commands[12].milliseconds, 2500u);
    EXPECT_EQ(p.commands[13].action, ScriptAction::Quit);
    ScriptPlayer player(p.commands);
    for (uint64_t frame = 1; frame <= 10; ++frame) {
        const ScriptFrame& f = player.advance(frame);
        EXPECT_EQ(f.status, frame == 9) << frame;
        EXPECT_EQ(f.stallMilliseconds, frame == 10 ? 2500u : 0u) << frame;
    }
}

TEST(Script, MalformedLinesRefuseTheWholeScriptNamingTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"1 key\n", "line 1: \"key\" takes a key name"},
        {"1 key U\n2 hold M -3\n", "line 2: frame count -3 is out of range"},
        {"1 resize 0 x\n", "line 1: width 0 is out of range"},
        {"1 resize 640 x\n", "line 1: height must be a whole number, not \"x\""},
        {"5 key U\n3 key U\n", "line 2: frame 3 comes after frame 5"},
        {"0 key U\n", "line 1: frame number 0 is out of range"},
        {"x key U\n", "line 1: frame number must be a whole number"},
        {"1 warp 3\n", "line 1: unknown command \"warp\""},
        {"1 key NoSuchKey\n", "line 1: unknown key name \"NoSuchKey\""},
        {"1 click middle 1 2\n", "line 1: the mouse button must be left or right"},
        {"1 scroll nan\n", "line 1: steps must be a number"},
        {"1 quit now\n", "line 1: \"quit\" takes no arguments"},
        {"1 status all\n", "line 1: \"status\" takes no arguments"},
        {"1\n", "line 1: missing command"},
        {"1 move 3\n", "line 1: \"move\" takes X Y"},
        {"1 stall 60001\n", "line 1: milliseconds 60001 is out of range [1, 60000]"},
        // Control bytes of a damaged line are shown, not written raw into the message.
        {"1 ke\x01y\x7f U\n", "line 1: unknown command \"ke\\x01y\\x7F\""},
    };
    for (const auto& [text, message] : cases) {
        ScriptParse p = parseScript(text);
        EXPECT_TRUE(p.commands.empty()) << text;
        EXPECT_NE(p.error.find(message), std::string::npos) << text << " -> " << p.error;
    }
}

TEST(Script, KeyNamesAreCaseInsensitiveAndCoverWhatTheProgramReads) {
    EXPECT_EQ(virtualKeyFromName("u"), virtualKeyFromName("U"));
    EXPECT_EQ(virtualKeyFromName("F1"), VirtualKey::F1);
    EXPECT_EQ(virtualKeyFromName("f12"), VirtualKey::F12);
    EXPECT_EQ(virtualKeyFromName("F13"), 0);
    EXPECT_EQ(virtualKeyFromName("ESCAPE"), VirtualKey::Escape);
    EXPECT_EQ(virtualKeyFromName("comma"), VirtualKey::Comma);
    EXPECT_EQ(virtualKeyFromName("7"), VirtualKey::digit(7));
    EXPECT_EQ(virtualKeyFromName("Space"), VirtualKey::Space);
    EXPECT_EQ(virtualKeyFromName(""), 0);
}

// What a frame loop sees: a tap is down for exactly one frame, a hold for its frames, a drag first places the
// cursor, then holds its button while moving and releases it after the last move.
TEST(Script, PlayerTimesKeysAndDragsFrameByFrame) {
    ScriptParse p = parseScript("2 key U\n3 hold LeftShift 2\n5 drag right 100 100 40 0 4\n12 quit\n");
    ASSERT_TRUE(p.error.empty());
    ScriptPlayer player(p.commands);
    std::vector<int> uDown, shiftDown, buttonDown;
    std::vector<float> cursorX;
    for (uint64_t frame = 1; frame <= 12; ++frame) {
        const ScriptFrame& f = player.advance(frame);
        uDown.push_back(f.keysDown[VirtualKey::letter('U')] >> 7);
        shiftDown.push_back(f.keysDown[VirtualKey::LeftShift] >> 7);
        buttonDown.push_back(f.keysDown[VirtualKey::RightButton] >> 7);
        cursorX.push_back(f.cursor[0].value_or(-1.0f));
        EXPECT_EQ(f.quit, frame == 12);
    }
    EXPECT_EQ(uDown, (std::vector<int>{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(shiftDown, (std::vector<int>{0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(buttonDown, (std::vector<int>{0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0}));
    EXPECT_EQ(cursorX, (std::vector<float>{-1, -1, -1, -1, 100, 100, 110, 120, 130, 140, 140, 140}));
    EXPECT_TRUE(player.finished());
}

TEST(Script, MergedScriptKeysSetTheGenericModifiers) {
    uint8_t snapshot[256] = {};
    uint8_t added[256] = {};
    added[VirtualKey::LeftShift] = 0x80;
    added[VirtualKey::RightControl] = 0x80;
    mergeKeyStates(snapshot, added);
    EXPECT_EQ(snapshot[VirtualKey::Shift], 0x80);
    EXPECT_EQ(snapshot[VirtualKey::Control], 0x80);
    EXPECT_EQ(snapshot[VirtualKey::Menu], 0x00);
}
