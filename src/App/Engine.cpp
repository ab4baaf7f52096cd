#include "App/Engine.h"

#include "App/Config.h"
#include "App/Globals.h"
#include "Demo/Scene/InputState.h"
#include "App/Keyboard.h"
#include "App/Screenshot.h"
#include "App/Window.h"
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/Scene.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/VulkanInstance.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"
#include "Engine/SwapChain/SwapChain.h"

#include <GLFW/glfw3.h>

#include <iostream>
#include <stdexcept>

namespace {
ScreenshotCapture* screenshot = nullptr;
bool screenshotsFailed = false;
} // namespace

float frameTimeFromNanoseconds(long long nanoseconds) {
    float ms = float(double(nanoseconds) / 1000000.0);
    return ms < 1000.0f ? ms : 1000.0f;
}

void requestScreenshot(const std::string& path) {
    if (screenshot)
        screenshot->request(path, ScreenshotNaming::Exact);
}

bool screenshotFailed() {
    return screenshotsFailed;
}

// The --target option: the main camera focuses the named body.
static void focusCameraOn(const std::string& name) {
    Demo::DemoCamera* camera = Globals::scene->mainCamera;
    for (Demo::SceneObject* object : Globals::scene->objects)
        if (object->name == name && object != camera) {
            camera->setMode(Demo::TARGET_FOCUS);
            camera->setTarget(object);
            return;
        }
    std::cout << "--target: no body named \"" << name << "\"; the camera keeps its start view" << std::endl;
}

void engineStart(const CommandLine& commandLine) {
    Globals::demoEnabled = commandLine.demo;

    Globals::instance = new VulkanInstance();
    Globals::instance->create();
    if (!Globals::instance->glfwInitialised)
        ENGINE_ERROR("Unable to initialise GLFW (is a display available?)");
    if (Globals::instance->instance == VK_NULL_HANDLE)
        ENGINE_ERROR("Unable to create the Vulkan instance (is a Vulkan driver installed?)");

    loadConfig();
    applyDisplaySettings(nullptr);

    Globals::window = new Window(windowSettings, Globals::instance);

    Globals::input = new InputState();
    glfwSetScrollCallback(Globals::window->window,
                          [](GLFWwindow*, double, double y) { Globals::scrollValue = y; });

    Globals::device = createDevice(Globals::instance->instance, Globals::window->surface, Globals::window);
    Globals::device->hdrColorFormat = VK_FORMAT_R32G32B32A32_SFLOAT;

    Globals::swapChain = new SwapChain(Globals::window, Globals::device,
                                       VkPresentModeKHR(displaySettings.presentMode), true);
    // Screenshots copy from the presentable images; only ask for that usage when it will be used.
    Globals::swapChain->transferSource = true;
    Globals::swapChain->build();
    Globals::window->swapChain = Globals::swapChain;
    screenshot = new ScreenshotCapture(Globals::device);

    Globals::random.seed(5489u);

    // Every mesh is written into the first slot of the mesh storage, begun once here.
    Globals::meshStorage = new DsDeviceMeshSingle(Globals::device, 10000000);
    Globals::meshStorage->beginSlot();
    // Sized for the whole solar system: every solid planet's surface set alone binds eight dynamic uniform
    // buffers and its height map twice (sampled and as the generator's storage image).
    Globals::descriptorPool = new DescriptorPool(Globals::device, "UBD_400+SBD_50+SB_50+CIS_64+SI_48");
    Globals::uniformStorage = new DsUniformSingle(Globals::device, 100000);
    Globals::storageBufferStorage = new DsStorageSingle(Globals::device, 16000000);

    Globals::scene = new Demo::Scene();
    Globals::renderManager = new Demo::RenderManager();

    // Scene set-up: the camera first (the solar system hands it its target), then the astro system, which
    // builds the solar system in its Create.
    auto* camera = new Demo::DemoCamera("MainCamera", Globals::scene);
    Globals::scene->add(camera);
    camera->Create();
    Globals::scene->mainCamera = camera;
    camera->transform->position = {0.0, 0.0, -100.0};
    camera->transform->markDirty();
    camera->transform->updateMatrix();
    auto* astroSystem = new Demo::AstroSystem("AstroSystem", Globals::scene);
    Globals::scene->add(astroSystem);
    astroSystem->Create();

    if (commandLine.target)
        focusCameraOn(*commandLine.target);

    // Keep this the last step of start: meshes created by everything above reach the device in the first
    // frame's upload pass.
    Globals::meshStorage->registerFlush();

    // Every object is started once, after everything exists (the astro system launches its cache worker here).
    Globals::scene->start();
}

void engineUpdate() {
    Globals::scrollValue = 0.0;
    glfwPollEvents();
    Globals::window->refreshRenderable();

    uint8_t snapshot[256];
    readKeyboardSnapshot(Globals::window->window, snapshot);
    InputState& input = *Globals::input;
    input.advanceKeys(snapshot);
    double x = 0, y = 0;
    glfwGetCursorPos(Globals::window->window, &x, &y);
    input.advanceCursor(float(x), float(y));

    if (input.pressed(VirtualKey::Escape))
        Globals::quit = true;
    if (input.pressed(VirtualKey::letter('U')))
        Globals::uiVisible = !Globals::uiVisible;
    if (input.pressed(VirtualKey::F12))
        screenshot->request(timestampedScreenshotName(), ScreenshotNaming::Unique);

    Globals::uniformStorage->beginSlot();
    Globals::storageBufferStorage->beginSlot();

    // All objects update before any writes its uniforms.
    Globals::scene->update();
    Globals::scene->updateUniforms();
    Globals::renderManager->prepare();
}

