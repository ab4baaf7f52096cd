#include "Demo/Panels/PredictionHorizon.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Demo/Spacecraft/SpacecraftPrediction.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cstdio>

namespace Demo {

namespace {

constexpr double SecondsPerDay = 86400.0;
const ImVec4 Amber(1.0f, 0.72f, 0.2f, 1.0f);

} // namespace

PredictionHorizon predictionHorizon(const HorizonInput& in) {
    PredictionHorizon h;
    h.steps = in.head >= in.now ? int64_t(std::min<uint64_t>(in.head - in.now, uint64_t(INT64_MAX)))
                                : -int64_t(std::min<uint64_t>(in.now - in.head, uint64_t(INT64_MAX)));
    h.days = double(h.steps) * in.timeStepLength / SecondsPerDay;

    const uint64_t history = std::min(PredictionWorker::HistorySteps, in.ringSize / 4);
    const uint64_t ringAhead = in.ringSize > history ? in.ringSize - history : 0;
    const uint64_t ringLimit = in.readStep + ringAhead;
    h.waitingOnCache = in.cachedUpTo <= ringLimit && in.head + PredictionWorker::LookAheadMargin > in.cachedUpTo;

    // As far past its start as it can get: the nearer of the ring's and the cache's reach, less what the worker
    // keeps clear of them.
    uint64_t reach = std::min(ringAhead, in.cacheReach);
    uint64_t slack = PredictionWorker::LookAheadMargin + 2 * PredictionWorker::BatchSteps;
    reach = reach > slack ? reach - slack : 0;
    uint64_t before = in.headBeforeRestart > in.restartStep ? in.headBeforeRestart - in.restartStep : 0;
    uint64_t goal = in.restartStep + std::min(before, reach);
    h.restarting = in.restartPending || in.head < goal;
    return h;
}

std::string describeHorizon(const PredictionHorizon& h) {
    char buffer[160];
    if (h.steps <= 0)
        std::snprintf(buffer, sizeof buffer, "Prediction: nothing ahead");
    else
        std::snprintf(buffer, sizeof buffer, "Prediction: %lld steps ahead (%.1f days)", (long long)h.steps, h.days);
    std::string text = buffer;
    if (h.waitingOnCache)
        text += ", waiting on the body cache";
    if (h.restarting)
        text += ", restarting";
    return text;
}

HorizonInput horizonInputOf(Spacecraft& craft) {
    HorizonInput in;
    AstroSystem* system = craft.system;
    SpacecraftPrediction* prediction = craft.prediction;
    if (!system || !prediction)
        return in;
    PredictionWorker& worker = prediction->worker;
    PredictionWorker::RestartInfo restart = worker.lastRestart();
    in.head = worker.headStep();
    in.now = system->timeStep;
    in.cachedUpTo = system->cachedUpTo.load(std::memory_order_acquire);
    in.readStep = worker.readStepNow();
    in.ringSize = worker.ringSize();
    in.timeStepLength = system->timeStepLength;
    in.restartPending = restart.pending;
    in.restartStep = restart.step;
    in.headBeforeRestart = restart.headBefore;
    uint64_t ringSteps = 4 * system->cacheSlotCount;
    in.cacheReach = ringSteps > AstroSystem::CacheHistorySteps ? ringSteps - AstroSystem::CacheHistorySteps : 0;
    return in;
}

void horizonText(const PredictionHorizon& horizon) {
    std::string text = describeHorizon(horizon);
    if (horizon.restarting)
        ImGui::TextColored(Amber, "%s", text.c_str());
    else
        ImGui::TextUnformatted(text.c_str());
}

void drawHorizonOverlay(Spacecraft& craft) {
    ImGuiContext* ui = ImGui::GetCurrentContext();
    if (!ui || !ui->WithinFrameScope || !craft.prediction || !craft.prediction->worker.running())
        return;
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y - 6.0f), ImGuiCond_Always, ImVec2(0.5f, 1.0f));
    ImGui::SetNextWindowBgAlpha(0.35f);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_AlwaysAutoResize |
                                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                                   ImGuiWindowFlags_NoNav | ImGuiWindowFlags_NoInputs;
    if (ImGui::Begin("##PredictionHorizon", nullptr, flags))
        horizonText(predictionHorizon(horizonInputOf(craft)));
    ImGui::End();
}

} // namespace Demo
