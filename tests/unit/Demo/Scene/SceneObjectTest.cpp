#include "Demo/Scene/SceneObject.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Scene/SceneComponent.h"

#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataStorage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace Demo;

namespace {

struct Recorder : SceneComponent {
    Recorder(SceneObject* owner, std::vector<std::string>* log_, std::string tag_, bool* destroyed_ = nullptr)
        : SceneComponent(owner), log(log_), tag(std::move(tag_)), destroyed(destroyed_) {}
    ~Recorder() override {
        if (destroyed)
            *destroyed = true;
    }
    void Start() override { log->push_back(tag + ".Start"); }
    void Update(const FrameContext&) override {
        log->push_back(tag + ".Update");
        owner->transform->position.x += 1.0; // moved by a component, refreshed by the object
        owner->transform->markDirty();
    }
    void UpdateUniforms(const FrameContext&) override { log->push_back(tag + ".UpdateUniforms"); }
    void RecordLayer(const FrameContext&, CommandContext*, uint32_t layer) override {
        log->push_back(tag + ".Layer" + std::to_string(layer));
    }

    std::vector<std::string>* log;
    std::string tag;
    bool* destroyed;
};

// Records every write instead of mapping a buffer.
struct RecordingStorage : DataStorage {
    uint32_t write(uint32_t, const void* data, uint32_t size, bool) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        writes.emplace_back(bytes, bytes + size);
        return uint32_t(writes.size() - 1) * 256;
    }
    uint32_t reserve(uint32_t, void**, uint32_t) override { return 0; }
    uint32_t capacity() const override { return 0; }
    uint32_t descriptorType() const override { return 8; }
    void beginSlot() override {}
    std::vector<std::vector<uint8_t>> writes;
};

} // namespace

TEST(SceneObject, WritesItsObjectBlockEveryFrameWithoutComponents) {
    RecordingStorage storage;
    Scene scene;
    FrameInput input;
    FrameContext frame{scene.services, input};
    auto* object = new SceneObject("plain", &scene);
    scene.add(object);
    object->uniformBinding = new StorageBinding(&storage, 64);
    object->transform->position = {3, 4, 5};
    object->transform->markDirty();
    for (int k = 0; k < 3; ++k) {
        scene.update(frame);
        scene.updateUniforms(frame);
    }
    ASSERT_EQ(storage.writes.size(), 3u);
    ASSERT_EQ(storage.writes[2].size(), 64u);
    float m[16];
    std::memcpy(m, storage.writes[2].data(), 64);
    EXPECT_EQ(m[12], 3.0f);
    EXPECT_EQ(m[13], 4.0f);
    EXPECT_EQ(m[14], 5.0f);
    EXPECT_EQ(object->uniformBinding->offset, 512u); // the binding keeps this frame's offset
}

TEST(SceneObject, HooksForwardToComponentsInOrder) {
    std::vector<std::string> log;
    bool destroyed = false;
    Scene scene;
    FrameInput input;
    FrameContext frame{scene.services, input};
    auto* object = new SceneObject("probe", &scene);
    scene.add(object);
    object->Create();
    object->addComponent(new Recorder(object, &log, "a", &destroyed));
    object->addComponent(new Recorder(object, &log, "b"));

    scene.start();
    scene.update(frame);
    scene.updateUniforms(frame);
    object->RecordLayer(frame, nullptr, 2);
    EXPECT_EQ(log, (std::vector<std::string>{"a.Start", "b.Start", "a.Update", "b.Update", "a.UpdateUniforms",
                                             "b.UpdateUniforms", "a.Layer2", "b.Layer2"}));
    // Update brings the matrix up to date after the components moved the object.
    EXPECT_FALSE(object->transform->dirty);
    EXPECT_EQ(object->transform->worldMatrix.translation().x, 2.0);

    object->RecordMain(frame, nullptr);
    EXPECT_EQ(object->snapshotTransform->worldMatrix.translation().x, 2.0);
    EXPECT_EQ(object->snapshotTransform->position.x, 2.0);

    EXPECT_EQ(object->uniformBinding, nullptr); // no uniform storage without a device
    EXPECT_FALSE(destroyed);
}

TEST(SceneObject, DestructionDeletesComponents) {
    bool destroyed = false;
    std::vector<std::string> log;
    {
        Scene scene;
        auto* object = new SceneObject("probe", &scene);
        scene.add(object);
        object->addComponent(new Recorder(object, &log, "a", &destroyed));
    }
    EXPECT_TRUE(destroyed);
}

TEST(SceneObject, ObjectBlockIsWorldMatrixColumnMajorInFloats) {
    Mat4d world = Mat4d::translate({1.5, -2.0, 1e10}) * Mat4d::scale({2, 3, 4});
    ObjectBlock block = makeObjectBlock(world);
    EXPECT_EQ(block.model[0], 2.0f);
    EXPECT_EQ(block.model[5], 3.0f);
    EXPECT_EQ(block.model[10], 4.0f);
    EXPECT_EQ(block.model[12], 1.5f); // column 3 holds the translation
    EXPECT_EQ(block.model[13], -2.0f);
    EXPECT_EQ(block.model[14], 1e10f);
    EXPECT_EQ(block.model[15], 1.0f);
    EXPECT_EQ(block.model[3], 0.0f);
}
