#include "Plan/Aim.h"

#include "Demo/Spacecraft/FlightCore.h"
#include "Plan/MissionFlight.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <sstream>
#include <thread>

namespace Plan {

namespace {

using Demo::Maneuver;

// The longest stretch a candidate flies: the ring for it is held whole (29 bodies: about 175 MB).
constexpr uint64_t MaxAimSteps = 4000000;

double deltaV(const Maneuver& m, double stepLength) {
    return std::abs(m.thrust) * 1e-7 * stepLength;
}

// The burn's velocity change as one vector in its P, N, R weights: the unknowns.
Vec3d unknownsOf(const Maneuver& m) {
    return Demo::normalize(m.direction) * m.thrust;
}
Maneuver withUnknowns(Maneuver m, const Vec3d& u) {
    double l = Demo::length(u);
    m.direction = l > 0.0 ? u / l : m.direction;
    m.thrust = l;
    return m;
}

struct Outcome {
    double closest = 0.0; // Pass: the closest distance; Arrive: the distance at the step
    uint64_t closestStep = 0;
    Vec3d relative; // Arrive: craft minus body at the step
    bool valid = false;
};

class Problem {
public:
    Problem(Ephemeris& eph_, const Demo::MissionData& mission, size_t burn_, const AimTarget& target_, uint64_t end_,
            const std::atomic<bool>* cancel_)
        : eph(eph_), target(target_), end(end_), cancel(cancel_) {
        Demo::sortBurns(mission.maneuvers, sorted, order);
        for (size_t k = 0; k < order.size(); ++k)
            if (size_t(order[k]) == burn_)
                slot = k;
        std::vector<Demo::GravityBody> g = eph.gravityBodies();
        field.assign(g.data(), g.size());
        start = stateAt(eph, mission, sorted[slot].time);
        eph.cover(sorted[slot].time, end);
        ring = eph.view();
    }

    Outcome fly(const Vec3d& u) const {
        std::vector<Maneuver> burns = sorted;
        burns[slot] = withUnknowns(burns[slot], u);
        Demo::FlightRules rules;
        rules.maneuvers = burns.data();
        rules.maneuverCount = burns.size();
        rules.craftIndex = eph.craftIndex;
        Demo::GravityField f = field;
        Demo::FlightState s = start;
        s.loadedSlot = UINT64_MAX;
        Outcome o;
        double best = std::numeric_limits<double>::infinity();
        const size_t b = size_t(target.body);
        const uint64_t from = burns[slot].time;
        const uint64_t watchFrom = burns[slot].end();
        for (uint64_t t = from; t < end; ++t) {
            if (((t - from) & 65535) == 0 && cancel && cancel->load(std::memory_order_relaxed))
                return o;
            const Vec3d before = s.position;
            Demo::flightStep(s, f, ring, rules, t);
            if (target.kind == AimKind::Pass && t >= watchFrom) {
                Vec3d d = before - f.position(b);
                double q = d.x * d.x + d.y * d.y + d.z * d.z;
                if (q < best) {
                    best = q;
                    o.closestStep = t;
                }
            }
        }
        if (target.kind == AimKind::Pass) {
            o.closest = std::sqrt(best);
        } else {
            o.relative = s.position - ring.position(end, uint32_t(b));
            o.closest = Demo::length(o.relative);
            o.closestStep = end;
        }
        o.valid = std::isfinite(o.closest) && std::isfinite(s.position.x);
        return o;
    }

    // The candidates flown on up to `threads` threads at once.
    std::vector<Outcome> flyAll(const std::vector<Vec3d>& us, unsigned threads) const {
        std::vector<Outcome> out(us.size());
        const unsigned n = std::max(1u, std::min<unsigned>(threads, unsigned(us.size())));
        std::vector<std::thread> pool;
        for (unsigned w = 1; w < n; ++w)
            pool.emplace_back([&, w] {
                for (size_t k = w; k < us.size(); k += n)
                    out[k] = fly(us[k]);
            });
        for (size_t k = 0; k < us.size(); k += n)
            out[k] = fly(us[k]);
        for (std::thread& t : pool)
            t.join();
        return out;
    }

    const Maneuver& burn() const { return sorted[slot]; }

