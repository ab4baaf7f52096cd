#pragma once
// Draws Dear ImGui's draw data with the program's own "imgui" pipeline: a font atlas image, the frame's vertices
// and indices in a host-visible geometry storage, one indexed draw per ImGui command with its scissor.
#include <vulkan/vulkan.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct GLFWwindow;
struct ImFont;
struct ImGuiContext;
class CommandContext;
class DescriptorPool;
class DescriptorSet;
class DsMeshSingle;
class GraphicsDevice;
class Image2D;
class PipelineGraphics;
class Sampler;

// Push constants of the "imgui" pipeline (vertex stage, 16 bytes).
struct UiPushConstants {
    float scale[2];     // 2 / display size
    float translate[2]; // (-1, -1)
};
static_assert(sizeof(UiPushConstants) == 16);

// What the last recorded UI pass did; read by tests and the benchmark.
struct UiPassStats {
    uint32_t draws = 0;
    uint32_t setBinds = 0;
    uint32_t vertices = 0;
    uint32_t indices = 0;
};

// Applies ImGui's dark style, the minimum window size and the neutral grey theme of the program's windows.
void applyUiStyle();

// True for the sRGB formats: their attachments encode what the shader writes.
bool isSrgbFormat(VkFormat format);

// The cursor and buttons a script sets, in window pixels.
struct ScriptedMouse {
    float x = 0.0f, y = 0.0f;
    bool left = false, right = false;
    float wheel = 0.0f; // wheel steps of this frame (positive: away from the user)
};

class UIRenderer {
public:
    static constexpr const char* FontFile = "assets/Roboto-Medium.ttf";
    static constexpr uint32_t GeometrySlotSize = 1000000; // bytes per frame in flight

    // Creates the ImGui context with the program's style, the GLFW binding on `window` (chaining the callbacks
    // installed before it; none headless, where the caller sets the display size), the "imgui" pipeline for
    // the attachments of the pass it is drawn in, the geometry storage and the UI sampler.
    UIRenderer(GraphicsDevice* device, DescriptorPool* pool, GLFWwindow* window, VkFormat colorFormat,
               VkFormat depthFormat = VK_FORMAT_UNDEFINED,
               const std::filesystem::path& shaderDirectory = std::filesystem::path("shaders"));
    // Ends an open frame, shuts the binding and the context down and releases the five GPU resources.
    ~UIRenderer();
    UIRenderer(const UIRenderer&) = delete;
    UIRenderer& operator=(const UIRenderer&) = delete;

    // Adds the TrueType font at `sizePixels` to the atlas; the first font added is the default one. A missing,
    // unreadable or non-TrueType file throws std::runtime_error naming it.
    ImFont* addFont(float sizePixels, const std::string& path = FontFile);
    static constexpr uint64_t MaxFontFileBytes = uint64_t(64) << 20;
    // Builds the atlas, queues its upload for the next upload pass and creates the font set.
    void uploadFontAtlas();

    // Starts an ImGui frame (binding new frame, ImGui::NewFrame); a frame left open is ended first.
    // Begins the ImGui frame (ending one left open). A script's mouse, when given, replaces the platform's.
    void beginFrame(const ScriptedMouse* mouse = nullptr);
    // Ends the open frame without drawing it (UI hidden, window minimised).
    void endFrame();
    bool frameOpen() const { return open; }

    // ImGui::Render and the recording of its draw data inside an open rendering pass whose target is
    // width x height pixels. Records nothing when there are no vertices.
    void draw(CommandContext* context, uint32_t width, uint32_t height);
    // The UI pass on its own: waits for earlier colour writes to the image (in colour-attachment layout), opens
    // a rendering pass that loads it, draws and closes the pass; the image stays in colour-attachment layout.
    void recordPass(CommandContext* context, VkImage image, VkImageView view, uint32_t width, uint32_t height);

    GraphicsDevice* device = nullptr;
    DescriptorPool* pool = nullptr;
    GLFWwindow* window = nullptr;
    ImGuiContext* imguiContext = nullptr;

    DsMeshSingle* geometry = nullptr;
    Image2D* fontAtlas = nullptr;
    PipelineGraphics* pipeline = nullptr;
    DescriptorSet* fontSet = nullptr;
    Sampler* sampler = nullptr;
    std::vector<DescriptorSet*> descriptorSets; // sets made for images shown by panels; freed with the renderer
    UiPassStats lastPass;

private:
    // Writes the rendered draw data into the geometry storage and records its draws.
    void recordDrawData(CommandContext* context, uint32_t width, uint32_t height);

    std::vector<uint32_t> widened; // this frame's indices of one list as 32 bits, kept to avoid reallocation
    bool open = false;
};
