#include "Demo/Scene/Scene.h"

#include "Demo/Scene/SceneObject.h"

namespace Demo {

Scene::~Scene() {
    for (SceneObject* object : objects)
        delete object;
    objects.clear();
}

void Scene::add(SceneObject* object) {
    try {
        objects.push_back(object);
    } catch (...) {
        delete object;
        throw;
    }
}

void Scene::start() {
    for (size_t k = 0; k < objects.size(); ++k)
        objects[k]->Start();
}

void Scene::update(const FrameContext& frame) {
    for (size_t k = 0; k < objects.size(); ++k)
        objects[k]->Update(frame);
}

void Scene::updateUniforms(const FrameContext& frame) {
    for (size_t k = 0; k < objects.size(); ++k)
        objects[k]->UpdateUniforms(frame);
}

} // namespace Demo
