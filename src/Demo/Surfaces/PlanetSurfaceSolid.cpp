#include "Demo/Surfaces/PlanetSurfaceSolid.h"

#include "Demo/Astro/AstroCreateInfo.h"
#include "Demo/Astro/AstroObject.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/InputState.h"
#include "Demo/Scene/KeyBindings.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Scene/ScenePipelines.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/SurfaceBake.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/Pipelines/PipelineGraphics.h"
#include "Engine/SwapChain/SwapChain.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace Demo {

BiomeEntry toBiomeEntry(const Biome& b) {
    BiomeEntry e;
    e.heightRange[0] = b.heightMin;
    e.heightRange[1] = b.heightMax;
    e.slopeRange[0] = b.slopeMin;
    e.slopeRange[1] = b.slopeMax;
    std::copy(b.color, b.color + 3, e.color);
    e.metallic = b.metallic;
    e.roughness = b.roughness;
    return e;
}

ScreenFootprint screenFootprint(const float vp[16], float projectionYScale, float viewportHeight, const Vec3d& eye,
                                const Vec3d& centre, double radius) {
    ScreenFootprint footprint;
    // Clip planes of the view volume from the rows of the matrix (element (row r, column c) at vp[c * 4 + r]):
    // left, right, bottom, top, near (depth 0) and far.
    auto row = [&](int r) { return std::array<double, 4>{vp[r], vp[4 + r], vp[8 + r], vp[12 + r]}; };
    auto add = [](const std::array<double, 4>& a, const std::array<double, 4>& b, double sign) {
        return std::array<double, 4>{a[0] + sign * b[0], a[1] + sign * b[1], a[2] + sign * b[2], a[3] + sign * b[3]};
    };
    const std::array<double, 4> x = row(0), y = row(1), z = row(2), w = row(3);
    const std::array<double, 4> planes[6] = {add(w, x, 1.0), add(w, x, -1.0), add(w, y, 1.0), add(w, y, -1.0), z,
                                             add(w, z, -1.0)};
    for (const auto& p : planes) {
        double n = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        if (n > 0.0 && (p[0] * centre.x + p[1] * centre.y + p[2] * centre.z + p[3]) / n < -radius)
            return footprint;
    }
    footprint.visible = true;
    footprint.pixelRadius = pixelRadiusAt(projectionYScale, viewportHeight, length(centre - eye), radius);
    return footprint;
}

double pixelRadiusAt(float projectionYScale, float viewportHeight, double distance, double radius) {
    return radius / std::max(distance, radius) * double(projectionYScale) * 0.5 * double(viewportHeight);
}

uint32_t sphereSubdivisionsFor(double pixelRadius) {
    if (pixelRadius >= 600.0)
        return 5;
    return pixelRadius >= 20.0 ? 3 : 1;
}

uint32_t patchesPerCluster(uint32_t subdivisions) {
    return 1u << (2 * std::min(subdivisions, ClusterLevels));
}

uint32_t tessellatedPointsBound(uint32_t level) {
    uint32_t points = level % 2 == 0 ? 1 : 0;
    for (uint32_t ring = level; ring > 0 && ring <= level; ring -= 2)
        points += 3 * ring;
    return std::max(points, 3u);
}

uint32_t patchesPerDraw(uint32_t maxLevel) {
    return std::max(65536u / tessellatedPointsBound(std::max(maxLevel, 1u)), 1u);
}

float liquidLevel(const BiomeBlock& block) {
    const BiomeEntry& b = block.biomes[0];
    bool liquid = b.heightRange[1] > b.heightRange[0] && b.roughness <= 0.12f && b.metallic <= 0.01f;
    return liquid ? b.heightRange[1] : -1e9f;
}

