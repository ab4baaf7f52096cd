#include "Plan/Porkchop.h"

#include "Plan/Aim.h"
#include "Plan/Lambert.h"
#include "Plan/MissionFlight.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>
#include <thread>

namespace Plan {

namespace {

// Δv = thrust × 1e-7 × step length, whatever the burn's length.
constexpr double ThrustUnit = 1e-7;

Demo::MissionData coastMission(const PorkchopGrid& grid, uint64_t depart) {
    Demo::MissionData m = grid.mission;
    std::erase_if(m.maneuvers, [&](const Demo::Maneuver& b) { return b.end() > depart; });
    return m;
}

void append(std::string& out, double x) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), x);
    out.append(buffer, ec == std::errc() ? end : buffer);
}

} // namespace

double defaultArrivalDistance(const Ephemeris& eph, int32_t to) {
    return 5.0 * double(eph.bodies[size_t(to)].radius);
}

int32_t commonDominantBody(const Ephemeris& eph, int32_t a, int32_t b) {
    for (int32_t i = a; i >= 0; i = eph.bodies[size_t(i)].parent)
        for (int32_t j = b; j >= 0; j = eph.bodies[size_t(j)].parent)
            if (i == j)
                return i;
    return -1;
}

uint64_t burnLengthFor(double thrust, uint64_t flightSteps) {
    const double wanted = std::clamp(std::round(10.0 * thrust), 20.0, 2000.0);
    return std::max<uint64_t>(1, std::min<uint64_t>(uint64_t(wanted), flightSteps / 4));
}

uint64_t flybyWindow(uint64_t depart, uint64_t arrive) {
    const uint64_t flight = arrive - depart;
    const uint64_t wanted = std::clamp<uint64_t>(flight / 4, 2000, 50000);
    return flight >= MaxAimSteps ? 0 : std::min(wanted, MaxAimSteps - flight);
}

std::optional<Demo::Maneuver> firstGuess(Ephemeris& eph, const PorkchopGrid& grid, uint64_t depart, uint64_t arrive) {
    if (arrive <= depart + 4)
        return std::nullopt;
    const int32_t centre = commonDominantBody(eph, grid.from, grid.to);
    const Demo::FlightState s = stateAt(eph, coastMission(grid, depart), depart);
    const Vec3d cp = centre >= 0 ? eph.position(centre, depart) : Vec3d{};
    const Vec3d cv = centre >= 0 ? eph.velocity(centre, depart) : Vec3d{};
    const Vec3d fp = eph.position(grid.from, depart), fv = eph.velocity(grid.from, depart);
    const double muCentre = centre >= 0 ? eph.bodies[size_t(centre)].mu() : eph.rootMu;
    const Vec3d r2 = eph.position(grid.to, arrive) - (centre >= 0 ? eph.position(centre, arrive) : Vec3d{});
    const double seconds = double(arrive - depart) * eph.timeStepLength;
    // Leaving a body for one beyond it: the arc from the body, left along the hyperbola's asymptote. Within the
    // body's own system (Earth to Luna): the arc from the craft. Prograde: the way the body, or the craft, goes.
    const bool leavesBody = grid.from != centre;
    const Vec3d r1 = (leavesBody ? fp : s.position) - cp;
    const Vec3d normal = Demo::cross(r1, (leavesBody ? fv : s.velocity) - cv);
    std::optional<LambertArc> arc = lambert(r1, r2, seconds, muCentre, normal);
    if (!arc)
        return std::nullopt;
    Vec3d wanted = arc->departure + cv;
    if (leavesBody)
        wanted = fv + escapeVelocity(s.position - fp, arc->departure + cv - fv, eph.bodies[size_t(grid.from)].mu(),
                                     s.velocity - fv, double(eph.bodies[size_t(grid.from)].radius));
    const Vec3d dv = wanted - s.velocity;
    const Demo::PnrFrame f = Demo::pnrFrame(s.position, s.velocity, fp, fv);
    if (!f.defined || !(Demo::length(dv) > 0.0))
        return std::nullopt;
    const double thrust = Demo::length(dv) / (ThrustUnit * eph.timeStepLength);
    return Demo::departureBurn(depart, burnLengthFor(thrust, arrive - depart),
                               Demo::normalize(Vec3d{dot(dv, f.prograde), dot(dv, f.normal), -dot(dv, f.radialOut)}),
                               thrust, grid.from);
}

Demo::MissionData cellMission(const PorkchopGrid& grid, const PorkchopCell& cell) {
    Demo::MissionData m = coastMission(grid, cell.depart);
    m.maneuvers.push_back(cell.burn);
    return m;
}

