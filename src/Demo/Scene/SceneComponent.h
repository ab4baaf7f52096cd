#pragma once
// Base of every component attached to a scene object (surfaces, atmospheres, orbit lines, navigation...).
// The owning object forwards its frame hooks to each component in attachment order.
#include <cstdint>

class CommandContext;

namespace Demo {

struct FrameContext;

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
    virtual void Update(const FrameContext&) {}
    virtual void UpdateUniforms(const FrameContext&) {}
    virtual void RecordCompute(const FrameContext&, CommandContext*) {}
    virtual void RecordMain(const FrameContext&, CommandContext*) {}
    virtual void RecordLayer(const FrameContext&, CommandContext*, uint32_t) {}
    // The main pass's backdrop, drawn after every object's RecordMain: only the pixels they left empty pay for it.
    virtual void RecordBackground(const FrameContext&, CommandContext*) {}
    // Whether RecordBackground fills every pixel the objects leave empty (the colour target then needs no clear).
    virtual bool fillsBackground() const { return false; }
    // Translucent lines and markers of the main pass, blended last, over the backdrop too.
    virtual void RecordOverlay(const FrameContext&, CommandContext*) {}

    // Kind queries for the bodies' surface and atmosphere lookups; the surface and atmosphere classes return this.
    virtual AstroSurface* asSurface() { return nullptr; }
    virtual Atmosphere* asAtmosphere() { return nullptr; }

    SceneObject* owner = nullptr;
};

} // namespace Demo
