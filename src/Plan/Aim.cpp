#include "Plan/Aim.h"

#include "Demo/Spacecraft/FlightCore.h"
#include "Plan/MissionFlight.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <sstream>
#include <thread>

namespace Plan {

namespace {

using Demo::Maneuver;

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
    int32_t collided = -1; // the first body the flight went into, or -1
    bool usable() const { return valid && collided < 0; }
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
            // A flight through a body is no solution (the gravity sum leaves a body out while the craft is in it).
            for (size_t k = 0; k < f.count; ++k) {
                if (int32_t(k) == rules.craftIndex)
                    continue;
                const double dx = f.x[k] - before.x, dy = f.y[k] - before.y, dz = f.z[k] - before.z;
                if (dx * dx + dy * dy + dz * dz < f.radiusSquared[k] && o.collided < 0)
                    o.collided = int32_t(k);
            }
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
    const double goal = options.tolerance * D;
    Vec3d u = unknownsOf(original);
    Outcome base = problem.fly(u);
    result.flights = 1;
    if (!base.valid) {
        result.message = "the flight of " + name + " as planned does not stay finite";
        return result;
    }
    result.achievedBefore = base.closest;
    result.missBefore = std::abs(base.closest - D);
    result.deltaVBefore = deltaV(original, eph.timeStepLength);

    // The distance asked of the current stage, and for an arrival whether the point on the side the planned
    // flight reaches is asked (three conditions) or the distance alone (one: the smallest change that reaches it).
    double asked = D;
    bool freeDirection = target.kind == AimKind::Pass;
    const Vec3d side = Demo::length(base.relative) > 0.0 ? Demo::normalize(base.relative) : Vec3d{1.0, 0.0, 0.0};
    auto residual = [&](const Outcome& o) {
        Residual r;
        if (freeDirection) {
            r.r[0] = o.closest - asked;
        } else {
            Vec3d d = o.relative - side * asked;
            r.r = {d.x, d.y, d.z};
            r.m = 3;
        }
        return r;
    };

    Outcome now = base;
    Vec3d bestU = u;
    // Only a flight that stays out of every body counts as a result.
    Outcome best = base;
    if (!base.usable()) {
        best.closest = std::numeric_limits<double>::infinity();
        best.valid = false;
    }
    bool cancelled = false;
    // Damped least-norm Gauss–Newton from (u, now) until the stage's miss is below `enough`: the Jacobian by
    // forward differences (one flight per unknown), the step du = −Jᵀ (J Jᵀ + λ·s I)⁻¹ r tried at several
    // lengths at once; λ grows while no length improves on the current miss.
    auto iterate = [&](double enough) {
        Residual current = residual(now);
        double lambda = 1e-3;
        for (int it = 0; it < options.maxIterations && current.norm() > enough; ++it) {
            if (options.cancel && options.cancel->load(std::memory_order_relaxed)) {
                cancelled = true;
                return;
            }
            ++result.iterations;
            const double h = 1e-6 * std::max(Demo::length(u), 1.0);
            std::vector<Vec3d> probes = {u + Vec3d{h, 0.0, 0.0}, u + Vec3d{0.0, h, 0.0}, u + Vec3d{0.0, 0.0, h}};
            std::vector<Outcome> probed = problem.flyAll(probes, options.threads);
            result.flights += probes.size();
            double J[3][3] = {};
            const int m = current.m;
            for (int j = 0; j < 3; ++j) {
                if (!probed[size_t(j)].valid)
                    return;
                Residual rj = residual(probed[size_t(j)]);
                for (int i = 0; i < m; ++i)
                    J[i][j] = (rj.r[size_t(i)] - current.r[size_t(i)]) / h;
            }
            bool improved = false;
            for (int damping = 0; damping < 6 && !improved; ++damping) {
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
                for (int i = 0; i < m; ++i)
                    du += Vec3d{J[i][0], J[i][1], J[i][2]} * y[i];
                // No step longer than twice the burn as it stands: the linear model is local.
                const double cap = 2.0 * std::max(Demo::length(u), 1.0);
                if (Demo::length(du) > cap)
                    du = du * (cap / Demo::length(du));
                std::vector<Vec3d> tries = {u + du, u + du * 0.5, u + du * 0.25, u + du * 0.0625};
                std::vector<Outcome> tried = problem.flyAll(tries, options.threads);
                result.flights += tries.size();
                size_t pick = tries.size();
                // Out of a body first: from a flight that goes into one, any flight that does not is a step on.
                double pickNorm = now.usable() ? current.norm() : std::numeric_limits<double>::infinity();
                for (size_t k = 0; k < tried.size(); ++k) {
                    double n = tried[k].usable() ? residual(tried[k]).norm() : pickNorm;
                    if (n < pickNorm) {
                        pickNorm = n;
                        pick = k;
                    }
                }
                if (pick < tries.size()) {
                    u = tries[pick];
                    now = tried[pick];
                    current = residual(now);
                    improved = true;
                    lambda = pick == 0 ? std::max(lambda * 0.1, 1e-9) : lambda;
                } else {
                    lambda *= 10.0;
                }
            }
            if (now.usable() && std::abs(now.closest - D) < std::abs(best.closest - D)) {
                bestU = u;
                best = now;
            }
            if (options.progress)
                options.progress(result.iterations, std::abs(now.closest - D));
            if (!improved)
                return;
        }
    };
    auto solved = [&] { return std::abs(best.closest - D) <= goal; };

