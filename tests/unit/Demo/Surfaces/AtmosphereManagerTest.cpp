#include "Demo/Surfaces/AtmosphereManager.h"
#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scenario/BodyVisualBuilder.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Surfaces/Atmosphere.h"

#include <gtest/gtest.h>

using namespace Demo;

namespace {

// A star, a gas planet and a solid planet without a device: the manager orders and selects, draws nothing.
struct HeadlessAtmospheres : ::testing::Test {
    HeadlessAtmospheres() {
        scene.services.scene = &scene;
        scene.services.bodyVisuals = &visuals;
        camera = new DemoCamera("MainCamera", &scene);
        scene.add(camera);
        camera->Create();
        scene.mainCamera = camera;
        star = add<Star>("Sun");
        gas = add<PlanetGas>("Gas");
        solid = add<PlanetSolid>("Solid");
        airless = add<PlanetSolid>("Airless");
        // What the factory marks for bodies it gave atmosphere settings.
        gas->hasAtmosphereSettings = solid->hasAtmosphereSettings = true;
        services = scene.services;
    }
    template <class T> T* add(const char* name) {
        auto* body = new T(name, &scene);
        scene.add(body);
        body->Create();
        return body;
    }
    static void place(AstroObject* body, float x, float y, float z) {
        body->position[0] = x;
        body->position[1] = y;
        body->position[2] = z;
    }

    BodyVisualBuilder visuals;
    Scene scene;
    FrameInput input;
    FrameContext frame{scene.services, input};
    DemoCamera* camera = nullptr;
    Star* star = nullptr;
    PlanetGas* gas = nullptr;
    PlanetSolid* solid = nullptr;
    PlanetSolid* airless = nullptr;
    Services services;
};

} // namespace

TEST_F(HeadlessAtmospheres, EntriesAreOrderedFarToNearFromTheEyeEveryFrame) {
    AtmosphereManager manager(services, nullptr, nullptr);
    manager.init();
    // One per Atmosphere component in scene order, none for the body given no atmosphere.
    ASSERT_EQ(manager.entries.size(), 3u);
    EXPECT_EQ(manager.entries[0].atmosphere, star->getAtmosphere());
    EXPECT_EQ(manager.entries[1].atmosphere, gas->getAtmosphere());
    EXPECT_EQ(manager.entries[2].atmosphere, solid->getAtmosphere());

    // Distances 10, 30 and 20 from an eye at (1, 2, 3).
    camera->view.position = {1.0f, 2.0f, 3.0f};
    place(star, 11.0f, 2.0f, 3.0f);
    place(gas, 1.0f, 32.0f, 3.0f);
    place(solid, 1.0f, 2.0f, -17.0f);
    manager.update(frame);
    EXPECT_EQ(manager.entries[0].atmosphere->body, gas);
    EXPECT_EQ(manager.entries[1].atmosphere->body, solid);
    EXPECT_EQ(manager.entries[2].atmosphere->body, star);
    // The render manager composites its atmosphere i before layer i from the highest i down, layer i reaching out
    // to atmosphere i: it sees them near to far, so the farthest is drawn first and the layers nest outwards.
    EXPECT_EQ(manager.squaredDistances(), (std::vector<float>{100.0f, 400.0f, 900.0f}));

    // The camera moves: the next frame's order follows, and the layer block is cut at the new distances.
    camera->view.position = {1.0f, 2.0f, -17.0f}; // on the solid planet: squared 0, star 500, gas 1300
    manager.update(frame);
    EXPECT_EQ(manager.entries[0].atmosphere->body, gas);
    EXPECT_EQ(manager.entries[1].atmosphere->body, star);
    EXPECT_EQ(manager.entries[2].atmosphere->body, solid);
    LayerBlock layers = computeLayerBlock(manager.squaredDistances());
    EXPECT_EQ(layers.layerCount, 4);
    const float expected[4][2] = {{0.0f, 0.0f}, {0.0f, 500.0f}, {500.0f, 1300.0f}, {1300.0f, FarthestLayerBound}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(layers.bounds[i][0], expected[i][0]) << i;
        EXPECT_FLOAT_EQ(layers.bounds[i][1], expected[i][1]) << i;
    }
}

