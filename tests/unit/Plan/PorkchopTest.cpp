// Porkchop grids: the two-body first guesses against known conics, a grid computed in shards and on any number
// of threads is the same bytes (this one also runs under ThreadSanitizer), its cheapest cell flown passes the target as
// asked (its CSV line read back is the burn of its mission), and the refusals.
#include "Plan/Porkchop.h"
#include "Plan/Lambert.h"
#include "Plan/MissionFlight.h"
#include "Plan/PlanCommand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace Plan;
using Demo::Vec3d;

namespace {

// Two-body flight by RK4 in small steps: the independent judge of a conic.
void propagate(Vec3d& r, Vec3d& v, double mu, double seconds, int steps) {
    const double h = seconds / steps;
    auto acc = [mu](const Vec3d& p) { return p * (-mu / std::pow(Demo::length(p), 3)); };
    for (int k = 0; k < steps; ++k) {
        const Vec3d k1v = acc(r), k1r = v;
        const Vec3d k2v = acc(r + k1r * (h / 2)), k2r = v + k1v * (h / 2);
        const Vec3d k3v = acc(r + k2r * (h / 2)), k3r = v + k2v * (h / 2);
        const Vec3d k4v = acc(r + k3r * h), k4r = v + k3v * h;
        r += (k1r + k2r * 2.0 + k3r * 2.0 + k4r) * (h / 6);
        v += (k1v + k2v * 2.0 + k3v * 2.0 + k4v) * (h / 6);
    }
}

struct TempDir {
    TempDir() {
        path = std::filesystem::temp_directory_path() /
               ("kestrune-porkchop-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
    std::filesystem::path path;
};

int run(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    const int code = runPlanCommand(args, o, e);
    out = o.str();
    err = e.str();
    return code;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(PorkchopGuess, LambertArcsAndTheEscapeHyperbolaMatchKnownConics) {
    struct Case {
        const char* name;
        Vec3d r1, r2;
        double seconds, mu;
        Vec3d normal;
        Vec3d v1, v2; // expected (zero: judged by propagation only)
        double tolerance;
    };
    const Case cases[] = {
        // Curtis, Orbital Mechanics for Engineering Students, example 5.2 (km, s).
        {"textbook",
         {5000, 10000, 2100},
         {-14600, 2500, 7000},
         3600,
         398600,
         {0, 0, 1},
         {-5.9925, 1.9254, 3.2456},
         {-3.3125, -4.1966, -0.38529},
         1e-3},
        // A quarter of a circle, and three quarters the other way round.
        {"quarter circle", {1, 0, 0}, {0, 1, 0}, M_PI / 2, 1, {0, 0, 1}, {0, 1, 0}, {-1, 0, 0}, 1e-9},
        {"three quarters retrograde", {1, 0, 0}, {0, 1, 0}, 3 * M_PI / 2, 1, {0, 0, -1}, {0, -1, 0}, {1, 0, 0}, 1e-9},
        // A fast hyperbolic arc of the long way round.
        {"hyperbolic, long way", {1, 0, 0}, {0.5, -1.5, 0.2}, 0.6, 1, {0, 0, 1}, {}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<LambertArc> arc = lambert(c.r1, c.r2, c.seconds, c.mu, c.normal);
        ASSERT_TRUE(arc);
        if (c.tolerance > 0) {
            EXPECT_NEAR(Demo::length(arc->departure - c.v1), 0.0, c.tolerance);
            EXPECT_NEAR(Demo::length(arc->arrival - c.v2), 0.0, c.tolerance);
        }
        Vec3d r = c.r1, v = arc->departure;
        propagate(r, v, c.mu, c.seconds, 20000);
        EXPECT_LT(Demo::length(r - c.r2), 1e-6 * Demo::length(c.r2));
        EXPECT_LT(Demo::length(v - arc->arrival), 1e-6 * Demo::length(arc->arrival));
        EXPECT_GT(Demo::dot(Demo::cross(c.r1, arc->departure), c.normal), 0.0); // the way asked
    }
    EXPECT_FALSE(lambert({1, 0, 0}, {-1, 0, 0}, 3.0, 1.0, {0, 0, 1})); // half a turn: no plane
    EXPECT_FALSE(lambert({1, 0, 0}, {0, 1, 0}, 0.0, 1.0, {0, 0, 1}));

    // Leaving along an asymptote, each way round: flown far out, the velocity has the asked direction and speed,
    // and the hyperbola taken is the one nearer the velocity given.
    const Vec3d position{1.2, -0.3, 0.1}, excess{0.03, 0.05, -0.01};
    const Vec3d forward = Demo::cross(Demo::cross(position, excess), position), backward = forward * -1.0;
    for (const Vec3d& near : {forward, backward}) {
        Vec3d r = position, v = escapeVelocity(position, excess, 1.0, near, 0.3);
        EXPECT_GT(Demo::dot(v, near), 0.0);
        EXPECT_NEAR(Demo::dot(v, v) / 2 - 1.0 / Demo::length(position), Demo::dot(excess, excess) / 2, 1e-12);
        propagate(r, v, 1.0, 100.0, 100000); // past periapsis in fine steps, then far out
        propagate(r, v, 1.0, 3e5, 30000);
        EXPECT_GT(Demo::dot(Demo::normalize(v), Demo::normalize(excess)), 0.9999);
    }
}

TEST(PorkchopCommand, ShardsAndThreadsGiveTheSameGridAndItsCheapestCellPassesTheTarget) {
    TempDir dir;
    std::string out, err;
    // Earth to Luna from the built-in start: flights of a few hundred steps.
    const std::vector<std::string> grid = {"porkchop", "--from",        "Earth",    "--to",         "Luna",
                                           "--depart", "1000:1200:200", "--arrive", "1500:1700:100"};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> a = grid;
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    };
    ASSERT_EQ(run(with({"--jobs", "2", "-o", dir.file("full.csv"), "--write-mission", dir.file("best.txt")}), out, err),
              0)
        << err;
    const std::string full = slurp(dir.file("full.csv"));
    std::string shards = std::string(PorkchopCsvHeader) + "\n";
    // Shards on one job, the last a single cell whose aim flies on two threads.
    for (auto [cells, jobs] : {std::pair{"0:2", "1"}, {"2:5", "1"}, {"5:6", "2"}}) {
        ASSERT_EQ(run(with({"--jobs", jobs, "--cells", cells, "-o", dir.file("shard.csv")}), out, err), 0) << err;
        const std::string s = slurp(dir.file("shard.csv"));
        shards += s.substr(s.find('\n') + 1);
    }
    EXPECT_EQ(shards, full);
    EXPECT_EQ(std::count(full.begin(), full.end(), '\n'), 7);
    EXPECT_NE(full.find(",yes,"), std::string::npos) << full;
    EXPECT_FALSE(std::filesystem::exists(dir.file("full.csv.part")));

    // The cheapest cell's mission, flown: Luna passed at five of its radii within 1%.
    std::string text, error;
    ASSERT_TRUE(Demo::readMissionFile(dir.file("best.txt"), text, error)) << error;
    Demo::MissionParse parse = Demo::parseMissionText(text, Demo::MissionData{});
    ASSERT_TRUE(parse.ok()) << parse.error;
    Ephemeris eph = Ephemeris::solarSystem();
    const int32_t luna = eph.find("Luna");

    // The cheapest cell's CSV line, taken as the mission editor takes it, is the burn the mission holds.
    std::istringstream lines(full.substr(full.find('\n') + 1));
    Demo::TransferText cheapest;
    cheapest.error = "none";
    for (std::string line; std::getline(lines, line);) {
        Demo::TransferText t = Demo::readTransferText(line, eph.find("Earth"), eph.bodies.size(), 0);
        if (t.ok() && (!cheapest.ok() || t.deltaV < cheapest.deltaV))
            cheapest = t;
    }
    ASSERT_TRUE(cheapest.ok()) << full;
    ASSERT_FALSE(parse.mission.maneuvers.empty());
    const Demo::Maneuver &a = cheapest.burn, &b = parse.mission.maneuvers.back();
    EXPECT_TRUE(a.time == b.time && a.burn == b.burn && a.direction == b.direction && a.thrust == b.thrust &&
                a.continuous == b.continuous && a.dominantObject == b.dominantObject &&
                a.rotationSpeed == b.rotationSpeed)
        << Demo::missionFileText({0, {a, b}});

    const FlightReport r = flyMission(eph, parse.mission, 5000);
    EXPECT_NEAR(r.closest[size_t(luna)].distance, 5.0 * eph.bodies[size_t(luna)].radius,
                0.01 * 5.0 * eph.bodies[size_t(luna)].radius);
}

TEST(PorkchopCommand, RefusesBadInputNamingItAndWritesNothing) {
    TempDir dir;
    const std::string csv = dir.file("grid.csv");
    struct Refusal {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    auto grid = [&](const std::string& depart, const std::string& arrive, std::vector<std::string> extra = {}) {
        std::vector<std::string> a = {"porkchop", "--from",   "Earth", "--to", "Mars", "--depart",
                                      depart,     "--arrive", arrive,  "-o",   csv};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    };
    const Refusal refusals[] = {
        {{"porkchop", "--from", "Earth", "--to", "Vulcan", "--depart", "1:2:1", "--arrive", "3:4:1", "-o", csv},
         1,
         "no body named \"Vulcan\""},
        {grid("9:2:1", "3:4:1"), 2, "--depart 9:2:1: the range is reversed"},
        {grid("1:2:0", "3:4:1"), 2, "--depart 1:2:0: the step is 0"},
        {grid("1:2:1", "3:x:1"), 2, "--arrive needs FIRST:LAST:STEP"},
        {grid("0:18446744073709551615:1", "3:4:1"), 2, "more than 10000000 cells"},
        {grid("1:2:1", "3:4:1", {"--distance", "-3"}), 2, "--distance needs a positive number"},
        {grid("1:2:1", "3:4:1", {"--cells", "3:9"}), 2, "--cells 3:9 is not a non-empty range within the grid's 4"},
        {grid("1:2:1", "3:4:1", {"--cells", "2:2"}), 2, "--cells 2:2"},
        {{"porkchop", "--from", "Earth", "--to", "Mars", "--depart", "1:2:1", "--arrive", "3:4:1"}, 2, "needs -o"},
        {grid("1:2:1", "3:200000000:1000000"), 1, "(the longest flight)"},
        {grid("1:2:1", "3:2000000:1000"), 1, "(the longest aimed flight)"},
        {grid("1:2:1", "3:4:1", {"--mission", dir.file("missing.txt")}), 1, "missing.txt"},
        {grid("1:2:1", "3:4:1", {"-o", dir.file("no/such/dir/grid.csv")}), 1, "no/such/dir/grid.csv: cannot be"},
    };
    std::string out, err;
    for (const Refusal& c : refusals) {
        EXPECT_EQ(run(c.args, out, err), c.code) << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(c.code == 2, err.find("usage:") != std::string::npos) << err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path)); // no grid, no part file
}
