#pragma once
// An ImGui context without renderer or window, the size of a 1920 x 1080 screen: frames are built and ended,
// nothing is drawn. The font atlas is built so that text can be laid out.
#include <imgui.h>

inline ImGuiContext* createHeadlessImGuiContext() {
    ImGuiContext* context = ImGui::CreateContext();
    ImGui::SetCurrentContext(context);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.DisplaySize = ImVec2(1920, 1080);
    io.DeltaTime = 1.0f / 60.0f;
    unsigned char* pixels;
    int w, h;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
    return context;
}
