#include "Demo/Scene/SceneObject.h"

#include "App/Globals.h"
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

StorageBinding* createUniformBinding(uint32_t range) {
    if (!Globals::uniformStorage)
        return nullptr;
    return new StorageBinding(Globals::uniformStorage, range);
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
        uniformBinding = createUniformBinding(sizeof(ObjectBlock));
}

void SceneObject::Start() {
    for (SceneComponent* component : components)
        component->Start();
}

void SceneObject::Update() {
    for (SceneComponent* component : components)
        component->Update();
    transform->updateMatrix();
}

void SceneObject::UpdateUniforms() {
    for (SceneComponent* component : components)
        component->UpdateUniforms();
    transform->updateMatrix();
    ObjectBlock block = makeObjectBlock(transform->worldMatrix);
    writeUniformBinding(uniformBinding, &block);
}

void SceneObject::RecordCompute(CommandContext* context) {
    for (SceneComponent* component : components)
        component->RecordCompute(context);
}

void SceneObject::RecordMain(CommandContext* context) {
    for (SceneComponent* component : components)
        component->RecordMain(context);
    snapshotTransform->copyFrom(*transform);
}

void SceneObject::RecordLayer(CommandContext* context, uint32_t layer) {
    for (SceneComponent* component : components)
        component->RecordLayer(context, layer);
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