ClusterCull::ClusterCull(const PatchCullInputs& in) {
    const double scale = in.elevationScale;
    double low = 1.0 + scale * std::max(in.heightLow, in.liquid),
           high = 1.0 + scale * std::max(in.heightHigh, in.liquid);
    rMin = double(in.radius) * std::max(std::min(low, high), 0.0);
    rMax = double(in.radius) * std::max(low, high);
    const float* m = in.model;
    for (int k = 0; k < 9; ++k)
        rotation[k] = m[(k / 3) * 4 + k % 3];
    for (int c = 0; c < 3; ++c)
        stretch = std::max(stretch, std::hypot(rotation[c * 3], rotation[c * 3 + 1], rotation[c * 3 + 2]));
    for (int k = 0; k < 3; ++k) {
        translation[k] = m[12 + k];
        toEye[k] = double(in.eye[k]) - translation[k];
    }
    const double eyeDistance = std::hypot(toEye[0], toEye[1], toEye[2]);
    // The shader tests its horizon from 1.0001 rMax up; a hair further here keeps its float rounding on our side.
    horizon = eyeDistance > rMax * 1.0002 && rMin > rMax * 1e-6;
    if (horizon) {
        for (double& t : toEye)
            t /= eyeDistance;
        horizonReach =
            std::acos(std::clamp(rMin / eyeDistance, -1.0, 1.0)) + std::acos(std::clamp(rMin / rMax, -1.0, 1.0));
    }
    // Side planes from the rows of the matrix (element (row r, column c) at [c * 4 + r]): w + x, w - x, w + y, w - y.
    const float* vp = in.viewProjection;
    for (int p = 0; p < 4; ++p) {
        int r = p / 2;
        double sign = p % 2 == 0 ? 1.0 : -1.0;
        for (int c = 0; c < 4; ++c)
            planes[p][c] = double(vp[c * 4 + 3]) + sign * double(vp[c * 4 + r]);
    }
}

bool ClusterCull::hidden(const TriangleCluster& cluster) const {
    const double* a = cluster.axis;
    double dir[3];
    for (int k = 0; k < 3; ++k)
        dir[k] = rotation[k] * a[0] + rotation[3 + k] * a[1] + rotation[6 + k] * a[2];
    if (horizon) {
        // Every patch's reach (see the control shader) is at most the cluster's less the margin.
        double reach = horizonReach + cluster.centreSpread + cluster.triangleSpread + AngleMargin;
        double length = std::hypot(dir[0], dir[1], dir[2]);
        if (reach < 3.14159 - AngleMargin && length > 0.0 &&
            (dir[0] * toEye[0] + dir[1] * toEye[1] + dir[2] * toEye[2]) / length < std::cos(reach))
            return true;
    }
    // A sphere holding each patch's bounding sphere: the patches' centres lie within centreSpread of the axis,
    // their shells within triangleSpread of their centres, and the shader's bound grows with the spread.
    double cosSpread = std::cos(cluster.triangleSpread + AngleMargin);
    double patchBound = std::sqrt(
        std::max(rMax * rMax * 2.0 * (1.0 - cosSpread), rMin * rMin + rMax * rMax - 2.0 * rMin * rMax * cosSpread));
    double offset = stretch * rMax * 2.0 * std::sin(std::min(cluster.centreSpread + AngleMargin, 3.14159) * 0.5);
    double bound = (offset + patchBound) * (1.0 + RadiusMargin) * 1.0001;
    double world[3];
    for (int k = 0; k < 3; ++k)
        world[k] = dir[k] * rMax + translation[k];
    const double worldLength = std::hypot(world[0], world[1], world[2]);
    for (const auto& p : planes) {
        double n = std::hypot(p[0], p[1], p[2]);
        // The shader's float sum over world coordinates rounds by about 1e-7 of its terms' size.
        double slack = 1e-6 * (n * worldLength + std::fabs(p[3]));
        if (n > 0.0 && p[0] * world[0] + p[1] * world[1] + p[2] * world[2] + p[3] < -bound * n - slack)
            return true;
    }
    return false;
}

namespace {

// `groundAir`: the variant that composites the air in front of the ground from the body's sky-view table (set 2).
ScenePipelineInfo planetPipelineInfo(bool wireframe, bool groundAir = false) {
    ScenePipelineInfo info;
    info.shader = groundAir ? "planet_air" : "planet_solid";
    info.layoutNotation = "UBD_0 UBD_1+UBD_2+UBD_3+UBD_4+UBD_5+UBD_6+UBD_7+UBD_8+CIS_9+CIS_10+CIS_11";
    if (groundAir)
        info.layoutNotation += " CIS_9";
    info.options.cullMode = VK_CULL_MODE_BACK_BIT;
    info.options.depthWriteEnable = 1;
    info.options.tessellationEnable = 1;
    info.options.patchControlPoints = 3;
    info.options.blendMode = BlendNone;
    if (wireframe)
        info.options.polygonMode = VK_POLYGON_MODE_LINE;
    return info;
}

} // namespace

