#pragma once
// The star field: a cube map drawn around the camera at infinity in the main pass.
#include "Demo/Scene/SceneComponent.h"
#include "Engine/Data/DataBinding.h"

class Cube;
class DataSet;
class ImageCube;
class PipelineGraphics;
class Sampler;

namespace Demo {

struct FrameContext;

class SkyBox : public SceneComponent {
public:
    explicit SkyBox(SceneObject* owner);
    ~SkyBox() override;

    // Loads the six faces (uploaded by the next frame's upload pass) and builds the data set and pipeline.
    void CreateUniform() override;
    void RecordBackground(const FrameContext& frame, CommandContext* context) override;

    Cube* mesh = nullptr;
    ImageCube* texture = nullptr;
    TextureBinding* textureBinding = nullptr;
    DataSet* dataSet = nullptr;

    PipelineGraphics* pipeline = nullptr; // shared by every sky box (the device's)
};

} // namespace Demo