    // 1. From the planned burn (the smallest change of Δv when it works).
    iterate(0.1 * goal);
    // 2. An arrival from a guess that ignores gravity: the missing displacement spread over the time from the
    //    burn's middle to the step, as a velocity change in the burn's frame at its start. Far from the body the
    //    flight is nearly straight; the iteration corrects the rest.
    if (!solved() && !cancelled && target.kind == AimKind::Arrive) {
        const Maneuver& m = problem.burn();
        const double T = (double(end) - (double(m.time) + 0.5 * double(m.burn))) * eph.timeStepLength;
        const uint32_t fb = uint32_t(std::max(m.dominantObject, 0));
        const Vec3d bp = problem.ring.position(m.time, fb);
        const Vec3d bv = Demo::cachedBodyVelocity(bp, problem.ring.position(m.time + 4, fb), eph.timeStepLength);
        Demo::PnrFrame f = Demo::pnrFrame(problem.start.position, problem.start.velocity, bp, bv);
        if (f.defined && T > 0.0) {
            const Vec3d dv = (side * D - base.relative) / T;
            const Vec3d weights{dot(dv, f.prograde), dot(dv, f.normal), -dot(dv, f.radialOut)};
            const Vec3d guess = unknownsOf(original) + weights / (1e-7 * eph.timeStepLength);
            Outcome g = problem.fly(guess);
            ++result.flights;
            if (g.valid) {
                u = guess;
                now = g;
                iterate(0.1 * goal);
            }
        }
    }
    // 3. The distance alone, approached in stages (each a third of the way in ratio from the best distance so
    //    far): a chaotic flight that no single linearisation carries across is led there step by step.
    if (!solved() && !cancelled) {
        freeDirection = true;
        if (best.usable()) {
            u = bestU;
            now = best;
        }
        const double from = std::max(now.closest, D);
        const int stages = std::max(1, int(std::ceil(std::log(from / D) / std::log(3.0))));
        for (int k = 1; k <= stages && !cancelled; ++k) {
            asked = from * std::pow(D / from, double(k) / double(stages));
            iterate(k == stages ? 0.1 * goal : 0.05 * asked);
        }
        asked = D;
        if (!solved() && !cancelled && best.usable()) {
            u = bestU;
            now = best;
            iterate(0.1 * goal);
        }
    }
    const int32_t collided = now.collided;
    u = bestU;
    now = best;
    if (cancelled || (options.cancel && options.cancel->load(std::memory_order_relaxed))) {
        result.message = "aiming " + name + " was cancelled";
        return result;
    }
    result.missAfter = std::abs(now.closest - D);
    result.achievedAfter = now.closest;
    result.achievedStep = now.closestStep;
    if (!best.usable()) {
        result.message = name + " could not be aimed: every flight it was tried on goes into " +
                         eph.bodies[size_t(std::max(collided, base.collided))].name;
        return result;
    }
    if (result.missAfter > goal) {
        result.message = name + " could not be aimed: after " + std::to_string(result.iterations) +
                         " iterations the craft comes within " + fixed(now.closest) + " of " +
                         eph.bodies[size_t(target.body)].name + " (asked " + fixed(D) + ", miss " +
                         fixed(result.missAfter) + ")";
        return result;
    }
    result.ok = true;
    // Reached as planned: the burn stays as written.
    result.burn = u == unknownsOf(original) ? original : withUnknowns(original, u);
    result.deltaVAfter = deltaV(result.burn, eph.timeStepLength);
    result.message = name + " aimed in " + std::to_string(result.iterations) + " iterations (" +
                     std::to_string(result.flights) + " flights): " + eph.bodies[size_t(target.body)].name + " at " +
                     fixed(now.closest) + " (step " + std::to_string(now.closestStep) + ")";
    return result;
}

} // namespace Plan