    Ephemeris& eph;
    AimTarget target;
    uint64_t end;
    const std::atomic<bool>* cancel;
    std::vector<Maneuver> sorted;
    std::vector<int32_t> order;
    size_t slot = 0;
    Demo::GravityField field;
    Demo::FlightState start;
    Demo::BodyCacheView ring;
};

// Residuals: Pass, one (closest − asked); Arrive, three (craft − body − the aimed point).
struct Residual {
    std::array<double, 3> r{};
    int m = 1;
    double norm() const {
        double q = 0.0;
        for (int i = 0; i < m; ++i)
            q += r[size_t(i)] * r[size_t(i)];
        return std::sqrt(q);
    }
};

// Solves the m × m system A x = b (m ≤ 3) by elimination with partial pivoting; false when singular.
bool solve(int m, double A[3][3], double b[3], double x[3]) {
    for (int c = 0; c < m; ++c) {
        int p = c;
        for (int r = c + 1; r < m; ++r)
            if (std::abs(A[r][c]) > std::abs(A[p][c]))
                p = r;
        if (!(std::abs(A[p][c]) > 0.0))
            return false;
        std::swap(A[c], A[p]);
        std::swap(b[c], b[p]);
        for (int r = c + 1; r < m; ++r) {
            double f = A[r][c] / A[c][c];
            for (int k = c; k < m; ++k)
                A[r][k] -= f * A[c][k];
            b[r] -= f * b[c];
        }
    }
    for (int c = m - 1; c >= 0; --c) {
        double s = b[c];
        for (int k = c + 1; k < m; ++k)
            s -= A[c][k] * x[k];
        x[c] = s / A[c][c];
    }
    return true;
}

std::string fixed(double x, int precision = 3) {
    std::ostringstream os;
    os.setf(std::ios::fixed);
    os.precision(precision);
    os << x;
    return os.str();
}

} // namespace

AimResult aimBurn(Ephemeris& eph, const Demo::MissionData& mission, size_t burn, const AimTarget& target,
                  const AimOptions& options) {
    AimResult result;
    const std::string name = "burn " + std::to_string(burn + 1);
    if (burn >= mission.maneuvers.size()) {
        result.message =
            name + " does not exist: the mission has " + std::to_string(mission.maneuvers.size()) + " burns";
        return result;
    }
    const Maneuver& original = mission.maneuvers[burn];
    if (original.burn == 0) {
        result.message = name + " has a length of 0 steps: its thrust cannot change the flight";
        return result;
    }
    if (target.body < 0 || size_t(target.body) >= eph.bodies.size() || target.body == eph.craftIndex) {
        result.message = "the target is not a body of the system";
        return result;
    }
    if (!(target.distance > 0.0) || !std::isfinite(target.distance)) {
        result.message = "the distance to aim at must be a positive number of world units";
        return result;
    }
    if (original.time < mission.startTimeStep) {
        result.message = name + " starts before the mission's start step";
        return result;
    }
    uint64_t end = target.step;
    if (target.kind == AimKind::Pass && end == 0) {
        // Up to the next burn's start, or a report's tail after the last burn.
        end = original.end() + ReportTailSteps;
        for (const Maneuver& m : mission.maneuvers)
            if (m.time >= original.end() && m.time < end)
                end = m.time;
    }
    if (end <= original.end()) {
        result.message = "step " + std::to_string(end) + " is not after the end of " + name + " (step " +
                         std::to_string(original.end()) + ")";
        return result;
    }
    if (end - original.time > MaxAimSteps) {
        result.message = "step " + std::to_string(end) + " lies more than " + std::to_string(MaxAimSteps) +
                         " steps after the start of " + name;
        return result;
    }

    Problem problem(eph, mission, burn, target, end, options.cancel);
    const double D = target.distance;
    Vec3d u = unknownsOf(original);
    Outcome base = problem.fly(u);
    result.flights = 1;
    if (!base.valid) {
        result.message = "the flight of " + name + " as planned does not stay finite";
        return result;
    }
    result.achievedBefore = base.closest;
    result.deltaVBefore = deltaV(original, eph.timeStepLength);
    // Arrive: the point at the asked distance on the side the planned flight reaches.
    Vec3d aimPoint = Demo::normalize(base.relative) * D;
    if (!(Demo::length(base.relative) > 0.0))
        aimPoint = {D, 0.0, 0.0};
    auto residual = [&](const Outcome& o) {
        Residual r;
        if (target.kind == AimKind::Pass) {
            r.r[0] = o.closest - D;
        } else {
            Vec3d d = o.relative - aimPoint;
            r.r = {d.x, d.y, d.z};
            r.m = 3;
        }
        return r;
    };
    Residual current = residual(base);
    result.missBefore = current.norm();
    const double goal = options.tolerance * D;
    double lambda = 1e-3;
    Outcome now = base;
    for (int it = 0; it < options.maxIterations && current.norm() > goal; ++it) {
        if (options.cancel && options.cancel->load(std::memory_order_relaxed)) {
            result.message = "aiming " + name + " was cancelled";
            return result;
        }
        result.iterations = it + 1;
        // Forward differences: one flight per unknown.
        const double h = 1e-6 * std::max(Demo::length(u), 1.0);
        std::vector<Vec3d> probes = {u + Vec3d{h, 0.0, 0.0}, u + Vec3d{0.0, h, 0.0}, u + Vec3d{0.0, 0.0, h}};
        std::vector<Outcome> probed = problem.flyAll(probes, options.threads);
        result.flights += probes.size();
        double J[3][3] = {};
        const int m = current.m;
        bool usable = true;
        for (int j = 0; j < 3; ++j) {
            if (!probed[size_t(j)].valid)
                usable = false;
            Residual rj = residual(probed[size_t(j)]);
            for (int i = 0; i < m; ++i)
                J[i][j] = (rj.r[size_t(i)] - current.r[size_t(i)]) / h;
        }
        if (!usable)
            break;
        // Damped least-norm step du = −Jᵀ (J Jᵀ + λ·s I)⁻¹ r, tried at several lengths at once; λ grows when no
        // length improves on the current miss.
        bool improved = false;
        for (int attempt = 0; attempt < 4 && !improved; ++attempt) {
            double A[3][3] = {}, b[3] = {}, y[3] = {};
            double scale = 0.0;
            for (int i = 0; i < m; ++i)
                for (int k = 0; k < m; ++k) {
                    for (int j = 0; j < 3; ++j)
                        A[i][k] += J[i][j] * J[k][j];
                    if (i == k)
                        scale += A[i][i];
                }
            scale = scale > 0.0 ? scale / m : 1.0;
            for (int i = 0; i < m; ++i) {
                A[i][i] += lambda * scale;
                b[i] = -current.r[size_t(i)];
            }
            if (!solve(m, A, b, y)) {
                lambda *= 10.0;
                continue;
            }
            Vec3d du;
            for (int i = 0; i < m; ++i) {
                du.x += J[i][0] * y[i];
                du.y += J[i][1] * y[i];
                du.z += J[i][2] * y[i];
            }
            // No step longer than twice the burn as it stands: the linear model is local.
            const double cap = 2.0 * std::max(Demo::length(u), 1.0);
            if (Demo::length(du) > cap)
                du = du * (cap / Demo::length(du));
            std::vector<Vec3d> tries = {u + du, u + du * 0.5, u + du * 0.25, u + du * 0.125};
            std::vector<Outcome> tried = problem.flyAll(tries, options.threads);
            result.flights += tries.size();
            size_t best = tries.size();
            double bestNorm = current.norm();
            for (size_t k = 0; k < tried.size(); ++k) {
                if (!tried[k].valid)
                    continue;
                double n = residual(tried[k]).norm();
                if (n < bestNorm) {
                    bestNorm = n;
                    best = k;
                }
            }
            if (best < tries.size()) {
                u = tries[best];
                now = tried[best];
                current = residual(now);
                improved = true;
                lambda = best == 0 ? std::max(lambda * 0.1, 1e-9) : lambda;
            } else {
                lambda *= 10.0;
            }
        }
        if (options.progress)
            options.progress(it + 1, current.norm());
        if (!improved)
            break;
    }
    if (options.cancel && options.cancel->load(std::memory_order_relaxed)) {
        result.message = "aiming " + name + " was cancelled";
        return result;
    }
    result.missAfter = current.norm();
    result.achievedAfter = now.closest;
    result.achievedStep = now.closestStep;
    if (result.missAfter > goal) {
        result.message = name + " could not be aimed: after " + std::to_string(result.iterations) +
                         " iterations the craft comes within " + fixed(now.closest) + " of " +
                         eph.bodies[size_t(target.body)].name + " (asked " + fixed(D) + ", miss " +
                         fixed(result.missAfter) + ")";
        return result;
    }
    result.ok = true;
    result.burn = withUnknowns(original, u);
    result.deltaVAfter = deltaV(result.burn, eph.timeStepLength);
    result.message = name + " aimed in " + std::to_string(result.iterations) + " iterations (" +
                     std::to_string(result.flights) + " flights): " + eph.bodies[size_t(target.body)].name + " at " +
                     fixed(now.closest) + " (step " + std::to_string(now.closestStep) + ")";
    return result;
}

} // namespace Plan