PlanetSurfaceSolid::PlanetSurfaceSolid(SceneObject* owner_, SurfaceGeneration& generation)
    : PlanetSurface(owner_, generation) {}

PlanetSurfaceSolid::~PlanetSurfaceSolid() {
    if (GraphicsDevice* device = servicesOf(owner).device)
        if (dataSet)
            unregisterResource(device, dataSet);
    delete bake;
    delete biomeUniform;
    delete tessellationUniform;
    delete noAtmosphereUniform;
}

void PlanetSurfaceSolid::CreateUniform() {
    PlanetSurface::CreateUniform();
    const Services& services = servicesOf(owner);
    GraphicsDevice* device = services.device;
    if (!device || !services.uniformStorage)
        return; // headless: the blocks are kept, nothing is drawn

    // The first update picks the size the body's size on screen needs, before anything is generated.
    generator = new PlanetGenerator(services, PlanetGenerator::MinMapSize);
    biomeUniform = createUniformBinding(servicesOf(owner), sizeof(BiomeBlock));
    tessellationUniform = createUniformBinding(servicesOf(owner), sizeof(TessellationBlock));
    const uint32_t subdivisions[3] = {1, 3, 5};
    for (int k = 0; k < 3; ++k)
        sharedMeshes[k] = sharedResource<IcoSphere>(device, "planet sphere " + std::to_string(subdivisions[k]), [&] {
            auto* sphere = new IcoSphere(device, services.meshStorage, subdivisions[k], 1.0f);
            sphere->trianglesPerCluster = patchesPerCluster(subdivisions[k]);
            sphere->clusters = clusterTriangles(sphere->generation.unitVertices, sphere->generation.triangles,
                                                sphere->trianglesPerCluster);
            return sphere;
        });
    mesh = sharedMeshes[2];

    StorageBinding* atmosphereRecord = nullptr;
    if (auto* body = dynamic_cast<AstroObject*>(owner))
        if (Atmosphere* atmosphere = body->getAtmosphere()) {
            atmosphere->CreateUniform();
            atmosphereRecord = atmosphere->uniform;
        }
    if (!atmosphereRecord) {
        noAtmosphereUniform = createUniformBinding(servicesOf(owner), sizeof(AtmosphereBlock));
        atmosphereRecord = noAtmosphereUniform;
    }
    Star* star = owner->scene ? owner->scene->primaryStar : nullptr;
    ENGINE_CHECK(star && star->lightUniform, "PlanetSurfaceSolid: a solid planet needs a primary star to be lit by");
    ENGINE_CHECK(owner->uniformBinding && planet && planet->objectUniform,
                 "PlanetSurfaceSolid: the owner must be an astro object created before its surface");

    bake = new SurfaceBake(services, generator->heightMapBinding, surfaceUniform, biomeUniform,
                           PlanetGenerator::MinMapSize);

    const uint32_t ubd = services.uniformStorage->descriptorType();
    const uint32_t cis = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
    dataSet = new DataSet(device, services.descriptorPool,
                          {{1, DATA_STORAGE, ubd, owner->uniformBinding},
                           {2, DATA_STORAGE, ubd, star->lightUniform},
                           {3, DATA_STORAGE, ubd, planet->objectUniform},
                           {4, DATA_STORAGE, ubd, atmosphereRecord},
                           {5, DATA_STORAGE, ubd, tessellationUniform},
                           {6, DATA_STORAGE, ubd, surfaceUniform},
                           {7, DATA_STORAGE, ubd, biomeUniform},
                           {8, DATA_STORAGE, ubd, shadowRecord},
                           {9, TEXTURE, cis, generator->heightMapBinding},
                           {10, TEXTURE, cis, bake->groundBinding},
                           {11, TEXTURE, cis, bake->normalBinding}});

    filledPipeline = sharedScenePipeline(device, "planet filled", planetPipelineInfo(false));
    airPipeline = sharedScenePipeline(device, "planet filled air", planetPipelineInfo(false, true));
    // Without fillModeNonSolid the T key keeps drawing filled.
    if (device->wireframeSupported)
        wireframePipeline = sharedScenePipeline(device, "planet wireframe", planetPipelineInfo(true));
}

