// The headless planner: its flight is the program's flight bit for bit, the aiming solver reaches what it is
// asked or says why not, and the command line's outcomes and exit codes.
#include "App/SystemSnapshot.h"
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Demo/Spacecraft/SpacecraftPrediction.h"
#include "Plan/Aim.h"
#include "Plan/BackgroundAimer.h"
#include "Plan/MissionFlight.h"
#include "Plan/PlanCommand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace Demo;
using namespace Plan;

namespace {

MissionData builtInMission() {
    MissionData m;
    m.maneuvers = builtInManeuvers();
    return m;
}

// The Moon's burns of the built-in mission and a departure from Earth written by hand that misses Mars by
// hundreds of units.
MissionData missesMars() {
    MissionData m;
    m.maneuvers = builtInManeuvers();
    m.maneuvers.resize(3);
    m.maneuvers.push_back({15619, 1001, {0.856, -0.038, 1}, 54.8, true, 3, 511});
    return m;
}

struct TempFile {
    explicit TempFile(const std::string& text, const std::string& name) {
        path = (std::filesystem::temp_directory_path() /
                (name + "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count())))
                   .string();
        std::ofstream(path) << text;
    }
    ~TempFile() { std::filesystem::remove(path); }
    std::string path;
};

int run(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    int code = runPlanCommand(args, o, e);
    out = o.str();
    err = e.str();
    return code;
}

} // namespace

TEST(PlanFlight, TheHeadlessFlightIsTheProgramsPredictionBitForBit) {
    Scene scene;
    auto* camera = new DemoCamera("MainCamera", &scene);
    scene.add(camera);
    auto* system = addSolarSystem(scene);
    auto* craft = dynamic_cast<Spacecraft*>(system->objects.back());
    ASSERT_NE(craft, nullptr);
    system->cacheSlotCount = 131072;
    craft->prediction->worker.setRingSize(262144);

    Ephemeris eph = Ephemeris::solarSystem();
    ASSERT_EQ(eph.bodies.size(), system->objects.size());
    for (size_t k = 0; k < eph.bodies.size(); ++k)
        EXPECT_EQ(eph.bodies[k].name, system->objects[k]->name) << k;
    EXPECT_EQ(eph.craftIndex, craft->index);
    // The editor's solver flies a snapshot of the running system: the same flight as the built-in table's.
    Ephemeris live = systemSnapshot(*system);
    EXPECT_EQ(live.craftIndex, craft->index);

    testing::internal::CaptureStdout();
    scene.start();
    testing::internal::GetCapturedStdout();
    const uint64_t last = 52610; // the first Mars burn: after the Moon's chaotic flybys
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (craft->prediction->worker.headStep() <= last && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    for (uint64_t step : {uint64_t(1), uint64_t(3900), uint64_t(15619), last}) {
        PredictedState s;
        ASSERT_TRUE(craft->prediction->worker.stateAt(step - 1, s)) << step;
        FlightState h = stateAt(eph, builtInMission(), step);
        EXPECT_EQ(h.position, Vec3d(s.position[0], s.position[1], s.position[2])) << step;
        EXPECT_EQ(h.velocity, Vec3d(s.velocity[0], s.velocity[1], s.velocity[2])) << step;
        FlightState l = stateAt(live, builtInMission(), step);
        EXPECT_EQ(l.position, h.position) << step;
    }
}

TEST(PlanAim, ReachesWhatItIsAskedOrSaysWhyAndChangesNothing) {
    Ephemeris eph = Ephemeris::solarSystem();
    MissionData mission = missesMars();
    const int32_t mars = eph.find("mars"), neptune = eph.find("Neptune");
    ASSERT_GE(mars, 0);
    ASSERT_GE(neptune, 0);
    MissionData zeroLength = mission;
    zeroLength.maneuvers[3].burn = 0;
    struct Case {
        const char* what;
        const MissionData* mission;
        size_t burn;
        AimTarget target;
        int maxIterations;
        bool ok;
        const char* message; // part of the refusal
    };
    const Case cases[] = {
        {"pass Mars at 5 radii", &mission, 3, {Plan::AimKind::Pass, mars, 42.5, 0}, 40, true, ""},
        {"arrive near Mars at a step", &mission, 3, {Plan::AimKind::Arrive, mars, 40.0, 52610}, 40, true, ""},
        {"a pass inside Mars", &mission, 3, {Plan::AimKind::Pass, mars, 5.0, 0}, 10, false, "could not be aimed"},
        {"zero-length burn", &zeroLength, 3, {Plan::AimKind::Pass, mars, 42.5, 0}, 40, false, "length of 0"},
        {"no such burn", &mission, 7, {Plan::AimKind::Pass, mars, 42.5, 0}, 40, false, "has 4 burns"},
        {"step before the burn ends", &mission, 3, {Plan::AimKind::Arrive, mars, 40.0, 15700}, 40, false, "not after"},
        {"the craft itself", &mission, 3, {Plan::AimKind::Pass, eph.craftIndex, 40.0, 0}, 40, false, "not a body"},
        {"Neptune within 80 steps",
         &mission,
         3,
         {Plan::AimKind::Arrive, neptune, 10.0, 16700},
         1,
         false,
         "could not be aimed"},
    };
    for (const Case& c : cases) {
        const std::vector<Maneuver> before = c.mission->maneuvers;
        AimOptions options;
        options.maxIterations = c.maxIterations;
        AimResult r = aimBurn(eph, *c.mission, c.burn, c.target, options);
        EXPECT_EQ(r.ok, c.ok) << c.what << ": " << r.message;
        EXPECT_EQ(c.mission->maneuvers.size(), before.size());
        if (!c.ok) {
            EXPECT_NE(r.message.find(c.message), std::string::npos) << c.what << ": " << r.message;
            continue;
        }
        // Judged again by a flight of the whole mission: the aimed burn does what the solver saw.
        MissionData aimed = *c.mission;
        aimed.maneuvers[c.burn] = r.burn;
        EXPECT_EQ(aimed.maneuvers[c.burn].time, before[c.burn].time) << c.what;
        EXPECT_EQ(aimed.maneuvers[c.burn].burn, before[c.burn].burn) << c.what;
        double reached;
        if (c.target.kind == Plan::AimKind::Pass) {
            reached = flyMission(eph, aimed, defaultReportEnd(aimed)).closest[size_t(c.target.body)].distance;
        } else {
            FlightState s = stateAt(eph, aimed, c.target.step);
            reached = length(s.position - eph.view().position(c.target.step, uint32_t(c.target.body)));
        }
        EXPECT_NEAR(reached, c.target.distance, 0.01 * c.target.distance) << c.what;
        EXPECT_LT(r.missAfter, r.missBefore) << c.what;
    }
}

TEST(PlanAim, CancelStopsWithoutAResult) {
    Ephemeris eph = Ephemeris::solarSystem();
    MissionData mission = builtInMission();
    std::atomic<bool> cancel{false};
    AimOptions options;
    options.cancel = &cancel;
    int calls = 0;
    options.progress = [&](int, double) {
        ++calls;
        cancel = true;
    };
    AimResult r = aimBurn(eph, mission, 3, {Plan::AimKind::Pass, eph.find("Mars"), 10.0, 0}, options);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(calls, 1);
    EXPECT_NE(r.message.find("cancelled"), std::string::npos) << r.message;
}

// The editor's solver in the background: refusals at once, then an aim that arrives through the interface.
TEST(PlanAim, TheEditorsSolverRefusesAtOnceOrAimsOnAWorkerThread) {
    MissionData mission = missesMars();
    mission.maneuvers.push_back({60000, 0, {1, 0, 0}, 1.0, true, 3, 0});
    BackgroundAimer aimer([] { return Ephemeris::solarSystem(); });
    const int32_t mars = Ephemeris::solarSystem().find("Mars");
    struct Case {
        AimRequest request;
        const char* reason;
    } refused[] = {
        {{9, mars, Demo::AimKind::PassAtDistance, 10.0, 0}, "no burn 10"},
        {{4, mars, Demo::AimKind::PassAtDistance, 10.0, 0}, "length of 0"},
        {{3, -1, Demo::AimKind::PassAtDistance, 10.0, 0}, "choose a body"},
        {{3, mars, Demo::AimKind::PassAtDistance, 0.0, 0}, "positive"},
        {{3, mars, Demo::AimKind::ArriveAtStep, 10.0, 16000}, "after the burn's end"},
    };
    for (const Case& c : refused) {
        std::string error;
        EXPECT_FALSE(aimer.start(mission, c.request, error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    std::string error;
    ASSERT_TRUE(aimer.start(mission, {3, mars, Demo::AimKind::PassAtDistance, 40.0, 0}, error)) << error;
    EXPECT_FALSE(aimer.start(mission, {3, mars, Demo::AimKind::PassAtDistance, 40.0, 0}, error));
    AimOutcome outcome;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!aimer.finished(outcome) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(outcome.converged) << outcome.message;
    EXPECT_LT(outcome.missAfter, 0.4);
    EXPECT_EQ(outcome.aimed.time, mission.maneuvers[3].time);
    EXPECT_EQ(outcome.aimed.burn, mission.maneuvers[3].burn);
}

TEST(PlanCommand, ReportsAimsAndRefusesWithTheRightExitCodes) {
    TempFile mission(missionFileText(missesMars()), "kestrune-plan-mission");
    TempFile broken("scheduleManouver(1, 2, { 1, 0, 0 }, 5);\n", "kestrune-plan-broken");
    TempFile aimed("", "kestrune-plan-aimed");
    std::string out, err;

    // The report of the built-in mission, as a table and as JSON.
    ASSERT_EQ(run({"report", "--until", "60000"}, out, err), 0) << err;
    EXPECT_NE(out.find("Mars"), std::string::npos);
    ASSERT_EQ(run({"report", "--json", "--until", "60000"}, out, err), 0) << err;
    EXPECT_EQ(out.rfind("{\"burns\": [{\"burn\": 1, \"step\": 3900, \"body\": \"Earth\"", 0), 0u) << out;
    EXPECT_NE(out.find("{\"burn\": 6, \"step\": null"), std::string::npos) << out; // beyond --until
    EXPECT_NE(out.find("\"bodies\": [{\"body\": \"Sun\", \"closest\": "), std::string::npos) << out;

    // Aiming the Earth departure at a pass of Mars at 50: the written mission passes Mars within 1%.
    ASSERT_EQ(run({"aim", mission.path, "--burn", "4", "--body", "Mars", "--pass", "50", "-o", aimed.path}, out, err),
              0)
        << err;
    std::string text, error;
    ASSERT_TRUE(readMissionFile(aimed.path, text, error)) << error;
    MissionParse parse = parseMissionText(text, MissionData{});
    ASSERT_TRUE(parse.ok()) << parse.error;
    Ephemeris eph = Ephemeris::solarSystem();
    FlightReport r = flyMission(eph, parse.mission, defaultReportEnd(parse.mission));
    EXPECT_NEAR(r.closest[size_t(eph.find("Mars"))].distance, 50.0, 0.5);

    struct Refusal {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const Refusal refusals[] = {
        {{}, 2, "usage:"},
        {{"fly"}, 2, "unknown command fly"},
        {{"report", "--until"}, 2, "--until needs"},
        {{"report", "--until", "-5"}, 2, "--until needs"},
        {{"aim", mission.path, "--burn", "4", "--body", "Mars"}, 2, "either --at"},
        {{"aim", mission.path, "--burn", "4", "--body", "Mars", "--pass", "5", "--at", "9"}, 2, "either --at"},
        {{"report", broken.path}, 1, "line 1"},
        {{"report", "--until", "999999999999"}, 1, "lies more than"},
        {{"report", "/nonexistent/mission.txt"}, 1, "/nonexistent/mission.txt"},
        {{"aim", mission.path, "--burn", "4", "--body", "Vulcan", "--pass", "5"}, 1, "Vulcan"},
        {{"aim", mission.path, "--burn", "9", "--body", "Mars", "--pass", "5"}, 1, "has 4 burns"},
    };
    for (const Refusal& c : refusals) {
        EXPECT_EQ(run(c.args, out, err), c.code) << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
    }
}
