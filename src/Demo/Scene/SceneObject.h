#pragma once
// Everything that lives in the rendered world: a named object with a transform, components and frame hooks.
// Every hook forwards to the components in attachment order; derived objects override what they need.
#include "Demo/Scene/Transform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CommandContext;
struct StorageBinding;

namespace Demo {

class FollowTarget;
class Scene;
class SceneComponent;
struct FrameContext;
struct Services;

// The object block (64 bytes, std140): the world matrix as 16 floats, column-major.
struct ObjectBlock {
    float model[16];
};
static_assert(sizeof(ObjectBlock) == 64);

ObjectBlock makeObjectBlock(const Mat4d& world);

class SceneObject {
public:
    SceneObject(std::string name, Scene* scene);
    // Deletes the components; the transforms are shared and live while referenced.
    virtual ~SceneObject();
    SceneObject(const SceneObject&) = delete;
    SceneObject& operator=(const SceneObject&) = delete;

    // Called right after the object is appended to the scene: creates the 64-byte object-block binding in the
    // global uniform storage (none when there is no storage, e.g. without a device).
    virtual void Create();
    virtual void Start();
    virtual void Update(const FrameContext& frame);
    // Components first, then the object block of this frame.
    virtual void UpdateUniforms(const FrameContext& frame);
    virtual void RecordCompute(const FrameContext& frame, CommandContext* context);
    // Components first, then the transform is copied into the snapshot transform.
    virtual void RecordMain(const FrameContext& frame, CommandContext* context);
    virtual void RecordLayer(const FrameContext& frame, CommandContext* context, uint32_t layer);
    void RecordBackground(const FrameContext& frame, CommandContext* context);
    bool fillsBackground() const;
    void RecordOverlay(const FrameContext& frame, CommandContext* context);

    // What the camera reads of this object when it follows it; null: only the transform.
    virtual FollowTarget* followTarget() { return nullptr; }

    // Attaches a component (its CreateUniform has already run); the object owns it from now on.
    void addComponent(SceneComponent* component);

    Scene* scene = nullptr;
    std::shared_ptr<Transform> transform;
    std::shared_ptr<Transform> snapshotTransform;
    std::vector<SceneComponent*> components;
    StorageBinding* uniformBinding = nullptr;
    std::string name;
};

// What the application handed the scene (all null without a device, e.g. in unit tests).
const Services& servicesOf(const SceneObject* object);

// Creates a binding of `range` bytes in the services' uniform storage; null without a uniform storage.
StorageBinding* createUniformBinding(const Services& services, uint32_t range);
// Writes `block` (the binding's range in bytes) into its storage; nothing when the binding is null.
void writeUniformBinding(StorageBinding* binding, const void* block);

} // namespace Demo
