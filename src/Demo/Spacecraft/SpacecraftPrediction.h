#pragma once
// The spacecraft's predicted trajectory: owns the prediction worker (its own thread, two rings of predicted
// states) and draws the prediction line, rebuilt every frame from every 32nd state from the craft to the end of
// the prediction. O shows and hides it together with the orbit lines and the burn markers.
#include "Demo/Scene/SceneComponent.h"
#include "Demo/Spacecraft/PredictionLine.h"
#include "Demo/Spacecraft/PredictionWorker.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class DataSet;
class DsDeviceMeshSingle;
class GraphicsDevice;
class Line;

namespace Demo {

class Spacecraft;
struct FrameContext;
struct Services;

class SpacecraftPrediction : public SceneComponent {
public:
    static constexpr uint32_t MeshCapacity = 12000000; // bytes per region: MaxLineVertices × 12

    SpacecraftPrediction(Spacecraft* craft, uint64_t ringSize = PredictionWorker::DefaultRingSize);
    // Stops the worker first (it reads the astro system's cache), then releases the line.
    ~SpacecraftPrediction() override;

    void CreateUniform() override;
    // Starts the worker (the astro system's cache exists by now).
    void Start() override { startWorker(); }
    // O toggles the line.
    void Update(const FrameContext& frame) override;
    void UpdateUniforms(const FrameContext& frame) override;
    void RecordOverlay(const FrameContext& frame, CommandContext* context) override;

    // Mesh storage, line and data set; the shared pipeline. Nothing without a device.
    void createGpu(const Services& services);
    void startWorker();
    void stopWorker() { worker.stop(); }
    // The line rebuild: in free flight the prediction being computed, otherwise the last finished one.
    void rebuildLine();
    void record(CommandContext* context, DataSet* cameraSet);

    // Positions of every body at the system's current instant (time step and fraction), for the shifted spaces.
    void refreshBodyNow();
    // Restarts the worker from `start`: the mission plan's burns, the bodies' μ and r², and how the craft flies now.
    void restart(const StartData& start);
    // The input of a line rebuild (and of the markers) for a ring view, the current instant and the space.
    PredictionLineInput lineInput(const PredictionWorker::RingView& ring) const;

    uint32_t space = SpaceDominant;
    bool visible = false;
    Spacecraft* craft = nullptr;
    PredictionWorker worker;
    DsDeviceMeshSingle* mesh = nullptr;
    Line* line = nullptr;
    DataSet* dataSet = nullptr;
    std::vector<LineSegment> segments; // guarded by segmentMutex
    std::mutex segmentMutex;
    std::unique_ptr<float[]> staging; // MaxLineVertices × 3 floats
    uint32_t vertexCount = 0;         // of the last rebuild

private:
    GraphicsDevice* device = nullptr;
    std::vector<LineSegment> building; // the list being built, swapped into `segments`
    std::vector<float> bodyNow;        // xyz of every body at the current instant
    PredictionRestart request;         // reused by every restart
};

} // namespace Demo