PorkchopCell computeCell(Ephemeris& eph, const PorkchopGrid& grid, size_t index, unsigned aimThreads,
                         const std::atomic<bool>* cancel) {
    PorkchopCell cell;
    const size_t n = grid.arrive.count();
    cell.depart = grid.depart.at(index / n);
    cell.arrive = grid.arrive.at(index % n);
    std::optional<Demo::Maneuver> guess = firstGuess(eph, grid, cell.depart, cell.arrive);
    if (!guess)
        return cell;
    cell.burn = *guess;
    cell.deltaV = std::abs(guess->thrust) * ThrustUnit * eph.timeStepLength;
    Demo::MissionData m = cellMission(grid, cell);
    const size_t burn = m.maneuvers.size() - 1;
    AimTarget target;
    target.kind = AimKind::Arrive;
    target.body = grid.to;
    target.distance = grid.distance;
    target.step = cell.arrive;
    AimOptions options;
    options.threads = std::max(1u, aimThreads);
    options.cancel = cancel;
    const AimResult r = aimBurn(eph, m, burn, target, options);
    if (r.achievedAfter > 0.0 && std::isfinite(r.missAfter))
        cell.miss = r.missAfter;
    if (!r.ok)
        return cell;
    cell.burn = r.burn;
    cell.deltaV = r.deltaVAfter;
    // Reaching the distance at the step is not yet passing the body there: the craft may still be closing in and
    // go through it. From the arrival aimed, the closest approach up to shortly after the step is aimed at the
    // same distance, so that the cell's transfer is a flyby at that distance.
    m.maneuvers[burn] = r.burn;
    target.kind = AimKind::Pass;
    target.step = cell.arrive + flybyWindow(cell.depart, cell.arrive);
    const AimResult p = aimBurn(eph, m, burn, target, options);
    cell.miss = std::isfinite(p.missAfter) && p.achievedAfter > 0.0 ? p.missAfter : PorkchopCell::None;
    if (!p.ok)
        return cell;
    cell.converged = true;
    cell.burn = p.burn;
    cell.deltaV = p.deltaVAfter;
    m.maneuvers[burn] = p.burn;
    const Demo::FlightState s = stateAt(eph, m, cell.arrive);
    cell.arrivalSpeed = Demo::length(s.velocity - eph.velocity(grid.to, cell.arrive));
    return cell;
}

std::vector<PorkchopCell> computeCells(const PorkchopGrid& grid, size_t first, size_t end, unsigned jobs,
                                       const std::function<void(size_t)>& progress, const std::atomic<bool>* cancel) {
    const size_t count = end > first ? end - first : 0;
    std::vector<PorkchopCell> cells(count);
    if (count == 0)
        return cells;
    const unsigned workers = unsigned(std::clamp<size_t>(jobs, 1, count));
    // One cell alone takes the cores inside its aim; otherwise the cells are the parallelism.
    const unsigned aimThreads = count == 1 ? std::max(1u, jobs) : 1u;
    std::atomic<size_t> next{0};
    std::mutex lock;
    size_t done = 0;
    auto stopped = [&] { return cancel && cancel->load(std::memory_order_relaxed); };
    auto work = [&] {
        Ephemeris eph = Ephemeris::solarSystem();
        for (size_t k; !stopped() && (k = next.fetch_add(1)) < count;) {
            cells[k] = computeCell(eph, grid, first + k, aimThreads, cancel);
            if (stopped())
                return;
            std::lock_guard<std::mutex> guard(lock);
            ++done;
            if (progress)
                progress(done);
        }
    };
    std::vector<std::thread> pool;
    for (unsigned w = 1; w < workers; ++w)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();
    if (stopped())
        cells.resize(done < count ? 0 : count);
    return cells;
}

std::string porkchopCsvLine(const PorkchopCell& c) {
    std::string s = std::to_string(c.depart) + "," + std::to_string(c.arrive) + ",";
    append(s, c.deltaV);
    s += ",";
    append(s, c.arrivalSpeed);
    s += ",";
    append(s, c.miss);
    s += c.converged ? ",yes," : ",no,";
    s += std::to_string(c.burn.burn) + ",";
    append(s, c.burn.direction.x);
    s += ",";
    append(s, c.burn.direction.y);
    s += ",";
    append(s, c.burn.direction.z);
    s += ",";
    append(s, c.burn.thrust);
    return s;
}

} // namespace Plan
