#pragma once
// Process-wide handles and values, created by engine start and reachable from every part of the program.
#include <cstdint>
#include <random>

class VulkanInstance;
class GraphicsDevice;
class SwapChain;
class Window;
class DescriptorPool;
class DsUniformSingle;
class DsStorageSingle;
class DsDeviceMeshSingle;
namespace Demo {
class InputState;
class Scene;
class RenderManager;
} // namespace Demo

namespace Globals {
inline bool demoEnabled = true;
inline VulkanInstance* instance = nullptr;
inline Window* window = nullptr;
inline Demo::InputState* input = nullptr;
inline GraphicsDevice* device = nullptr;
inline SwapChain* swapChain = nullptr;
inline DsDeviceMeshSingle* meshStorage = nullptr;
inline DescriptorPool* descriptorPool = nullptr;
inline DsUniformSingle* uniformStorage = nullptr;
inline DsStorageSingle* storageBufferStorage = nullptr;
inline Demo::Scene* scene = nullptr;
inline Demo::RenderManager* renderManager = nullptr;

// One generator for the whole process with its default seed, so that runs are reproducible.
inline std::mt19937 random{5489u};
inline std::uniform_real_distribution<double> uniformDouble{0.0, 1.0};
inline std::uniform_real_distribution<float> uniformFloat{0.0f, 1.0f};

inline float frameTime = 0.0f;   // milliseconds of the last frame, at most 1000
inline double scrollValue = 0.0; // vertical scroll offset of this frame's last scroll event
inline bool quit = false;
inline bool uiVisible = false;
inline bool uiWantsInput = false;
} // namespace Globals
