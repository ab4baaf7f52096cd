#pragma once
// Draws the atmospheres of the scene between the render manager's depth layers, farthest first. Each atmosphere
// is the back faces of one shared unit icosphere scaled to its shell; the fragment shader looks the view ray up in
// the body's sky-view table (in-scatter and transmittance of every ray from this frame's eye, marched once per
// table texel by a compute pass before the frame's passes) and composites it into the colour target through a
// storage image, against the depth target, so whatever was drawn behind the shell is attenuated and whatever
// stands in front of it is left alone. A gas planet has no surface pass: its atmosphere draw also shades the
// planet's disc from the fluid image. A solid planet composites the air over its own ground itself, from the same
// table (per vertex), when nothing else stands inside its shell: its draw here then keeps, by a depth test
// against the read-only depth target, only what lies beyond the shell, and seen from outside the shell it is a
// flat ring about the ground's silhouette rather than the whole shell.
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Surfaces/AstroSurface.h"
#include "Demo/Surfaces/AtmosphereTables.h"

#include <cstdint>
#include <vector>

class DataSet;
class Image2D;
class IcoSphere;
class PipelineCompute;
class PipelineGraphics;
class Sampler;

namespace Demo {

class AstroObject;
class Atmosphere;

class AtmosphereManager : public AtmosphereLayers {
public:
    static constexpr uint32_t MaxSets = 4;

    struct Entry {
        Atmosphere* atmosphere = nullptr;
        DataSet* fluidSet = nullptr; // set 3 of a gas planet's draw: its fluid image and table; null for others
        bool fluidBound = false;     // the set holds the planet's fluid image rather than the placeholder
        TextureBinding* fluidImage = nullptr; // what the fluid set binds
        // This frame's dynamic offsets of the entry's blocks in the shared records.
        uint32_t modelOffset = StorageBinding::NoOffset;
        uint32_t atmosphereOffset = StorageBinding::NoOffset;
        uint32_t bodyOffset = StorageBinding::NoOffset;
        // Bodies without a surface have no shadow block of their own: the manager writes one (no occluders).
        uint32_t shadowOffset = StorageBinding::NoOffset;
        float squaredDistance = 0.0f; // from the camera's eye, world units²
        // The sky-view table, written as a storage image by the table pass and sampled by the draw (both in
        // GENERAL); `tableSet` is set 3 of the draw for bodies other than gas planets.
        Image2D* table = nullptr;
        TextureBinding* tableStorage = nullptr;
        TextureBinding* tableSampled = nullptr;
        DataSet* tableWriteSet = nullptr;
        DataSet* tableSet = nullptr;
        bool tableBuilt = false; // this frame: the draw of a body whose table was skipped is skipped too
        bool tableValid = false; // the table holds what `builtFrom` makes
        SkyViewInputs builtFrom;
    };

    // `colorTarget` and `depthTarget` are the render manager's target bindings: the colour target is written as
    // a storage image (layout general), the depth target sampled. Without a device (headless) the manager
    // keeps its entries and order but creates and draws nothing.
    AtmosphereManager(const Services& services, TextureBinding* colorTarget, TextureBinding* depthTarget);
    ~AtmosphereManager() override;
    AtmosphereManager(const AtmosphereManager&) = delete;
    AtmosphereManager& operator=(const AtmosphereManager&) = delete;

    // Engine start, once the bodies exist: one entry per Atmosphere component in scene and component order (but
    // none for a planet or moon that was given no atmosphere: its component keeps placeholder values), then the
    // shell mesh, the two pipelines, the shared records and the data sets.
    void init();
    // Every frame after the scene's uniforms: orders the entries far to near from the camera's eye and writes
    // each entry's model, atmosphere and body blocks.
    void update(const FrameContext& frame) override;
    // Draws entry `index` (in this frame's far-to-near order: 0 is the farthest) inside an atmosphere pass.
    void draw(CommandContext* context, uint32_t index);
    // Outside any rendering, before the atmosphere passes: builds the sky-view table of every body whose shell
    // covers a pixel of this frame's view.
    void recordTables(const FrameContext& frame, CommandContext* context) override;
    // Table sizes (the quality setting): rebuilds the tables at the next frame. Medium by default.
    void setTableQuality(AtmosphereTableQuality quality);
    AtmosphereTableQuality tableQuality() const { return quality; }

