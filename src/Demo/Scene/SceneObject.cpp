#include "Demo/Scene/SceneObject.h"

#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Scene/SceneComponent.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataStorage.h"

namespace Demo {

ObjectBlock makeObjectBlock(const Mat4d& world) {
    ObjectBlock block;
    for (int k = 0; k < 16; ++k)
        block.model[k] = float(world.m[k]);
    return block;
}

const Services& servicesOf(const SceneObject* object) {
    static const Services none;
    return object && object->scene ? object->scene->services : none;
}

StorageBinding* createUniformBinding(const Services& services, uint32_t range) {
    if (!services.uniformStorage)
        return nullptr;
    return new StorageBinding(services.uniformStorage, range);
}

void writeUniformBinding(StorageBinding* binding, const void* block) {
    if (binding && binding->storage)
        binding->write(block);
}

SceneObject::SceneObject(std::string name_, Scene* scene_)
    : scene(scene_), transform(std::make_shared<Transform>()), snapshotTransform(std::make_shared<Transform>()),
      name(std::move(name_)) {
    transform->updateMatrix();
    snapshotTransform->updateMatrix();
}

SceneObject::~SceneObject() {
    for (SceneComponent* component : components)
        delete component;
    components.clear();
    delete uniformBinding;
}

void SceneObject::Create() {
    if (!uniformBinding)
        uniformBinding = createUniformBinding(servicesOf(this), sizeof(ObjectBlock));
}

void SceneObject::Start() {
    for (SceneComponent* component : components)
        component->Start();
}

void SceneObject::Update(const FrameContext& frame) {
    for (SceneComponent* component : components)
        component->Update(frame);
    transform->updateMatrix();
}

void SceneObject::UpdateUniforms(const FrameContext& frame) {
    for (SceneComponent* component : components)
        component->UpdateUniforms(frame);
    transform->updateMatrix();
    ObjectBlock block = makeObjectBlock(transform->worldMatrix);
    writeUniformBinding(uniformBinding, &block);
}

void SceneObject::RecordCompute(const FrameContext& frame, CommandContext* context) {
    for (SceneComponent* component : components)
        component->RecordCompute(frame, context);
}

void SceneObject::RecordMain(const FrameContext& frame, CommandContext* context) {
    for (SceneComponent* component : components)
        component->RecordMain(frame, context);
    snapshotTransform->copyFrom(*transform);
}

void SceneObject::RecordBackground(const FrameContext& frame, CommandContext* context) {
    for (SceneComponent* component : components)
        component->RecordBackground(frame, context);
}

bool SceneObject::fillsBackground() const {
    for (SceneComponent* component : components)
        if (component->fillsBackground())
            return true;
    return false;
}

void SceneObject::RecordOverlay(const FrameContext& frame, CommandContext* context) {
    for (SceneComponent* component : components)
        component->RecordOverlay(frame, context);
}

void SceneObject::RecordLayer(const FrameContext& frame, CommandContext* context, uint32_t layer) {
    for (SceneComponent* component : components)
        component->RecordLayer(frame, context, layer);
}

void SceneObject::addComponent(SceneComponent* component) {
    component->owner = this;
    try {
        components.push_back(component);
    } catch (...) {
        delete component;
        throw;
    }
}

} // namespace Demo
