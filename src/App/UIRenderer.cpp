#include "App/UIRenderer.h"

#include "App/FontFile.h"
#include "App/UIDrawPlan.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/Data/DescriptorSet.h"
#include "Engine/Files/UserFile.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"
#include "Engine/Pipelines/PipelineGraphics.h"

#include <imgui.h>
#include <imgui_impl_glfw.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

void applyUiStyle() {
    ImGui::StyleColorsDark();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowMinSize = ImVec2(10.0f, 10.0f);
    ImVec4* c = style.Colors;
    c[ImGuiCol_FrameBg] = ImVec4(0.37f, 0.37f, 0.37f, 0.54f);
    c[ImGuiCol_FrameBgHovered] = ImVec4(0.53f, 0.53f, 0.53f, 0.40f);
    c[ImGuiCol_FrameBgActive] = ImVec4(0.56f, 0.56f, 0.56f, 0.67f);
    c[ImGuiCol_TitleBgActive] = ImVec4(0.46f, 0.46f, 0.46f, 1.00f);
    c[ImGuiCol_CheckMark] = ImVec4(1.00f, 1.00f, 1.00f, 1.00f);
    c[ImGuiCol_SliderGrab] = ImVec4(0.60f, 0.60f, 0.60f, 1.00f);
    c[ImGuiCol_SliderGrabActive] = ImVec4(0.71f, 0.71f, 0.71f, 1.00f);
    c[ImGuiCol_Button] = ImVec4(0.39f, 0.39f, 0.39f, 1.00f);
    c[ImGuiCol_ButtonHovered] = ImVec4(0.50f, 0.50f, 0.50f, 1.00f);
    c[ImGuiCol_ButtonActive] = ImVec4(0.59f, 0.59f, 0.59f, 1.00f);
    c[ImGuiCol_Header] = ImVec4(0.62f, 0.62f, 0.62f, 0.31f);
    c[ImGuiCol_HeaderHovered] = ImVec4(0.68f, 0.68f, 0.68f, 0.50f);
    c[ImGuiCol_HeaderActive] = ImVec4(0.69f, 0.69f, 0.70f, 0.73f);
    c[ImGuiCol_Separator] = ImVec4(0.73f, 0.73f, 0.73f, 0.50f);
    c[ImGuiCol_SeparatorHovered] = ImVec4(0.64f, 0.64f, 0.64f, 0.78f);
    c[ImGuiCol_SeparatorActive] = ImVec4(0.70f, 0.70f, 0.70f, 1.00f);
    c[ImGuiCol_ResizeGrip] = ImVec4(0.73f, 0.73f, 0.73f, 0.51f);
    c[ImGuiCol_ResizeGripHovered] = ImVec4(0.81f, 0.81f, 0.81f, 0.62f);
    c[ImGuiCol_ResizeGripActive] = ImVec4(0.89f, 0.89f, 0.89f, 0.74f);
    c[ImGuiCol_Tab] = ImVec4(0.39f, 0.39f, 0.39f, 1.00f);
    c[ImGuiCol_TabHovered] = ImVec4(0.50f, 0.50f, 0.50f, 0.80f);
    c[ImGuiCol_TabActive] = ImVec4(0.55f, 0.55f, 0.55f, 1.00f);
}

bool isSrgbFormat(VkFormat format) {
    switch (format) {
    case VK_FORMAT_R8_SRGB:
    case VK_FORMAT_R8G8_SRGB:
    case VK_FORMAT_R8G8B8_SRGB:
    case VK_FORMAT_B8G8R8_SRGB:
    case VK_FORMAT_R8G8B8A8_SRGB:
    case VK_FORMAT_B8G8R8A8_SRGB:
    case VK_FORMAT_A8B8G8R8_SRGB_PACK32:
        return true;
    default:
        return false;
    }
}