    // The render manager's view: it composites atmosphere i before layer i, from its highest index down, with
    // layer i reaching from atmosphere i - 1 out to atmosphere i. So for it the atmospheres run near to far:
    // squared distances ascending (its layer bounds), and its atmosphere i is entry size - 1 - i. The farthest
    // atmosphere is then drawn first, and beyond 32 it is the farthest that go without a pass.
    const std::vector<float>& squaredDistances() const override { return nearToFar; }
    void record(const FrameContext& frame, CommandContext* context, uint32_t index) override;

    // Hands a gas planet's atmosphere the fluid image its surface paints (the surface's fluid image binding).
    // Until then the planet's disc is shaded from a neutral 1×1 placeholder. The image is sampled as an
    // equirectangular map of the planet's own frame: u = 0.5 + atan(z, x) / 2π, v = acos(y) / π (row 0 at the
    // +y pole, the spin axis).
    void setFluidImage(AstroObject* gasPlanet, TextureBinding* fluidImage);
    // Hands every gas planet's fluid image to its entry once the planet's surface has stepped its fluid once.
    void bindReadyFluids();

    // The data sets the draw of entry `index` binds, in set order: camera, shared records, targets and, for a
    // gas planet, its fluid image. Returns how many.
    uint32_t setsFor(uint32_t index, DataSet* out[MaxSets]) const;

    std::vector<Entry> entries;
    IcoSphere* shell = nullptr;                // IcoSphere(4, 1.0), scaled to each shell by the vertex shader
    PipelineGraphics* solidPipeline = nullptr; // shared: created by the first manager on a device
    PipelineGraphics* beyondPipeline = nullptr; // the same, for bodies whose ground composites its own air
    PipelineGraphics* gasPipeline = nullptr;
    PipelineCompute* tablePipeline = nullptr; // "atmosphereTables", "CS_skyView"
    DataSet* recordSet = nullptr;             // set 1: model, star light, atmosphere, body and shadow records
    DataSet* targetSet = nullptr;             // set 2: colour target (storage image) and depth target
    StorageBinding* modelRecord = nullptr;
    StorageBinding* atmosphereRecord = nullptr;
    StorageBinding* bodyRecord = nullptr;
    StorageBinding* shadowRecord = nullptr; // bound at a surface's shadow block, or at the manager's own

private:
    bool isGas(const Entry& entry) const;
    DataSet* createFluidSet(const Entry& entry, TextureBinding* fluidImage);
    void createTables();
    void releaseTables();
    bool tableNeeded(const Entry& entry) const;
    // The radius the shell is drawn at (the vertex shader's, a little outside the true top).
    float drawnShellTop(const Entry& entry) const;
    // Whether the body's ground composites its own air this frame (its table built, a solid planet, nothing
    // else inside its shell).
    bool groundCompositesAir(const Entry& entry) const;
    // What the draw of an entry whose ground composites its own air covers: the ring, or the shell.
    ShellDraw ringFor(const Entry& entry) const;
    SkyViewInputs tableInputs(const Entry& entry) const;
    void setRecordOffsets(const Entry& entry);
    void createPlaceholder();

    Services services;
    TextureBinding* colorTarget = nullptr;
    TextureBinding* depthTarget = nullptr;
    std::vector<float> nearToFar; // squared distances, ascending
    StorageBinding* ownShadowRecord = nullptr;
    Image2D* placeholderImage = nullptr;
    Sampler* placeholderSampler = nullptr;
    TextureBinding* placeholderBinding = nullptr;
    Sampler* tableSampler = nullptr; // linear, the azimuth wrapping round
    AtmosphereTableQuality quality = AtmosphereTableQuality::Medium;
    AtmosphereTableSize builtSize{0, 0};
};

} // namespace Demo
