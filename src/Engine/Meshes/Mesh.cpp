#include "Engine/Meshes/Mesh.h"

#include "Engine/Meshes/MeshBinding.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Pipelines/PipelineGraphics.h"

#include <cstring>

Mesh::Mesh(GraphicsDevice* device_, const std::string& name_) : name(name_), owner(device_) {
    device = device_;
    tier = TierMemory;
    deferredRelease = 0;
    if (device_)
        registerResource(device_, this);
}

Mesh::~Mesh() {
    // A mesh whose generator threw after it registered must not stay listed.
    if (owner)
        owner->registry.forget(this);
    for (GraphicsResource* buffer : {static_cast<GraphicsResource*>(vertexBuffer),
                                     static_cast<GraphicsResource*>(indexBuffer)}) {
        if (!buffer)
            continue;
        if (owner)
            unregisterResource(owner, buffer);
        else
            delete buffer;
    }
}

VertexData toVertexData(const GeometryData& g, const VertexLayout& layout) {
    uint32_t n = g.vertexCount();
    VertexData data(layout, n);
    auto fill = [&](uint32_t semantic, const std::vector<float>& source, uint32_t components) {
        int a = layout.find(semantic);
        if (a < 0 || source.size() < size_t(n) * components)
            return;
        uint32_t size = layout.attributes[a].size;
        uint32_t copy = std::min<uint32_t>(size, components * 4);
        for (uint32_t v = 0; v < n; ++v)
            std::memcpy(data.element(uint32_t(a), v), source.data() + size_t(v) * components, copy);
    };
    fill(POSITION, g.positions, 3);
    fill(NORMAL, g.normals, 3);
    fill(TANGENT, g.tangents, 3);
    fill(TEXCOORD, g.texCoords, 2);
    fill(COLOR_RGBA32F, g.colors, 4);
    return data;
}

void Mesh::upload(const GeometryData& geometry, DataStorage* storage, const VertexLayout& layout) {
    vertexBuffer = new VertexBuffer(owner, storage, layout);
    vertexBuffer->upload(toVertexData(geometry, layout));
    if (!geometry.indices.empty()) {
        indexBuffer = new IndexBuffer(owner, storage);
        indexBuffer->set(geometry.indices);
    }
}

void Mesh::bind(CommandContext* context, const PipelineGraphics& pipeline) {
    if (context->boundMesh == this)
        return;
    bindMeshBuffers(context, pipeline.vertexLayout, *vertexBuffer, indexBuffer);
    context->boundMesh = this;
}

void Mesh::draw(CommandContext* context, const PipelineGraphics& pipeline) {
    bind(context, pipeline);
    drawMeshBuffers(context, *vertexBuffer, indexBuffer);
}

Cube::Cube(GraphicsDevice* device, DataStorage* storage, float sizeX, float sizeY, float sizeZ) : Mesh(device) {
    upload(makeCube(sizeX, sizeY, sizeZ), storage, standardLayout);
}

IcoSphere::IcoSphere(GraphicsDevice* device, DataStorage* storage, uint32_t subdivisions, float radius)
    : Mesh(device), generation(subdivisions) {
    upload(generation.geometry(radius), storage, standardLayout);
}

Sphere::Sphere(GraphicsDevice* device, DataStorage* storage, float radius) : Mesh(device) {
    upload(makeSphere(radius), storage, standardLayout);
}

Line::Line(GraphicsDevice* device, DataStorage* storage) : Mesh(device) {
    vertexBuffer = new VertexBuffer(device, storage, positionLayout);
}

void Line::setPoints(const float* points, uint32_t count) {
    VertexStream& stream = vertexBuffer->streams[0];
    stream.offset = vertexBuffer->storage->write(stream.offset, points, count * 12, false);
    stream.vertexCount = count;
    stream.size = count * 12;
    vertexBuffer->vertexCount = count;
}

std::vector<Mesh*> importModelMeshes(const std::string& path, const VertexLayout& layout, GraphicsDevice* device,
                                     DataStorage* storage, const std::vector<LayoutOverride>& overrides) {
    std::vector<Mesh*> meshes;
    for (const GeometryData& g : importModel(path)) {
        const VertexLayout* chosen = &layout;
        for (const LayoutOverride& o : overrides)
            if (o.meshName == g.name) {
                chosen = &o.layout;
                break;
            }
        Mesh* mesh = new Mesh(device, g.name);
        mesh->upload(g, storage, *chosen);
        meshes.push_back(mesh);
    }
    return meshes;
}
