#pragma once
// Scripted runs: a plain text file, one command a line, "<frame> <command> [arguments]". Frames count from 1
// (the first frame's update) and never decrease; '#' starts a comment. Scripted input goes through the same
// keyboard snapshot and mouse state as real input, so a script exercises the program as a user would.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class ScriptAction {
    Key,        // tap: down this frame, up the next
    Hold,       // down for `frames` frames
    Move,       // cursor to (x, y)
    Click,      // cursor to (x, y), button down this frame, up the next
    Drag,       // cursor to (x, y), then button down while it moves by (dx, dy) over `frames` frames, then up
    Scroll,     // vertical scroll of `steps` this frame
    Resize,     // window size (w, h)
    Minimize,
    Restore,
    Screenshot, // PNG of this frame
    Timestep,   // jump simulated time to step n
    Status,     // print the time step and the spacecraft's state
    Stall,      // hold this frame's update for `milliseconds` (a slow frame on demand)
    Quit,
    Record,     // start recording every frame into `path`
    RecordStop, // stop the recording
};

struct ScriptCommand {
    uint64_t frame = 0;
    ScriptAction action = ScriptAction::Quit;
    uint32_t line = 0;
    uint8_t key = 0;       // virtual-key code (keys and mouse buttons)
    int64_t x = 0, y = 0;  // cursor position, or window size for Resize
    int64_t dx = 0, dy = 0;
    int64_t frames = 0;    // Hold and Drag
    double steps = 0.0;    // Scroll
    uint64_t timestep = 0; // Timestep
    std::string path;      // Screenshot, Record
    uint32_t milliseconds = 0; // Stall
};

struct ScriptParse {
    std::vector<ScriptCommand> commands; // in file order
    std::string error;                   // "line N: reason" when the script is refused, empty otherwise
};

// Parses a whole script; the first bad line refuses the script.
ScriptParse parseScript(const std::string& text);
// Scripts are lines typed by hand or written by a test; a larger file is refused unread.
constexpr size_t MaxScriptFileBytes = size_t(4) << 20;
// The virtual-key code of a key name ("F12", "U", "period", "Escape"...; letters and names in any case), or 0.
uint8_t virtualKeyFromName(const std::string& name);

// What the script contributes to one frame's input; the frame loop merges it with the real input.
struct ScriptFrame {
    uint8_t keysDown[256] = {}; // high bit set for keys and buttons the script holds this frame
    std::optional<float> cursor[2];
    double scroll = 0.0;
    bool hasScroll = false;
    std::optional<std::pair<int, int>> resize;
    bool minimize = false, restore = false, quit = false;
    std::vector<std::string> screenshots;
    std::optional<uint64_t> timestep;
    bool status = false;
    std::optional<std::string> record; // recording starts this frame
    bool recordStop = false;
    uint32_t stallMilliseconds = 0;
};

// Plays a parsed script frame by frame.
class ScriptPlayer {
public:
    explicit ScriptPlayer(std::vector<ScriptCommand> commands);
    // The script's input for frame `frame` (1, 2, 3... in order).
    const ScriptFrame& advance(uint64_t frame);
    bool finished() const;
    // The cursor position the script last set, if any (it stays until the script moves it again).
    bool controlsCursor() const { return hasCursor; }
    // The first frame at or after `from` with a command of kind `action`, if the script has one.
    std::optional<uint64_t> nextFrameOf(ScriptAction action, uint64_t from) const;
    // Every path the script records into, to be checked before the program starts.
    std::vector<std::string> recordPaths() const;

private:
    std::vector<ScriptCommand> commands;
    size_t next = 0;
    uint64_t keyReleaseFrame[256] = {}; // key held while frame < this
    struct ActiveDrag {
        uint8_t button;
        uint64_t start, frames;
        float x, y, dx, dy;
    };
    std::vector<ActiveDrag> drags;
    bool hasCursor = false;
    float cursorX = 0.0f, cursorY = 0.0f;
    uint64_t lastFrame = 0;
    ScriptFrame current;
};
