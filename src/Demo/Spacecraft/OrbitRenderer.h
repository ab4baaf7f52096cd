#pragma once
// The Kepler orbit of one body drawn as a 256-point line strip, rebuilt every frame from the orbit elements so
// that edits show at once. Hidden at start; O shows and hides every orbit line together.
#include "Demo/Scene/SceneComponent.h"
#include "Demo/Spacecraft/OrbitLine.h"

#include <cstdint>

class DataSet;
class DsDeviceMeshSingle;
class GraphicsDevice;
class Line;
struct StorageBinding;

namespace Demo {

struct FrameContext;
struct Orbit;
struct Services;

class OrbitRenderer : public SceneComponent {
public:
    // `mesh` is the owner's device mesh storage for the line (null without a device).
    OrbitRenderer(SceneObject* owner, Orbit* orbit, DsDeviceMeshSingle* mesh);
    ~OrbitRenderer() override;

    void CreateUniform() override;
    void Start() override { rebuild(); }
    // O toggles the line; the colour (orbit colour, opaque) is uploaded every frame.
    void Update(const FrameContext& frame) override;
    void UpdateUniforms(const FrameContext&) override { rebuild(); }
    void RecordOverlay(const FrameContext& frame, CommandContext* context) override;

    // Colour block, line and data set; the shared pipeline. Nothing without a device.
    void createGpu(const Services& services);
    // Recomputes the 256 points at the system's current time step and, with a device, writes them into the next
    // region of the mesh storage.
    void rebuild();
    void record(CommandContext* context, DataSet* cameraSet);

    uint32_t space = OrbitLocal;
    bool visible = false;
    DsDeviceMeshSingle* mesh = nullptr;
    Orbit* orbit = nullptr;
    float color[4] = {1.0f, 1.0f, 1.0f, 0.3f};
    StorageBinding* colorUniform = nullptr;
    Line* line = nullptr;
    DataSet* dataSet = nullptr;
    float points[3 * OrbitLinePoints] = {}; // the last rebuild, world units
    OrbitShapeCache shape;                  // the Local ellipse around the parent
    uint32_t pointCount = 0;

private:
    GraphicsDevice* device = nullptr;
};

} // namespace Demo