void frameRender() {
    GraphicsDevice* device = Globals::device;
    SwapChain* swapChain = Globals::swapChain;
    uint32_t s = device->frameIndex;
    FrameSync& render = swapChain->renderSet[s];
    vkWaitForFences(device->device, 1, &render.fence, VK_TRUE, UINT64_MAX);
    // Slot s's last submission is finished: what it used can be released, and the screenshots of every frame up
    // to it written.
    device->registry.framesCompleted(swapChain->renderSerials[s]);
    screenshot->writeCompleted();
    vkResetFences(device->device, 1, &render.fence);

    VkResult acquire = vkAcquireNextImageKHR(device->device, swapChain->swapchain, UINT64_MAX,
                                             swapChain->acquireSet[s].semaphore, VK_NULL_HANDLE,
                                             &swapChain->imageIndex);
    if (acquire != VK_SUCCESS || Globals::window->width != swapChain->width ||
        Globals::window->height != swapChain->height || swapChain->recreateRequested) {
        std::cout << "Recreating swapchain!\n";
        if (acquire == VK_SUCCESS || acquire == VK_SUBOPTIMAL_KHR) {
            // The acquired image's semaphore would stay signalled forever: give the image back through a
            // present that waits on nothing, after an empty submission consumes the semaphore.
            VkPipelineStageFlags stage = VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT;
            VkSubmitInfo consume{VK_STRUCTURE_TYPE_SUBMIT_INFO};
            consume.waitSemaphoreCount = 1;
            consume.pWaitSemaphores = &swapChain->acquireSet[s].semaphore;
            consume.pWaitDstStageMask = &stage;
            vkQueueSubmit(device->queue, 1, &consume, render.fence);
        } else if (acquire != VK_ERROR_OUT_OF_DATE_KHR) {
            throw std::runtime_error("failed to acquire swap chain image! (VkResult " +
                                     std::to_string(int(acquire)) + ")");
        }
        swapChain->build();
        swapChain->recreateRequested = 0;
        return;
    }
    Image2D* target = swapChain->images[swapChain->imageIndex];

    device->commandPools->resetSlot(s);
    CommandContext* context = device->commandPools->acquireContext();
    context->free = 0;
    VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    if (vkBeginCommandBuffer(context->commandBuffer, &begin) != VK_SUCCESS)
        throw std::runtime_error("failed to begin recording command buffer!");

    uploadPass(context);
    VkImageSubresourceRange colorRange{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    imageBarrier(context, target->image, colorRange, VK_IMAGE_LAYOUT_UNDEFINED,
                 VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
    Globals::renderManager->record(context);
    if (screenshot->requested())
        screenshot->recordCopy(context, target->image, swapChain->surfaceFormat.format, swapChain->width,
                               swapChain->height);
    imageBarrier(context, target->image, colorRange, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                 VK_IMAGE_LAYOUT_PRESENT_SRC_KHR, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT, VK_PIPELINE_STAGE_2_BOTTOM_OF_PIPE_BIT, VK_ACCESS_2_NONE);
    context->clearBindings();
    if (vkEndCommandBuffer(context->commandBuffer) != VK_SUCCESS)
        throw std::runtime_error("failed to record command buffer!");

    submit(device, {context}, render, {swapChain->acquireSet[s].semaphore});
    swapChain->renderSerials[s] = device->registry.currentSerial() - 1;

    VkPresentInfoKHR present{VK_STRUCTURE_TYPE_PRESENT_INFO_KHR};
    present.waitSemaphoreCount = 1;
    present.pWaitSemaphores = &render.semaphore;
    present.swapchainCount = 1;
    present.pSwapchains = &swapChain->swapchain;
    present.pImageIndices = &swapChain->imageIndex;
    VkResult presented = vkQueuePresentKHR(device->queue, &present);
    if (presented != VK_SUCCESS) {
        if (presented != VK_SUBOPTIMAL_KHR && presented != VK_ERROR_OUT_OF_DATE_KHR)
            throw std::runtime_error("failed to present swap chain image! (VkResult " +
                                     std::to_string(int(presented)) + ")");
        std::cout << "Recreating swapchain!\n";
        swapChain->build();
        return;
    }
    endFrame(device);
}

void engineShutdown() {
    // Worker threads stop before anything they read goes away.
    if (Globals::scene)
        for (Demo::SceneObject* object : Globals::scene->objects)
            if (auto* astroSystem = dynamic_cast<Demo::AstroSystem*>(object))
                astroSystem->shutdownWorker();
    if (Globals::device) {
        vkDeviceWaitIdle(Globals::device->device);
        if (screenshot)
            screenshot->finish();
    }
    screenshotsFailed = screenshot && screenshot->failed();
    delete screenshot;
    screenshot = nullptr;
    if (Globals::device)
        teardownDevice(Globals::device);
    // The storages and the pool went with the device's registry.
    Globals::meshStorage = nullptr;
    Globals::descriptorPool = nullptr;
    Globals::uniformStorage = nullptr;
    Globals::storageBufferStorage = nullptr;
    delete Globals::swapChain;
    Globals::swapChain = nullptr;
    delete Globals::device;
    Globals::device = nullptr;
    delete Globals::input;
    Globals::input = nullptr;
    delete Globals::window;
    Globals::window = nullptr;
    if (Globals::instance)
        Globals::instance->destroy();
    delete Globals::instance;
    Globals::instance = nullptr;
}
