#include "Demo/Astro/AstroObject.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Astro/BodyVisuals.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Scene/SceneComponent.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataStorage.h"

namespace Demo {

AstroObject::AstroObject(std::string name_, Scene* scene_) : SceneObject(std::move(name_), scene_) {
    orbit.body = this;
}

AstroObject::~AstroObject() {
    delete objectUniform;
}

void AstroObject::Create() {
    SceneObject::Create();
    if (!objectUniform)
        objectUniform = createUniformBinding(servicesOf(this), sizeof(AstroObjectBlock));
    if (BodyVisuals* visuals = servicesOf(this).bodyVisuals)
        visuals->attach(this);
}

Vec3d spinAngles(const float rotationSpeed[3], double seconds) {
    float t = float(seconds);
    return {double(0.01f * rotationSpeed[0] * t), double(0.01f * rotationSpeed[1] * t),
            double(0.01f * rotationSpeed[2] * t)};
}

void AstroObject::Update(const FrameContext& frame) {
    bool spins = rotationSpeed[0] != 0.0f || rotationSpeed[1] != 0.0f || rotationSpeed[2] != 0.0f;
    if (system && spins) {
        double seconds = double(system->timeStep) * system->timeStepLength - rotationEpoch;
        transform->rotation = Quatd::fromEuler(spinAngles(rotationSpeed, seconds));
        transform->markDirty();
        transform->updateMatrix();
    }
    SceneObject::Update(frame);
}

void AstroObject::UpdateUniforms(const FrameContext& frame) {
    Vec3d p = transform->worldPosition();
    position[0] = float(p.x);
    position[1] = float(p.y);
    position[2] = float(p.z);
    AstroObjectBlock block{{position[0], position[1], position[2]}, radius};
    writeUniformBinding(objectUniform, &block);
    SceneObject::UpdateUniforms(frame);
}

AstroSurface* AstroObject::getSurface() {
    for (SceneComponent* component : components)
        if (AstroSurface* surface = component->asSurface())
            return surface;
    return nullptr;
}

Atmosphere* AstroObject::getAtmosphere() {
    for (SceneComponent* component : components)
        if (Atmosphere* atmosphere = component->asAtmosphere())
            return atmosphere;
    return nullptr;
}

void AstroObject::drawnMotion(Vec3d& position, Vec3d& velocity) {
    position = system->computeObjectPos(this, system->timeStep, system->stepFraction);
    velocity = system->computeObjectVel(this, system->timeStep, system->stepFraction);
}

void AstroObject::subtractMotionOf(int32_t index, Vec3d& position, Vec3d& velocity) const {
    if (!system || index < 0 || size_t(index) >= system->objects.size())
        return;
    AstroObject* reference = system->objects[size_t(index)];
    position -= system->computeObjectPos(reference, system->timeStep, system->stepFraction);
    velocity -= system->computeObjectVel(reference, system->timeStep, system->stepFraction);
}

bool AstroObject::relativeMotion(Vec3d& position, Vec3d& velocity) {
    if (!system || !parent)
        return false;
    int32_t parentIndex = parent->index;
    bool listed = parentIndex >= 0 && size_t(parentIndex) < system->objects.size() &&
                  system->objects[size_t(parentIndex)] == parent;
    if (!listed || parentIndex == index)
        return false;
    position = system->computeObjectPos(this, system->timeStep, system->stepFraction);
    velocity = system->computeObjectVel(this, system->timeStep, system->stepFraction);
    subtractMotionOf(parentIndex, position, velocity);
    return true;
}

bool AstroObject::demoMotion(int32_t referenceIndex, Vec3d& position, Vec3d& velocity) {
    if (!system)
        return false;
    drawnMotion(position, velocity);
    subtractMotionOf(referenceIndex, position, velocity);
    return true;
}

int AstroObject::depth() const {
    int d = 0;
    // Parent links come from addObject, which only accepts parents already in the system; the bound guards
    // against a cycle made by hand.
    for (const AstroObject* p = parent; p && d < 1024; p = p->parent)
        ++d;
    return d;
}

} // namespace Demo
