#include "Demo/Surfaces/PlanetSurface.h"

#include "Demo/Astro/AstroObject.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"

#include <algorithm>
#include <cstring>

namespace Demo {

std::vector<GenerationGrant> chooseGenerations(std::vector<GenerationRequest> requests, uint32_t bandBudget) {
    std::stable_sort(requests.begin(), requests.end(),
                     [](const GenerationRequest& a, const GenerationRequest& b) { return a.distance < b.distance; });
    std::vector<GenerationGrant> grants;
    for (const GenerationRequest& r : requests) {
        if (r.bandsLeft == 0) {
            grants.push_back({r.surface, 0, true});
        } else if (bandBudget > 0) {
            uint32_t bands = std::min(r.bandsLeft, bandBudget);
            bandBudget -= bands;
            grants.push_back({r.surface, bands, false});
        }
    }
    return grants;
}

namespace {

// Camera to the planet's surface; the camera's position is this frame's (it moved in UpdateUniforms).
double cameraDistance(const PlanetSurface* surface) {
    const AstroObject* planet = surface->planet;
    if (!planet || !planet->scene || !planet->scene->mainCamera)
        return 0.0;
    Vec3d eye = planet->scene->mainCamera->transform->worldPosition();
    return std::max(length(planet->transform->worldPosition() - eye) - double(planet->radius), 0.0);
}

} // namespace

void SurfaceGeneration::request(PlanetSurface* surface) {
    if (closed) {
        requests.clear();
        chosen.clear();
        closed = false;
    }
    if (std::find(requests.begin(), requests.end(), surface) == requests.end())
        requests.push_back(surface);
}

void SurfaceGeneration::forget(PlanetSurface* surface) {
    requests.erase(std::remove(requests.begin(), requests.end(), surface), requests.end());
    chosen.erase(std::remove_if(chosen.begin(), chosen.end(),
                                [surface](const GenerationGrant& g) { return g.surface == surface; }),
                 chosen.end());
}

PlanetSurface::PlanetSurface(SceneObject* owner_, SurfaceGeneration& generation_)
    : AstroSurface(owner_), planet(dynamic_cast<AstroObject*>(owner_)), generation(generation_) {}

PlanetSurface::~PlanetSurface() {
    generation.forget(this);
    delete generator;
}

void PlanetSurface::Update(const FrameContext& frame) {
    AstroSurface::Update(frame);
    if (!generator)
        return;
    generator->uploadSettings();
    bool changed = std::memcmp(&generatedSettings, &generator->settings, sizeof(GeneratorSettings)) != 0;
    if (changed && bandsLeft() == 0 && generation.autoUpdate)
        regenerate = 1;
    else if (changed && bandsDone > 0)
        bandsDone = 0; // the layers changed under a generation into a new map: start it again
    if (regenerate)
        generation.request(this);
}

GenerationGrant PlanetSurface::grantThisFrame() {
    if (!generation.closed) {
        std::vector<GenerationRequest> requests;
        requests.reserve(generation.requests.size());
        for (PlanetSurface* s : generation.requests)
            requests.push_back({s, cameraDistance(s), s->bandsLeft()});
        generation.chosen = chooseGenerations(std::move(requests), generation.bandsPerFrame);
        generation.closed = true;
    }
    for (const GenerationGrant& grant : generation.chosen)
        if (grant.surface == this)
            return grant;
    return {};
}

void PlanetSurface::requestMapSize(uint32_t size) {
    if (!generator || size == generator->targetSize())
        return;
    generator->requestSize(size);
    bandsDone = 0;
    if (!hasRelief() || generator->resizing())
        regenerate = 1;
    else
        regenerate = std::memcmp(&generatedSettings, &generator->settings, sizeof(GeneratorSettings)) != 0;
}

void PlanetSurface::RecordCompute(const FrameContext&, CommandContext* context) {
    if (!regenerate || !generator)
        return;
    GenerationGrant grant = grantThisFrame();
    bool completed = false;
    if (grant.wholeMap) {
        generator->generate(context);
        completed = true;
    } else if (grant.bands > 0) {
        if (bandsDone == 0)
            generatedSettings = generator->settings;
        completed = generator->generateBands(context, bandsDone, grant.bands, BandsPerFace);
        bandsDone += grant.bands;
    } else {
        return;
    }
    if (completed) {
        generatedSettings = generator->settings;
        bandsDone = 0;
        regenerate = 0;
    }
}

} // namespace Demo
