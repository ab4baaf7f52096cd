#pragma once
// The star field: a cube map drawn around the camera at infinity in the main pass, behind everything else.
#include "Demo/Scene/SceneComponent.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Images/Image.h"

class Cube;
class DataSet;
class PipelineGraphics;

namespace Demo {

struct FrameContext;

class SkyBox : public SceneComponent {
public:
    explicit SkyBox(SceneObject* owner);
    ~SkyBox() override;

    // Loads the six faces (uploaded by the next frame's upload pass) and builds the data set and pipeline.
    void CreateUniform() override;
    void RecordBackground(const FrameContext& frame, CommandContext* context) override;
    bool fillsBackground() const override;

    Cube* mesh = nullptr;
    ImageCube* texture = nullptr;
    // The cube's six faces as the layers of a flat array: each face of the drawn cube reads its own layer with
    // coordinates from the vertices, where a cube lookup would pick the face and blend across its seams at every
    // pixel (a CPU driver's dearest sampling).
    ImageView faceLayers;
    TextureBinding* textureBinding = nullptr;
    DataSet* dataSet = nullptr;

    PipelineGraphics* pipeline = nullptr; // shared by every sky box (the device's)
};

} // namespace Demo
