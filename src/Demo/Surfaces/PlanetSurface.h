#pragma once
// Base of the planet surfaces: an owned height generator and the regenerate flag. First generations are
// expensive on a CPU driver (six 2048² faces of layered noise, seconds per planet), so they are spread over
// frames in bands of rows, a few bands per frame, nearest planet first; the program keeps handling window events
// between them. A planet appears once its map is complete. A regeneration of a planet that already has a map (a
// changed layer, the panel's button) records the whole map in the next frame. Maps are as large as the body's size
// on screen needs (see heightMapSizeFor); a body that grows on screen gets a larger map, generated in bands like a
// first generation while the smaller one is still drawn.
#include "Demo/Surfaces/AstroSurface.h"
#include "Demo/Surfaces/PlanetGenerator.h"

#include <cstdint>
#include <vector>

namespace Demo {

struct FrameContext;

class AstroObject;

// One surface waiting for its generator to run.
struct GenerationRequest {
    const void* surface = nullptr;
    double distance = 0.0;  // from the camera to the planet's surface, world units
    uint32_t bandsLeft = 0; // bands its first generation still needs; 0 for a regeneration of a generated map
};

// What a surface records this frame: `bands` bands of its first generation, or the whole map at once for a
// regeneration (wholeMap).
struct GenerationGrant {
    const void* surface = nullptr;
    uint32_t bands = 0;
    bool wholeMap = false;
};

// This frame's grants: every regeneration in full, and first generations nearest first (ties keep request
// order) until `bandBudget` bands are given out.
std::vector<GenerationGrant> chooseGenerations(std::vector<GenerationRequest> requests, uint32_t bandBudget);

class PlanetSurface;

// The generation settings of every planet surface a body-visual builder attaches, and the frame's schedule
// of their generations. Update of every object precedes the recording of any, so requests made after a
// schedule was drawn up belong to the next frame.
class SurfaceGeneration {
public:
    // How many bands of first generations all surfaces together record per frame: one face, a quarter to a third
    // of a second for the system's planets on lavapipe with two cores.
    uint32_t bandsPerFrame = 2;
    // The settings window's "Auto-Update": while off, a changed layer waits for "Regenerate" (which sets the
    // regenerate flag) instead of regenerating the map at once. One switch for every planet.
    bool autoUpdate = true;

private:
    friend class PlanetSurface;
    void request(PlanetSurface* surface);
    void forget(PlanetSurface* surface);

    std::vector<PlanetSurface*> requests;
    std::vector<GenerationGrant> chosen;
    bool closed = false;
};

class PlanetSurface : public AstroSurface {
public:
    // Bands of rows per cube face.
    static constexpr uint32_t BandsPerFace = 2;

    PlanetSurface(SceneObject* owner, SurfaceGeneration& generation);
    ~PlanetSurface() override;

    // Surface block and the generator's settings block; a settings change since the last generation sets the
    // regenerate flag, and a set flag asks the frame's scheduler for a generation.
    void Update(const FrameContext& frame) override;
    // Runs the generator when the flag is set and this frame's schedule includes the surface.
    void RecordCompute(const FrameContext& frame, CommandContext* context) override;
    // Bands still to record of a generation into a new map (the first one, or a resize); 0 otherwise.
    uint32_t bandsLeft() const { return hasRelief() && !generator->resizing() ? 0 : 6 * BandsPerFace - bandsDone; }
    // Gives the height map `size` texels per face: a first generation starts over at that size; after it, a
    // generation into a new map is spread over frames like a first one while the current map is still drawn.
    void requestMapSize(uint32_t size);
    void RecordMain(const FrameContext&, CommandContext*) override {}

    // True once the height map holds a generated relief.
    bool hasRelief() const { return generator && generator->generationCount > 0; }

    PlanetGenerator* generator = nullptr; // owned; none without a device
    uint8_t regenerate = 1;
    AstroObject* planet = nullptr;
    SurfaceGeneration& generation;
    GeneratorSettings generatedSettings;  // the settings of the last (or the running) generation
    uint32_t bandsDone = 0;               // of the generation into a new map
    uint32_t framesWantingSmallerMap = 0; // see chooseMapSize

private:
    // This frame's grant for the surface (recorded once every object has updated).
    GenerationGrant grantThisFrame();
};

} // namespace Demo
