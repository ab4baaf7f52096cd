#pragma once
// Meshes: a vertex buffer with an optional index buffer, in a mesh storage. Generators and the model import
// build their geometry in Geometry.h and put it into buffers here.
#include "Engine/Buffers/VertexLayout.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"
#include "Engine/Meshes/Geometry.h"
#include "Engine/Meshes/VertexBuffer.h"

#include <string>
#include <vector>

class CommandContext;
class DataStorage;
class GraphicsDevice;
class PipelineGraphics;

class Mesh : public GraphicsResource {
public:
    // Registers the mesh (tier 3, released at once: its buffers hold spans of a storage, no Vulkan object).
    Mesh(GraphicsDevice* device, const std::string& name = {});
    ~Mesh() override; // releases both buffers to the device

    // Fills new buffers in `storage` from the geometry, in `layout` (attributes the layout lacks are left out).
    void upload(const GeometryData& geometry, DataStorage* storage, const VertexLayout& layout);

    // Binds the buffers for the context's bound pipeline unless this mesh is already bound.
    void bind(CommandContext* context, const PipelineGraphics& pipeline);
    // Binds if needed and draws every index (or every vertex), one instance.
    void draw(CommandContext* context, const PipelineGraphics& pipeline);

    std::string name;
    GraphicsDevice* owner = nullptr;
    VertexBuffer* vertexBuffer = nullptr;
    IndexBuffer* indexBuffer = nullptr;
};

// Fills a VertexData in `layout` from plain geometry: every attribute whose meaning the geometry carries.
VertexData toVertexData(const GeometryData& geometry, const VertexLayout& layout);

class Cube : public Mesh {
public:
    Cube(GraphicsDevice* device, DataStorage* storage, float sizeX, float sizeY, float sizeZ);
};

class IcoSphere : public Mesh {
public:
    IcoSphere(GraphicsDevice* device, DataStorage* storage, uint32_t subdivisions, float radius);
    IcoSphereBuilder generation; // unit vertices, triangles and midpoint cache
    // Filled by users that cull whole runs of triangles (clusterTriangles over `generation`).
    std::vector<TriangleCluster> clusters;
    uint32_t trianglesPerCluster = 0;
};

class Sphere : public Mesh {
public:
    Sphere(GraphicsDevice* device, DataStorage* storage, float radius);
};

// A line strip in its owner's storage (position layout, no index buffer).
class Line : public Mesh {
public:
    Line(GraphicsDevice* device, DataStorage* storage);
    // Writes `count` xyz points as the position stream; the vertex count becomes `count`.
    void setPoints(const float* points, uint32_t count);
};

struct LayoutOverride {
    std::string meshName;
    VertexLayout layout;
};

// One Mesh per triangle mesh of the model file; the layout of the first override naming the mesh, else `layout`.
// Throws std::runtime_error when the file cannot be read.
std::vector<Mesh*> importModelMeshes(const std::string& path, const VertexLayout& layout, GraphicsDevice* device,
                                     DataStorage* storage, const std::vector<LayoutOverride>& overrides = {});