void PlanetSurfaceSolid::Update(const FrameContext& frame) {
    // Before the base update, so that a new size is scheduled in this frame.
    chooseMapSizeFromView();
    PlanetSurface::Update(frame);
    if (const InputState* keys = frame.keys(); pressed(keys, KeyAction::Wireframe))
        wireframe = !wireframe;
    tessellation.distance = tessellationDistance(planet ? planet->radius : 1.0f, tessellation.factor);
    SwapChain* swapChain = servicesOf(owner).swapChain;
    tessellation.viewportHeight = swapChain ? float(swapChain->height) : 1080.0f;
    if (generator) {
        HeightBounds bounds = heightBounds(generator->settings);
        tessellation.heightLow = bounds.low;
        tessellation.heightHigh = bounds.high;
    }
    writeUniformBinding(biomeUniform, &biomes);
    writeUniformBinding(tessellationUniform, &tessellation);
    cullInputs.radius = planet ? planet->radius : 1.0f;
    cullInputs.elevationScale = surfaceBlock.elevationScale;
    cullInputs.heightLow = tessellation.heightLow;
    cullInputs.heightHigh = tessellation.heightHigh;
    cullInputs.liquid = liquidLevel(biomes);
    if (noAtmosphereUniform) {
        AtmosphereBlock none{};
        std::fill(none.rayleigh, none.rayleigh + 3, 0.0f);
        none.radius = 0.0f;
        none.mie = 0.0f;
        none.rayleighFactor = 0.0f;
        writeUniformBinding(noAtmosphereUniform, &none);
    }
}

void PlanetSurfaceSolid::chooseMapSizeFromView() {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    if (!generator || !camera || !planet)
        return;
    // The camera of the previous frame (its uniforms come after this update); whether the body is in view does
    // not matter: turning the camera must not cost a regeneration.
    SwapChain* swapChain = servicesOf(owner).swapChain;
    float height = swapChain ? float(swapChain->height) : 1080.0f;
    double distance = length(planet->transform->worldPosition() - camera->transform->worldPosition());
    double pixels = pixelRadiusAt(camera->view.projection.m[5], height, distance, double(planet->radius));
    requestMapSize(chooseMapSize(generator->targetSize(), heightMapSizeFor(pixels), framesWantingSmallerMap));
}

void PlanetSurfaceSolid::RecordCompute(const FrameContext& frame, CommandContext* context) {
    PlanetSurface::RecordCompute(frame, context);
    // Until its first generation the height map holds nothing; during a spread one (into a new map) the bake
    // keeps to the current map and its size.
    if (!bake || !hasRelief())
        return;
    BakeInputs now{generator->generationCount, generator->size(), surfaceBlock.elevationScale, biomes};
    // The bands of one bake must agree: a change while baking starts it over.
    if (bake->baking() && !(now == baking))
        bake->restart();
    if (!bake->baking() && now == baked)
        return;
    baking = now;
    uint32_t bands =
        bakeAtOnce(baked, now, bake->bakeCount) ? 6 * SurfaceBake::bandsPerFace(now.size) : bakeBandsPerFrame;
    if (bake->bake(context, now.size, bands))
        baked = now;
}

bool PlanetSurfaceSolid::groundReady() const {
    return dataSet && filledPipeline && hasRelief() && bake && bake->bakeCount > 0;
}

