#pragma once
// A star drawn as an emissive icosphere (limb darkening and granulation in the shader).
#include "Demo/Surfaces/AstroSurface.h"

class DataSet;
class IcoSphere;
class PipelineGraphics;

namespace Demo {

struct FrameContext;

class Star;

class StarSurface : public AstroSurface {
public:
    explicit StarSurface(SceneObject* owner);
    ~StarSurface() override;

    // Surface and shadow records, the mesh, the data set and (once per process) the "star" pipeline.
    void CreateUniform() override;
    void RecordCompute(const FrameContext&, CommandContext*) override {}
    void RecordMain(const FrameContext& frame, CommandContext* context) override;

    Star* star = nullptr;
    IcoSphere* mesh = nullptr;
    DataSet* dataSet = nullptr;

    PipelineGraphics* pipeline = nullptr; // shared by every object of the kind (the device's)
};

} // namespace Demo