// Set 3 is the body's sky-view table, with a gas planet's fluid image beside it.
TEST_F(HeadlessAtmospheres, EveryDrawBindsFourSetsTheCameraFirst) {
    AtmosphereManager manager(services, nullptr, nullptr);
    manager.init();
    manager.update(frame);
    for (uint32_t i = 0; i < manager.entries.size(); ++i) {
        DataSet* sets[AtmosphereManager::MaxSets] = {};
        uint32_t count = manager.setsFor(i, sets);
        EXPECT_EQ(count, 4u) << manager.entries[i].atmosphere->body->name;
        EXPECT_EQ(sets[0], camera->dataSet); // the camera's set comes first
    }
}

// A table is kept while the eye, the star and the occluders stay put relative to the body (to a fraction of a
// texel), and built again when any moved or the air changed.
TEST(SkyViewTable, IsKeptOnlyWhileWhatItShowsStaysPut) {
    Demo::SkyViewInputs built;
    built.eye[2] = 100.0f; // 90 above a ground of radius 10
    built.star[0] = 5000.0f;
    built.groundRadius = 10.0f;
    built.occluderCount = 1;
    built.occluders[0][0] = 40.0f;
    built.occluders[0][3] = 2.0f;
    built.atmosphere[0] = 7;
    struct Case {
        const char* what;
        void (*change)(Demo::SkyViewInputs&);
        bool kept;
    };
    const Case cases[] = {
        {"nothing", [](Demo::SkyViewInputs&) {}, true},
        {"eye turned 1e-4 rad", [](Demo::SkyViewInputs& in) { in.eye[0] = 100.0f * 1e-4f; }, true},
        {"eye turned 1e-3 rad", [](Demo::SkyViewInputs& in) { in.eye[0] = 100.0f * 1e-3f; }, false},
        {"eye 0.1 % higher", [](Demo::SkyViewInputs& in) { in.eye[2] = 100.09f; }, true},
        {"eye 1 % higher", [](Demo::SkyViewInputs& in) { in.eye[2] = 100.9f; }, false},
        {"star turned 1e-3 rad", [](Demo::SkyViewInputs& in) { in.star[1] = 5.0f; }, false},
        {"occluder moved 1e-4 of its distance", [](Demo::SkyViewInputs& in) { in.occluders[0][0] = 40.004f; }, true},
        {"occluder moved 1 % of its distance", [](Demo::SkyViewInputs& in) { in.occluders[0][1] = 0.4f; }, false},
        {"occluder gone", [](Demo::SkyViewInputs& in) { in.occluderCount = 0; }, false},
        {"atmosphere edited", [](Demo::SkyViewInputs& in) { in.atmosphere[5] = 1; }, false},
        {"radius edited", [](Demo::SkyViewInputs& in) { in.groundRadius = 10.5f; }, false},
    };
    for (const Case& c : cases) {
        Demo::SkyViewInputs now = built;
        c.change(now);
        EXPECT_EQ(Demo::skyViewStillFits(built, now), c.kept) << c.what;
    }
}

// A planet whose ground composites its own air leaves the atmosphere draw a ring about its silhouette: only from
// far enough outside the shell, and only while nothing else reaches into the shell (it would lose its air).
TEST(GroundAir, RingOnlyFromOutsideTheShellAndNothingElseInIt) {
    struct Case {
        float distance;
        bool ring;
    };
    const Case cases[] = {{1000.0f, true}, {18.7f, true}, {17.9f, true}, {17.8f, false}, {17.5f, false}, {5.0f, false}};
    for (const Case& c : cases) {
        const Demo::ShellDraw draw = Demo::shellDrawFor(c.distance, 17.5f, 14.2f);
        EXPECT_EQ(draw.segments > 0, c.ring) << c.distance;
        EXPECT_EQ(draw.innerRadius, c.ring ? 14.2f : 0.0f) << c.distance;
    }
    const float centre[3] = {100.0f, 0.0f, 0.0f};
    const float craftInAir[3] = {100.0f, 16.0f, 0.0f}, craftAbove[3] = {100.0f, 21.2f, 0.0f};
    EXPECT_TRUE(Demo::reachesIntoShell(centre, 17.5f, craftInAir, 1.0f));
    EXPECT_FALSE(Demo::reachesIntoShell(centre, 17.5f, craftAbove, 1.0f));
    EXPECT_TRUE(Demo::reachesIntoShell(centre, 17.5f, craftAbove, 4.0f)); // a moon's edge
}
