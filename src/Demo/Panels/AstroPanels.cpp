#include "Demo/Panels/AstroPanels.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/OrbitRenderer.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"
#include "Demo/Surfaces/StarSurface.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DescriptorSet.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

namespace Demo {

// ---- Widgets -------------------------------------------------------------------------------------------------

namespace widgets {

namespace {

template <class T> bool allFinite(const T* v, int count) {
    for (int k = 0; k < count; ++k)
        if (!std::isfinite(v[k]))
            return false;
    return true;
}

// Runs a widget over `count` values; a result that is not finite puts the old values back and counts as no edit.
template <class T, class W> bool finiteEdit(T* v, int count, W&& widget) {
    T old[4];
    std::copy(v, v + count, old);
    if (!widget())
        return false;
    if (allFinite(v, count))
        return true;
    std::copy(old, old + count, v);
    return false;
}

// A value typed into a slider or drag (Ctrl+click) stays within the widget's range like a dragged one; a drag
// without a range (min = max) is not clamped.
constexpr int AlwaysClamp = ImGuiSliderFlags_AlwaysClamp;

} // namespace

bool inputFloat(const char* label, float* v, const char* format) {
    return finiteEdit(v, 1, [&] { return ImGui::InputFloat(label, v, 0.0f, 0.0f, format); });
}

bool inputFloat3(const char* label, float* v, const char* format) {
    return finiteEdit(v, 3, [&] { return ImGui::InputFloat3(label, v, format); });
}

bool inputDouble(const char* label, double* v, const char* format, double step, double fastStep, int flags) {
    return finiteEdit(v, 1, [&] {
        return ImGui::InputScalar(label, ImGuiDataType_Double, v, step != 0.0 ? &step : nullptr,
                                  fastStep != 0.0 ? &fastStep : nullptr, format, flags);
    });
}

bool sliderFloat(const char* label, float* v, float min, float max, const char* format) {
    return finiteEdit(v, 1, [&] { return ImGui::SliderFloat(label, v, min, max, format, AlwaysClamp); });
}

bool sliderFloatN(const char* label, float* v, int count, float min, float max, const char* format) {
    return finiteEdit(v, count, [&] {
        return ImGui::SliderScalarN(label, ImGuiDataType_Float, v, count, &min, &max, format, AlwaysClamp);
    });
}

bool sliderDouble(const char* label, double* v, double min, double max, const char* format) {
    return finiteEdit(
        v, 1, [&] { return ImGui::SliderScalar(label, ImGuiDataType_Double, v, &min, &max, format, AlwaysClamp); });
}

bool dragFloatN(const char* label, float* v, int count, float speed, float min, float max, const char* format,
                int flags) {
    return finiteEdit(v, count, [&] {
        return ImGui::DragScalarN(label, ImGuiDataType_Float, v, count, speed, &min, &max, format, flags | AlwaysClamp);
    });
}

bool dragDouble(const char* label, double* v, float speed, double min, double max, const char* format, int flags) {
    return finiteEdit(v, 1, [&] {
        return ImGui::DragScalar(label, ImGuiDataType_Double, v, speed, &min, &max, format, flags | AlwaysClamp);
    });
}

} // namespace widgets

bool panelHeader(const AstroWindowState& window, const char* label, bool defaultOpen) {
    if (window.expandAll)
        ImGui::SetNextItemOpen(true, ImGuiCond_Always);
    return ImGui::CollapsingHeader(label, defaultOpen ? ImGuiTreeNodeFlags_DefaultOpen : 0);
}

namespace {

// Orbit elements, radii and densities are read by the cache worker when it starts a batch, under the cache lock.
template <class F> void underCacheLock(AstroSystem* system, F&& write) {
    if (system) {
        std::lock_guard<std::mutex> lock(system->cacheMutex);
        write();
    } else {
        write();
    }
}

bool sameElements(const Orbit& a, const Orbit& b) {
    return a.a == b.a && a.e == b.e && a.i == b.i && a.ascendingNode == b.ascendingNode &&
           a.argPeriapsis == b.argPeriapsis && a.meanAnomalyAtEpoch == b.meanAnomalyAtEpoch && a.epoch == b.epoch;
}

} // namespace

void drawOrbitSection(AstroWindowState& window, AstroObject& body) {
    if (!panelHeader(window, "Orbit Settings", true))
        return;
    Orbit o = body.orbit;
    // The steps grow |a| on an open orbit too, where a is negative.
    const double sign = o.e > 1.0 ? -1.0 : 1.0;
    const double step = 100.0 * sign, fastStep = 1000.0 * sign;
    bool changed = false;
    changed |= widgets::inputDouble("Semi-Major Axis", &o.a, "%.6f", step, fastStep);
    changed |= widgets::sliderDouble("Eccentricity", &o.e, 0.0, 5.0);
    changed |= widgets::sliderDouble("Inclination [rad]", &o.i, 0.0, Pi);
    changed |= widgets::sliderDouble("Ascending Node [rad]", &o.ascendingNode, 0.0, TwoPi);
    changed |= widgets::sliderDouble("Argument of Periapsis [rad]", &o.argPeriapsis, 0.0, TwoPi);
    const OrbitType type = classifyOrbit(o);
    if (type == OrbitType::Elliptical)
        changed |= widgets::sliderDouble("Mean Anomaly at Epoch [rad]", &o.meanAnomalyAtEpoch, 0.0, TwoPi);
    changed |= widgets::inputDouble("Epoch", &o.epoch, "%.6f", 100.0, 1000.0);

    ImGui::Text("Orbit Type: %s", orbitTypeName(classifyOrbit(o)));
    if (classifyOrbit(o) == OrbitType::Elliptical) {
        ImGui::Text("Orbital Period: %.6f", orbitalPeriod(o, body.parentGravitationalParameter()));
        ImGui::Text("Semi-Minor Axis: %.6f", semiMinorAxis(o));
    }
    normalizeOrbit(o);
    if (!sameElements(o, body.orbit))
        underCacheLock(body.system, [&] { body.orbit = o; });
    // The orbit line follows in the next frame's rebuild (it is rebuilt every frame from the elements).
    if (changed && body.system)
        if (MissionPlan* plan = flownMission(*body.system))
            plan->reset();
}

void drawOrbitRendererSection(AstroWindowState& window, AstroObject& body) {
    OrbitRenderer* renderer = body.orbitRenderer;
    if (!renderer || !panelHeader(window, "Orbit Renderer", true))
        return;
    static const char* const spaces[] = {"Local", "World"};
    int space = renderer->space == OrbitWorld ? 1 : 0;
    if (ImGui::Combo("Space", &space, spaces, 2))
        renderer->space = space == 1 ? OrbitWorld : OrbitLocal;
    ImGui::Checkbox("Visible", &renderer->visible);
}

bool editRadius(AstroSystem* system, AstroObject& body) {
    float radius = body.radius;
    if (!widgets::inputFloat("Radius", &radius) || radius == body.radius)
        return false;
    // A negative radius would make a negative mass.
    radius = std::max(radius, 0.0f);
    underCacheLock(system, [&] { body.radius = radius; });
    return true;
}

bool editDensity(AstroSystem* system, AstroObject& body) {
    double density = body.density;
    if (!widgets::inputDouble("Density", &density) || density == body.density)
        return false;
    density = std::max(density, 0.0);
    underCacheLock(system, [&] { body.density = density; });
    return true;
}

void volumeAndMassTexts(const AstroObject& body) {
    const double r = double(body.radius);
    const double volume = FourThirdsPi * r * r * r;
    ImGui::Text("Volume: %.6f", volume);
    ImGui::Text("Mass:   %.6f", volume * body.density);
}

// ---- Surfaces -------------------------------------------------------------------------------------------------

namespace {

const char* const NoiseTypeNames[8] = {"NONE", "FBM", "CURL", "GRADIENT", "PERLIN", "SIMPLEX", "VORONOI", "WORLEY"};

bool layerNode(const AstroWindowState& window, int index) {
    char label[16];
    std::snprintf(label, sizeof label, "Layer %d", index);
    if (window.expandAll)
        ImGui::SetNextItemOpen(true, ImGuiCond_Always);
    return ImGui::TreeNode(label);
}

// One noise layer's widgets; true when a value changed.
bool layerWidgets(GeneratorLayer& layer) {
    bool changed = false;
    ImGui::TextUnformatted("Noise Settings");
    int type = int(std::min<uint32_t>(layer.noiseType, 8u));
    if (ImGui::Combo("Noise Type", &type, NoiseTypeNames, 8)) {
        layer.noiseType = uint32_t(type);
        changed = true;
    }
    changed |= widgets::sliderFloat("Base Frequency", &layer.baseFrequency, 0.0f, 10.0f);
    changed |= ImGui::SliderInt("Octaves", &layer.octaves, 1, 100);
    changed |= widgets::sliderFloat("Lacunarity", &layer.lacunarity, 0.0f, 4.0f);
    changed |= widgets::sliderFloat("Persistence", &layer.persistence, 0.0f, 1.0f);
    changed |= widgets::dragFloatN("Noise Offset", layer.offset, 3, 0.01f, -1000.0f, 1000.0f);
    ImGui::TextUnformatted("Layer Settings");
    changed |= widgets::sliderFloat("Weight", &layer.weight, 0.0f, 10.0f);
    changed |= widgets::sliderFloat("Base Amplitude", &layer.baseAmplitude, -1.0f, 1.0f);
    changed |= widgets::dragFloatN("Range Amplitude", layer.rangeAmplitude, 2, 0.01f, -100.0f, 100.0f);
    changed |= widgets::dragFloatN("Mask Elevation", layer.maskElevation, 2, 0.01f, -100.0f, 100.0f);
    return changed;
}

void biomeTable(PlanetSurfaceSolid& surface) {
    const ImGuiTableFlags flags = ImGuiTableFlags_SizingFixedFit | ImGuiTableFlags_BordersInnerH;
    if (!ImGui::BeginTable("BiomeTable", 6, flags))
        return;
    for (const char* heading : {"Idx", "Color", "Height", "Slope", "Metallic", "Roughness"})
        ImGui::TableSetupColumn(heading);
    ImGui::TableHeadersRow();
    for (int b = 0; b < BiomeBlock::BiomeCount; ++b) {
        BiomeEntry& biome = surface.biomes.biomes[b];
        ImGui::TableNextRow();
        ImGui::PushID(b);
        ImGui::TableNextColumn();
        ImGui::Text("%d", b);
        ImGui::TableNextColumn();
        ImGui::SetNextItemWidth(90.0f);
        ImGui::ColorEdit3("##Color", biome.color, ImGuiColorEditFlags_NoInputs);
        ImGui::TableNextColumn();
        ImGui::SetNextItemWidth(110.0f);
        widgets::sliderFloatN("##Height", biome.heightRange, 2, -1.0f, 1.0f);
        ImGui::TableNextColumn();
        ImGui::SetNextItemWidth(110.0f);
        widgets::sliderFloatN("##Slope", biome.slopeRange, 2, 0.0f, 1.0f);
        ImGui::TableNextColumn();
        ImGui::SetNextItemWidth(80.0f);
        widgets::sliderFloat("##Metallic", &biome.metallic, 0.0f, 1.0f);
        ImGui::TableNextColumn();
        ImGui::SetNextItemWidth(80.0f);
        widgets::sliderFloat("##Roughness", &biome.roughness, 0.0f, 1.0f);
        ImGui::PopID();
    }
    ImGui::EndTable();
}

void solidSurfaceEditor(AstroWindowState& window, PlanetSurfaceSolid& surface, const Services& services) {
    if (panelHeader(window, "Tessellation", false)) {
        // Levels follow the edges' length on screen; the distance factor no longer changes them.
        widgets::sliderFloat("Pixels per edge", &surface.tessellation.pixelsPerEdge, 4.0f, 64.0f);
        widgets::sliderFloat("Subdiv Max", &surface.tessellation.maxSubdivision, 1.0f, 64.0f);
        widgets::sliderFloat("Subdiv Min", &surface.tessellation.minSubdivision, 1.0f, 64.0f);
    }
    if (panelHeader(window, "Generator", false)) {
        bool changed = false;
        if (PlanetGenerator* generator = surface.generator) {
            for (int k = 0; k < GeneratorSettings::LayerCount; ++k) {
                if (k > 0)
                    ImGui::Separator();
                ImGui::PushID(k);
                if (layerNode(window, k)) {
                    changed |= layerWidgets(generator->settings.layers[k]);
                    ImGui::TreePop();
                }
                ImGui::PopID();
            }
        }
        ImGui::Separator();
        ImGui::Checkbox("Auto-Update", &surface.generation.autoUpdate);
        if (ImGui::Button("Regenerate") || (changed && surface.generation.autoUpdate))
            surface.regenerate = 1;
    }
    if (!surface.regenerate && surface.hasRelief()) {
        ImGui::Separator();
        if (panelHeader(window, "Heightmap Preview", false))
            if (DescriptorSet* set = window.preview(surface, services))
                ImGui::Image(set, ImVec2(256.0f, 256.0f), ImVec2(0.0f, 0.0f), ImVec2(1.0f, 1.0f));
    }
    if (panelHeader(window, "Biomes", false))
        biomeTable(surface);
}

} // namespace

void drawSurfaceSection(AstroWindowState& window, AstroObject& body, const Services& services) {
    AstroSurface* surface = body.getSurface();
    if (!surface)
        return;
    // A gas planet's surface has no relief to scale.
    if (body.typeCode() != ASTRO_PLANET_GAS && panelHeader(window, "Surface Settings", true))
        widgets::sliderFloat("Elevation Scale", &surface->surfaceBlock.elevationScale, 0.0f, 1.0f);
    if (auto* solid = dynamic_cast<PlanetSurfaceSolid*>(surface)) {
        solidSurfaceEditor(window, *solid, services);
    } else if (dynamic_cast<PlanetSurface*>(surface)) {
        // A gas planet's surface is its fluid simulation, which has no panel.
        if (body.typeCode() == ASTRO_PLANET_GAS) {
            if (panelHeader(window, "Gas Surface", true))
                ImGui::TextUnformatted("No editable properties yet for gaseous surfaces.");
        } else {
            ImGui::TextUnformatted("Unknown planet surface type");
        }
    } else if (dynamic_cast<StarSurface*>(surface)) {
        panelHeader(window, "Star Surface", false);
    } else {
        ImGui::TextUnformatted("Unknown surface type");
    }
}

void drawAtmosphereSection(AstroWindowState& window, Atmosphere& atmosphere) {
    if (!panelHeader(window, "Atmosphere Settings", true))
        return;
    AtmosphereBlock& block = atmosphere.block;
    widgets::inputFloat("Atmosphere Radius", &block.radius);
    ImGui::Separator();
    if (panelHeader(window, "Scattering Coefficients", false)) {
        widgets::sliderFloatN("Rayleigh Coefficient", block.rayleigh, 3, 0.0f, 1.0f);
        widgets::sliderFloat("Rayleigh factor", &block.rayleighFactor, 0.0f, 10.0f);
        widgets::sliderFloat("Mie Coefficient", &block.mie, 0.0f, 0.2f);
        widgets::sliderFloat("Mie G", &block.mieG, 0.0f, 1.0f);
        widgets::sliderFloat("Density Falloff", &block.densityFalloff, 0.0f, 8.0f);
    }
}

// ---- The height-map preview ----------------------------------------------------------------------------------

namespace {

// A grey 2D view of one face of a height cube map, for the "imgui" pipeline's 2D sampler: red replicated into
// green and blue, opaque. Sampled only (the map is also a storage image, whose views need the identity swizzle).
class PreviewView : public GraphicsResource {
public:
    PreviewView(GraphicsDevice* device_, VkImage image, VkFormat format, uint32_t face) {
        VkImageViewUsageCreateInfo usage{VK_STRUCTURE_TYPE_IMAGE_VIEW_USAGE_CREATE_INFO};
        usage.usage = VK_IMAGE_USAGE_SAMPLED_BIT;
        VkImageViewCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
        info.pNext = &usage;
        info.image = image;
        info.viewType = VK_IMAGE_VIEW_TYPE_2D;
        info.format = format;
        info.components = {VK_COMPONENT_SWIZZLE_R, VK_COMPONENT_SWIZZLE_R, VK_COMPONENT_SWIZZLE_R,
                           VK_COMPONENT_SWIZZLE_ONE};
        info.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, face, 1};
        ENGINE_CHECK(vkCreateImageView(device_->device, &info, nullptr, &view.view) == VK_SUCCESS,
                     "Heightmap preview: the image view could not be created");
        view.device = device_;
        view.ownsView = 1;
        // Released with the descriptor sets, before the images at teardown.
        tier = TierDescriptorSet;
        deferredRelease = 1;
        device = device_;
        registerResource(device_, this);
    }
    ~PreviewView() override { view.destroy(); }

    ImageView view;
};

} // namespace

AstroWindowState::~AstroWindowState() {
    releasePreview();
}

DescriptorSet* AstroWindowState::preview(PlanetSurfaceSolid& surface, const Services& services) {
    PlanetGenerator* generator = surface.generator;
    if (!generator || !generator->heightMap || !surface.hasRelief() || !services.device || !services.descriptorPool ||
        !services.uiSampler)
        return nullptr;
    if (previewSet && previewImage == generator->heightMap)
        return previewSet;
    releasePreview();
    auto* view = new PreviewView(services.device, generator->heightMap->image, generator->heightMap->format, 0);
    previewView = view;
    previewDevice = services.device;
    previewImage = generator->heightMap;
    previewSet = new DescriptorSet({{0, TEXTURE, &view->view, 0, services.uiSampler}}, services.descriptorPool);
    return previewSet;
}

void AstroWindowState::releasePreview() {
    if (previewDevice) {
        if (previewSet)
            unregisterResource(previewDevice, previewSet);
        if (previewView)
            unregisterResource(previewDevice, previewView);
    }
    previewSet = nullptr;
    previewView = nullptr;
    previewDevice = nullptr;
    previewImage = nullptr;
}

} // namespace Demo