void PlanetSurfaceSolid::RecordMain(const FrameContext&, CommandContext* context) {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    if (!groundReady() || !camera || !camera->dataSet)
        return;
    const uint32_t width = context->renderWidth, height = context->renderHeight;
    // Planets outside the view are skipped; the others draw the sphere their size on screen needs.
    Mat4f viewProjection = camera->view.projection * camera->view.view;
    double reach = double(planet->radius) * (1.0 + std::fabs(surfaceBlock.elevationScale));
    ScreenFootprint footprint =
        screenFootprint(viewProjection.m, camera->view.projection.m[5], float(height),
                        camera->transform->worldPosition(), planet->transform->worldPosition(), reach);
    if (!footprint.visible)
        return;
    uint32_t subdivisions = sphereSubdivisionsFor(footprint.pixelRadius);
    IcoSphere* sphere = subdivisions == 5 ? sharedMeshes[2] : subdivisions == 3 ? sharedMeshes[1] : sharedMeshes[0];

    selectShadowBlock();
    // The filled surface of a body with air composites that air itself when the atmosphere manager says so.
    const Atmosphere* atmosphere = planet->getAtmosphere();
    DataSet* groundAir = atmosphere && drawsOwnAir() ? atmosphere->groundAir : nullptr;
    PipelineGraphics* pipeline = groundAir                          ? airPipeline
                                 : wireframe && wireframePipeline ? wireframePipeline
                                                                  : filledPipeline;
    pipeline->bind(context);
    setViewportAndScissor(context, width, height);
    bindDataSet(context, camera->dataSet);
    bindDataSet(context, dataSet);
    if (groundAir)
        bindDataSet(context, groundAir);
    pipeline->bindDataSets(context);
    sphere->bind(context, *pipeline);
    // The cull as the shader will see it: the camera and model blocks this frame's uniforms hold.
    const CameraBlock& view = camera->view.uniformBlock;
    std::copy(std::begin(view.viewProjection), std::end(view.viewProjection), cullInputs.viewProjection);
    std::copy(std::begin(view.eye), std::end(view.eye), cullInputs.eye);
    ObjectBlock model = makeObjectBlock(owner->transform->worldMatrix);
    std::copy(std::begin(model.model), std::end(model.model), cullInputs.model);
    const ClusterCull cull(cullInputs);
    const std::vector<TriangleCluster>& clusters = sphere->clusters;
    visiblePatchRuns(
        uint32_t(clusters.size()), sphere->trianglesPerCluster, sphere->indexBuffer->indexCount / 3,
        patchesPerDraw(MaxTessellationLevel), [&](uint32_t c) { return cull.hidden(clusters[c]); }, patchRuns);
    for (const PatchRun& run : patchRuns)
        vkCmdDrawIndexed(context->commandBuffer, run.count * 3, 1, run.first * 3, 0, 0);
    context->device->drawCount += uint32_t(patchRuns.size());
}

void PlanetSurfaceSolid::applySettings(const SolidSurfaceCreateInfo& info) {
    surfaceBlock.elevationScale = info.elevationScale;
    tessellation.factor = info.tessellationFactor;
    tessellation.maxSubdivision = info.subdivisionMax;
    tessellation.minSubdivision = info.subdivisionMin;
    int biomeCount = std::clamp(info.biomeCount, 0, BiomeBlock::BiomeCount);
    for (int k = 0; k < biomeCount; ++k)
        biomes.biomes[k] = toBiomeEntry(info.biomes[k]);
    if (generator) {
        int layerCount = std::clamp(info.noiseLayerCount, 0, GeneratorSettings::LayerCount);
        for (int k = 0; k < layerCount; ++k)
            generator->settings.layers[k] = toGeneratorLayer(info.noiseLayers[k]);
    }
}

template <class F> static void forEachSolidSurface(const Scene& scene, F&& f) {
    for (SceneObject* object : scene.objects)
        for (SceneComponent* component : object->components)
            if (auto* surface = dynamic_cast<PlanetSurfaceSolid*>(component))
                f(*surface);
}

bool solidSurfacesWireframe(const Scene& scene) {
    bool any = false;
    forEachSolidSurface(scene, [&](PlanetSurfaceSolid& s) { any = any || s.wireframe; });
    return any;
}

void setSolidSurfacesWireframe(Scene& scene, bool wireframe) {
    forEachSolidSurface(scene, [&](PlanetSurfaceSolid& s) { s.wireframe = wireframe ? 1 : 0; });
}

void setSolidSurfacesPixelsPerEdge(Scene& scene, float pixelsPerEdge) {
    forEachSolidSurface(scene, [&](PlanetSurfaceSolid& s) { s.tessellation.pixelsPerEdge = pixelsPerEdge; });
}

} // namespace Demo