static VkSamplerCreateInfo uiSamplerInfo() {
    VkSamplerCreateInfo info{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
    info.magFilter = VK_FILTER_LINEAR;
    info.minFilter = VK_FILTER_LINEAR;
    info.mipmapMode = VK_SAMPLER_MIPMAP_MODE_LINEAR;
    info.addressModeU = VK_SAMPLER_ADDRESS_MODE_REPEAT;
    info.addressModeV = VK_SAMPLER_ADDRESS_MODE_REPEAT;
    info.addressModeW = VK_SAMPLER_ADDRESS_MODE_REPEAT;
    info.mipLodBias = 0.0f;
    info.anisotropyEnable = VK_FALSE;
    info.maxAnisotropy = 1.0f;
    info.compareEnable = VK_FALSE;
    info.minLod = -1000.0f;
    info.maxLod = 1000.0f;
    info.borderColor = VkBorderColor(0);
    return info;
}

UIRenderer::UIRenderer(GraphicsDevice* device_, DescriptorPool* pool_, GLFWwindow* window_, VkFormat colorFormat,
                       VkFormat depthFormat, const std::filesystem::path& shaderDirectory)
    : device(device_), pool(pool_), window(window_) {
    imguiContext = ImGui::CreateContext();
    ImGui::SetCurrentContext(imguiContext);
    ImGuiIO& io = ImGui::GetIO();
    io.BackendRendererName = "kestrune";
    // Commands carry a vertex offset: lists past 65536 vertices still work with 16-bit indices.
    io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
    // Window placements persist in imgui.ini only for the program itself, not for headless uses.
    if (!window)
        io.IniFilename = nullptr;
    applyUiStyle();
    if (window)
        ImGui_ImplGlfw_InitForVulkan(window, true);

    pipeline = new PipelineGraphics(device);
    pipeline->loadShaders("imgui", shaderDirectory);
    pipeline->setVertexLayout(uiLayout, true);
    pipeline->layoutNotation = "CIS_0";
    pipeline->pushConstantRanges = {{VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof(UiPushConstants)}};
    pipeline->options.dynamicStates = standardDynamicStates();
    pipeline->options.cullMode = VK_CULL_MODE_NONE;
    pipeline->options.blendMode = BlendAlpha;
    pipeline->options.depthWriteEnable = 0;
    VkBool32 srgb = isSrgbFormat(colorFormat) ? VK_TRUE : VK_FALSE;
    pipeline->specializationEntries = {{0, 0, sizeof(VkBool32)}};
    pipeline->specializationData.resize(sizeof srgb);
    std::memcpy(pipeline->specializationData.data(), &srgb, sizeof srgb);
    pipeline->create({{colorFormat}, depthFormat});

    geometry = new DsMeshSingle(device, GeometrySlotSize);
    sampler = new Sampler(device, uiSamplerInfo());
}

UIRenderer::~UIRenderer() {
    ImGui::SetCurrentContext(imguiContext);
    endFrame();
    // After a reported error GLFW is terminated: the binding's clean-up (callbacks, cursors) would only call into a
    // library that is gone, and the cursors went with it.
    if (window && !glfwTerminatedByError())
        ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext(imguiContext);
    imguiContext = nullptr;
    for (GraphicsResource* r :
         std::initializer_list<GraphicsResource*>{fontAtlas, pipeline, fontSet, geometry, sampler})
        if (r)
            unregisterResource(device, r);
    for (DescriptorSet* set : descriptorSets)
        unregisterResource(device, set);
    descriptorSets.clear();
}

ImFont* UIRenderer::addFont(float sizePixels, const std::string& path) {
    ImGui::SetCurrentContext(imguiContext);
    const std::string name = "UI font \"" + path + "\"";
    UserFile file = readUserFile(path, MaxFontFileBytes);
    if (file.fault == FileFault::Missing)
        throw std::runtime_error(name + " is missing");
    if (!file.ok())
        throw std::runtime_error(name + " " + file.reason());
    if (std::string problem = fontFileProblem(file.bytes); !problem.empty())
        throw std::runtime_error(name + " cannot be used: " + problem);
    // The atlas keeps the bytes and frees them with its own allocator.
    void* data = IM_ALLOC(file.bytes.size());
    std::memcpy(data, file.bytes.data(), file.bytes.size());
    ImFontConfig config;
    std::snprintf(config.Name, sizeof config.Name, "%s, %.0fpx",
                  std::filesystem::path(path).filename().string().c_str(), double(sizePixels));
    ImFont* font = ImGui::GetIO().Fonts->AddFontFromMemoryTTF(data, int(file.bytes.size()), sizePixels, &config);
    if (!font)
        throw std::runtime_error(name + " could not be read");
    return font;
}

void UIRenderer::uploadFontAtlas() {
    ImGui::SetCurrentContext(imguiContext);
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    if (!pixels || width <= 0 || height <= 0)
        throw std::runtime_error("the UI font atlas could not be built from the fonts added");
    if (fontAtlas)
        unregisterResource(device, fontAtlas);
    if (fontSet)
        unregisterResource(device, fontSet);
    fontAtlas = new Image2D(device, uint32_t(width), uint32_t(height), VK_FORMAT_R8G8B8A8_UNORM,
                            VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT, VK_IMAGE_ASPECT_COLOR_BIT, 1);
    fontAtlas->addStagingUpload(pixels, size_t(width) * size_t(height) * 4, uint32_t(width), uint32_t(height), 0, 1, 0);
    device->pendingImageUploads.push_back(fontAtlas);

    DescriptorBinding binding;
    binding.binding = 0;
    binding.type = TEXTURE;
    binding.object = &fontAtlas->imageView;
    binding.sampler = sampler;
    fontSet = new DescriptorSet({binding}, pool);
}

void UIRenderer::beginFrame(const ScriptedMouse* mouse) {
    ImGui::SetCurrentContext(imguiContext);
    endFrame();
    ImGuiIO& io = ImGui::GetIO();
    if (window)
        ImGui_ImplGlfw_NewFrame();
    else if (io.DeltaTime <= 0.0f)
        io.DeltaTime = 1.0f / 60.0f;
    if (mouse) {
        io.MousePos = ImVec2(mouse->x, mouse->y);
        io.MouseDown[0] = mouse->left;
        io.MouseDown[1] = mouse->right;
        io.MouseWheel += mouse->wheel;
    }
    ImGui::NewFrame();
    open = true;
}

void UIRenderer::endFrame() {
    if (!open)
        return;
    ImGui::SetCurrentContext(imguiContext);
    ImGui::EndFrame();
    open = false;
}

void UIRenderer::draw(CommandContext* context, uint32_t width, uint32_t height) {
    lastPass = {};
    if (!open)
        return;
    ImGui::SetCurrentContext(imguiContext);
    ImGui::Render();
    open = false;
    recordDrawData(context, width, height);
}

void UIRenderer::recordDrawData(CommandContext* context, uint32_t width, uint32_t height) {
    const ImDrawData* data = ImGui::GetDrawData();
    if (!data || data->TotalVtxCount < 1 || data->DisplaySize.x <= 0.0f || data->DisplaySize.y <= 0.0f)
        return;

    // All lists' vertices, then all lists' indices, each contiguous in this frame's slot.
    geometry->beginSlot();
    uint32_t vertexBase = 0, indexBase = 0;
    for (int n = 0; n < data->CmdListsCount; ++n) {
        const ImDrawList* list = data->CmdLists[n];
        uint32_t offset =
            geometry->write(0, list->VtxBuffer.Data, uint32_t(list->VtxBuffer.Size) * sizeof(ImDrawVert), true);
        if (n == 0)
            vertexBase = offset;
        lastPass.vertices += uint32_t(list->VtxBuffer.Size);
    }
    for (int n = 0; n < data->CmdListsCount; ++n) {
        const ImDrawList* list = data->CmdLists[n];
        uint32_t count = uint32_t(list->IdxBuffer.Size);
        if (widened.size() < count)
            widened.resize(count);
        widenIndices(list->IdxBuffer.Data, count, widened.data());
        uint32_t offset = geometry->write(0, widened.data(), count * sizeof(uint32_t), true);
        if (n == 0)
            indexBase = offset;
        lastPass.indices += count;
    }

    VkCommandBuffer cmd = context->commandBuffer;
    pipeline->bind(context);
    VkViewport viewport{0.0f, 0.0f, float(width), float(height), 0.0f, 1.0f};
    vkCmdSetViewportWithCount(cmd, 1, &viewport);
    VkDeviceSize vertexOffset = vertexBase;
    vkCmdBindVertexBuffers(cmd, 0, 1, &geometry->buffer, &vertexOffset);
    vkCmdBindIndexBuffer(cmd, geometry->buffer, indexBase, VK_INDEX_TYPE_UINT32);
    // The vertex bindings are no longer those of any mesh.
    context->boundMesh = nullptr;
    UiPushConstants push{{2.0f / data->DisplaySize.x, 2.0f / data->DisplaySize.y}, {-1.0f, -1.0f}};
    vkCmdPushConstants(cmd, pipeline->layout, VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof push, &push);

    forEachUiDraw(*data, fontSet, float(width), float(height), [&](const UiDrawStep& step) {
        VkRect2D scissor{{step.scissor.x, step.scissor.y}, {step.scissor.width, step.scissor.height}};
        vkCmdSetScissorWithCount(cmd, 1, &scissor);
        if (step.bindTexture) {
            const auto* set = static_cast<const DescriptorSet*>(step.bindTexture);
            context->addPendingSet(set->set, nullptr, 0);
            pipeline->bindDataSets(context);
            ++lastPass.setBinds;
        }
        vkCmdDrawIndexed(cmd, step.indexCount, 1, step.firstIndex, step.vertexOffset, 0);
        ++lastPass.draws;
    });

    VkRect2D full{{0, 0}, {width, height}};
    vkCmdSetScissorWithCount(cmd, 1, &full);
}

void UIRenderer::recordPass(CommandContext* context, VkImage image, VkImageView view, uint32_t width, uint32_t height) {
    lastPass = {};
    if (!open)
        return;
    ImGui::SetCurrentContext(imguiContext);
    ImGui::Render();
    open = false;
    if (ImGui::GetDrawData()->TotalVtxCount < 1)
        return;

    // The pass before wrote the image as a colour attachment in its own rendering pass; this one loads it.
    imageBarrier(context, image, {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1}, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                 VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_READ_BIT | VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
    VkRenderingAttachmentInfo color{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    color.imageView = view;
    color.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    color.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
    color.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    VkRenderingInfo info{VK_STRUCTURE_TYPE_RENDERING_INFO};
    info.renderArea = {{0, 0}, {width, height}};
    info.layerCount = 1;
    info.colorAttachmentCount = 1;
    info.pColorAttachments = &color;
    vkCmdBeginRendering(context->commandBuffer, &info);
    context->renderWidth = width;
    context->renderHeight = height;
    recordDrawData(context, width, height);
    vkCmdEndRendering(context->commandBuffer);
}
