#pragma once
// Base of every component attached to a scene object (surfaces, atmospheres, orbit lines, navigation...).
// The owning object forwards its frame hooks to each component in attachment order.
#include <cstdint>

class CommandContext;

namespace Demo {

class SceneObject;
class AstroSurface;
class Atmosphere;

class SceneComponent {
public:
    explicit SceneComponent(SceneObject* owner_) : owner(owner_) {}
    virtual ~SceneComponent() = default;
    SceneComponent(const SceneComponent&) = delete;
    SceneComponent& operator=(const SceneComponent&) = delete;

    // Called by whoever creates the component, before it is attached: creates its own uniform binding.
    virtual void CreateUniform() {}
    virtual void Start() {}
    virtual void Update() {}
    virtual void UpdateUniforms() {}
    virtual void RecordCompute(CommandContext*) {}
    virtual void RecordMain(CommandContext*) {}
    virtual void RecordLayer(CommandContext*, uint32_t) {}

    // Kind queries for the bodies' surface and atmosphere lookups; the surface and atmosphere classes return this.
    virtual AstroSurface* asSurface() { return nullptr; }
    virtual Atmosphere* asAtmosphere() { return nullptr; }

    SceneObject* owner = nullptr;
};

} // namespace Demo
