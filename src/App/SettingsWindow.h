#pragma once
// The "Settings" window: a fixed panel centred on the application window with the display settings ("General"),
// the quality, the wireframe switch and exposure ("Graphics"), the look sensitivity and the key map ("Control"), and
// the buttons that apply the display settings or apply and save them to "config.gcfg" (the quality to
// "quality.txt").
#include "App/AppSettings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ImFont;
struct DebugWindowState;
namespace Demo {
class Scene;
}

// Entries of the monitor combo: one per monitor, at most five ("0 (Primary)" to "4").
int monitorItemCount(int monitorCount);
// Writes "Native" followed by "<width>x<height>" for each entry as zero-separated combo items ending with an
// empty item; stops before an item that would not fit. Returns the number of items written.
int writeResolutionItems(const std::vector<ResolutionEntry>& entries, char* buffer, size_t capacity);
// Writes "Native" followed by "<rate> Hz" for each rate, as above.
int writeRefreshRateItems(const std::vector<uint32_t>& rates, char* buffer, size_t capacity);
// A combo index clamped to 0..entryCount (0 is "Native").
int32_t clampEntryIndex(int32_t index, size_t entryCount);
// x of "Apply" so that "Apply" and "Apply and save" end at the content region's right edge.
float applyButtonsX(float contentRight, float applyTextWidth, float saveTextWidth, float framePaddingX,
                    float itemSpacingX);
// Top left corner of the panel: centred on the application window, vertically on its content height.
struct PanelPosition {
    float x = 0.0f, y = 0.0f;
};
PanelPosition settingsPanelPosition(uint32_t windowWidth, uint32_t windowHeight, float panelWidth, float contentBottom,
                                    float windowPaddingY);

// The key table (key, effect), one row per binding, as the Control tab and the menu bar's "Keys" show it.
void drawKeyTable();

struct SettingsWindowInput {
    AppSettings* settings = nullptr; // edited; nothing is drawn without them
    Window* window = nullptr;        // the display settings are applied to it
    uint32_t windowWidth = 0, windowHeight = 0;
    DebugWindowState* debug = nullptr; // "Open debug window"
    Demo::Scene* scene = nullptr;      // wireframe of the solid planets
    float* exposure = nullptr;         // of the post-process
};

class SettingsWindow {
public:
    static constexpr size_t ScratchSize = 50000;
    static constexpr float Width = 600.0f;

    SettingsWindow();

    // Builds the window while it is shown.
    void draw(const SettingsWindowInput& input);

    bool closed = true;
    ImFont* mediumFont = nullptr; // buttons
    ImFont* largeFont = nullptr;  // title
    // Outcome of the last "Apply and save", shown under the buttons.
    std::string status;
    bool statusIsError = false;

private:
    void drawGeneral(const SettingsWindowInput& input);
    void drawGraphics(const SettingsWindowInput& input);
    void drawControl(const SettingsWindowInput& input);
    void applyAndSave(const SettingsWindowInput& input);

    std::vector<char> scratch; // item texts of the resolution and refresh rate combos, rebuilt every frame
};
