#include "Demo/Spacecraft/FlightMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace Demo {

namespace {

// Body i's contribution goes to partial sum i mod 4; the four are added as (s0 + s1) + (s2 + s3) at the end. The
// scalar loop and the four-wide one below make the same operations in the same order, so they give the same bits.
constexpr int Lanes = 4;

struct GravityPartialSums {
    double a[3][Lanes] = {};
    double strongest[Lanes] = {};
    int32_t index[Lanes] = {-1, -1, -1, -1};

    GravityResult result() const {
        GravityResult r;
        r.acceleration = {(a[0][0] + a[0][1]) + (a[0][2] + a[0][3]), (a[1][0] + a[1][1]) + (a[1][2] + a[1][3]),
                          (a[2][0] + a[2][1]) + (a[2][2] + a[2][3])};
        // The strictly greatest pull; between equal ones the lower index (each lane kept its first).
        double best = 0.0;
        for (int l = 0; l < Lanes; ++l)
            if (index[l] >= 0 && (strongest[l] > best || (strongest[l] == best && index[l] < r.strongest))) {
                best = strongest[l];
                r.strongest = index[l];
            }
        return r;
    }
};

// One body's contribution to partial sum `lane`: skipped when the craft is inside it, when it is too far to
// matter or when it is the craft's own entry; otherwise a = μ/q along d/|d|, one square root and one division, a
// recovered as (μ/(q|d|))·|d|.
inline void addBody(GravityPartialSums& sums, int lane, int32_t index, int32_t skip, double dx, double dy, double dz,
                    double mu, double radiusSquared) {
    double q = dx * dx + dy * dy + dz * dz;
    if (q > mu * GravityFarLimit || q < radiusSquared || index == skip)
        return;
    double d = std::sqrt(q);
    double k = mu / (q * d);
    double a = k * d;
    sums.a[0][lane] += dx * k;
    sums.a[1][lane] += dy * k;
    sums.a[2][lane] += dz * k;
    if (a > sums.strongest[lane]) {
        sums.strongest[lane] = a;
        sums.index[lane] = index;
    }
}

// Parallel arrays whose element i belongs to lane i mod 4, padded to a multiple of four.
struct GravityLanes {
    const double *x, *y, *z, *mu, *radiusSquared, *index;
    size_t padded;
};

GravityResult gravitySumScalar(const Vec3d& p, const GravityLanes& f, int32_t skip) {
    GravityPartialSums sums;
    for (size_t i = 0; i < f.padded; ++i)
        addBody(sums, int(i % Lanes), int32_t(f.index[i]), skip, f.x[i] - p.x, f.y[i] - p.y, f.z[i] - p.z, f.mu[i],
                f.radiusSquared[i]);
    return sums.result();
}

#if defined(__x86_64__)
// Four bodies per instruction: the square roots and divisions, whose throughput bounds this loop, cost per element
// a quarter of the scalar ones.
__attribute__((target("avx"))) GravityResult gravitySumAvx(const Vec3d& p, const GravityLanes& f, int32_t skip) {
    const __m256d px = _mm256_set1_pd(p.x), py = _mm256_set1_pd(p.y), pz = _mm256_set1_pd(p.z);
    const __m256d far = _mm256_set1_pd(GravityFarLimit);
    const __m256d skipped = _mm256_set1_pd(double(skip));
    __m256d ax = _mm256_setzero_pd(), ay = _mm256_setzero_pd(), az = _mm256_setzero_pd();
    __m256d best = _mm256_setzero_pd(), bestIndex = _mm256_set1_pd(-1.0);
    for (size_t i = 0; i < f.padded; i += Lanes) {
        __m256d dx = _mm256_sub_pd(_mm256_loadu_pd(f.x + i), px);
        __m256d dy = _mm256_sub_pd(_mm256_loadu_pd(f.y + i), py);
        __m256d dz = _mm256_sub_pd(_mm256_loadu_pd(f.z + i), pz);
        __m256d mu = _mm256_loadu_pd(f.mu + i);
        __m256d index = _mm256_loadu_pd(f.index + i);
        __m256d q = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)), _mm256_mul_pd(dz, dz));
        // Counted unless q > μ·limit, q < r² (the padding's r² is infinite) or it is the craft's own entry;
        // unordered comparisons count, as in the scalar test.
        __m256d counted = _mm256_and_pd(_mm256_cmp_pd(q, _mm256_mul_pd(mu, far), _CMP_NGT_UQ),
                                        _mm256_cmp_pd(q, _mm256_loadu_pd(f.radiusSquared + i), _CMP_NLT_UQ));
        counted = _mm256_and_pd(counted, _mm256_cmp_pd(index, skipped, _CMP_NEQ_OQ));
        __m256d d = _mm256_sqrt_pd(q);
        __m256d k = _mm256_and_pd(_mm256_div_pd(mu, _mm256_mul_pd(q, d)), counted);
        __m256d a = _mm256_mul_pd(k, d);
        ax = _mm256_add_pd(ax, _mm256_mul_pd(dx, k));
        ay = _mm256_add_pd(ay, _mm256_mul_pd(dy, k));
        az = _mm256_add_pd(az, _mm256_mul_pd(dz, k));
        // Selects by bits (x ^ ((x ^ y) & mask)): a blend here is compiled into branches per lane.
        __m256d stronger = _mm256_and_pd(_mm256_cmp_pd(a, best, _CMP_GT_OQ), counted);
        best = _mm256_xor_pd(best, _mm256_and_pd(_mm256_xor_pd(best, a), stronger));
        bestIndex = _mm256_xor_pd(bestIndex, _mm256_and_pd(_mm256_xor_pd(bestIndex, index), stronger));
    }
    GravityPartialSums sums;
    _mm256_storeu_pd(sums.a[0], ax);
    _mm256_storeu_pd(sums.a[1], ay);
    _mm256_storeu_pd(sums.a[2], az);
    _mm256_storeu_pd(sums.strongest, best);
    double indices[Lanes];
    _mm256_storeu_pd(indices, bestIndex);
    for (int l = 0; l < Lanes; ++l)
        sums.index[l] = int32_t(indices[l]);
    return sums.result();
}

__attribute__((target("avx"))) void nearRowsAvx(const double* x, const double* y, const double* z,
                                                const double* threshold, size_t padded, const Vec3d& p,
                                                uint8_t* rows) {
    const __m256d px = _mm256_set1_pd(p.x), py = _mm256_set1_pd(p.y), pz = _mm256_set1_pd(p.z);
    for (size_t i = 0; i < padded; i += Lanes) {
        __m256d dx = _mm256_sub_pd(_mm256_loadu_pd(x + i), px);
        __m256d dy = _mm256_sub_pd(_mm256_loadu_pd(y + i), py);
        __m256d dz = _mm256_sub_pd(_mm256_loadu_pd(z + i), pz);
        __m256d q = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)), _mm256_mul_pd(dz, dz));
        rows[i / Lanes] = uint8_t(_mm256_movemask_pd(_mm256_cmp_pd(q, _mm256_loadu_pd(threshold + i), _CMP_NGT_UQ)));
    }
}

const bool haveAvx = __builtin_cpu_supports("avx");
#endif

} // namespace

GravityResult gravitySum(const Vec3d& p, const GravityBody* bodies, size_t count, int32_t skip) {
    GravityPartialSums sums;
    for (size_t i = 0; i < count; ++i) {
        const GravityBody& b = bodies[i];
        addBody(sums, int(i % Lanes), int32_t(i), skip, b.position.x - p.x, b.position.y - p.y, b.position.z - p.z,
                b.mu, b.radiusSquared);
    }
    return sums.result();
}

void GravityField::assign(const GravityBody* bodies, size_t n) {
    count = n;
    size_t padded = (n + Lanes - 1) / Lanes * Lanes;
    for (std::vector<double>* v : {&x, &y, &z, &mu, &radiusSquared, &index})
        v->assign(padded, 0.0);
    for (size_t i = 0; i < padded; ++i) {
        mu[i] = i < n ? bodies[i].mu : 0.0;
        radiusSquared[i] = i < n ? bodies[i].radiusSquared : std::numeric_limits<double>::infinity();
        index[i] = double(i);
    }
    near.valid = false;
    near.threshold.clear();
    near.member.clear();
}

namespace {

// Four bits per row of four bodies: set for a body that is not beyond its threshold (unordered counts as near).
void nearRows(const GravityField& f, const Vec3d& p, uint8_t* rows) {
    const size_t padded = f.x.size();
#if defined(__x86_64__)
    if (haveAvx) {
        nearRowsAvx(f.x.data(), f.y.data(), f.z.data(), f.near.threshold.data(), padded, p, rows);
        return;
    }
#endif
    for (size_t r = 0; r < padded / Lanes; ++r) {
        uint8_t bits = 0;
        for (size_t l = 0; l < Lanes; ++l) {
            size_t i = r * Lanes + l;
            double dx = f.x[i] - p.x, dy = f.y[i] - p.y, dz = f.z[i] - p.z;
            bits |= uint8_t(!(dx * dx + dy * dy + dz * dz > f.near.threshold[i])) << l;
        }
        rows[r] = bits;
    }
}

} // namespace

void GravityField::selectNear(const Vec3d& p, double reach, int32_t skip) {
    const size_t padded = x.size();
    // Out of range from every point within `reach` of p, with room for rounding, when d² > (√(μ·limit) + reach)².
    if (near.threshold.size() != padded || near.reach != reach || near.skip != skip) {
        near.threshold.assign(padded, -1.0); // the padding and the craft never count
        for (size_t i = 0; i < count; ++i) {
            double r = (std::sqrt(mu[i] * GravityFarLimit) + reach) * (1.0 + 1e-6);
            if (int32_t(i) != skip)
                near.threshold[i] = r * r;
        }
        near.member.assign(padded / Lanes, 0xff); // no row has that: the layout is built below
        near.reach = reach;
        near.skip = skip;
    }
    uint8_t* rows = near.scratch.data();
    if (near.scratch.size() != padded / Lanes) {
        near.scratch.resize(padded / Lanes);
        rows = near.scratch.data();
    }
    nearRows(*this, p, rows);
    if (!std::equal(near.scratch.begin(), near.scratch.end(), near.member.begin())) {
        near.member.swap(near.scratch);
        size_t inLane[Lanes] = {};
        for (size_t r = 0; r < near.member.size(); ++r)
            for (size_t l = 0; l < Lanes; ++l)
                inLane[l] += (near.member[r] >> l) & 1u;
        size_t height = *std::max_element(inLane, inLane + Lanes);
        near.source.assign(height * Lanes, UINT32_MAX);
        size_t row[Lanes] = {};
        for (size_t r = 0; r < near.member.size(); ++r)
            for (size_t l = 0; l < Lanes; ++l)
                if ((near.member[r] >> l) & 1u)
                    near.source[row[l]++ * Lanes + l] = uint32_t(r * Lanes + l);
        for (std::vector<double>* v : {&near.x, &near.y, &near.z, &near.mu, &near.radiusSquared, &near.index})
            v->resize(height * Lanes);
        for (size_t k = 0; k < near.source.size(); ++k) {
            uint32_t i = near.source[k];
            bool body = i != UINT32_MAX;
            near.mu[k] = body ? mu[i] : 0.0;
            near.radiusSquared[k] = body ? radiusSquared[i] : std::numeric_limits<double>::infinity();
            near.index[k] = body ? double(i) : -2.0;
            near.x[k] = near.y[k] = near.z[k] = 0.0;
        }
    }
    for (size_t k = 0; k < near.source.size(); ++k) {
        uint32_t i = near.source[k];
        if (i != UINT32_MAX) {
            near.x[k] = x[i];
            near.y[k] = y[i];
            near.z[k] = z[i];
        }
    }
    near.anchor = p;
    near.valid = true;
    near.stale = false;
}

namespace {

GravityResult sumLanes(const Vec3d& p, const GravityLanes& lanes, int32_t skip) {
#if defined(__x86_64__)
    if (haveAvx)
        return gravitySumAvx(p, lanes, skip);
#endif
    return gravitySumScalar(p, lanes, skip);
}

} // namespace

GravityResult gravitySum(const Vec3d& p, const GravityField& f, int32_t skip) {
    return sumLanes(p, {f.x.data(), f.y.data(), f.z.data(), f.mu.data(), f.radiusSquared.data(), f.index.data(),
                        f.x.size()},
                    skip);
}

GravityResult gravitySumNear(const Vec3d& p, const GravityField& f, int32_t skip) {
    const GravityField::Near& n = f.near;
    return sumLanes(p, {n.x.data(), n.y.data(), n.z.data(), n.mu.data(), n.radiusSquared.data(), n.index.data(),
                        n.x.size()},
                    skip);
}

PnrFrame pnrFrame(const Vec3d& position, const Vec3d& velocity, const Vec3d& bodyPosition, const Vec3d& bodyVelocity,
                  const Vec3d* orbitNormal) {
    PnrFrame f;
    Vec3d r = position - bodyPosition;
    double rl = length(r);
    if (!(rl >= 1e-6))
        return f;
    Vec3d w = velocity - bodyVelocity;
    f.radialOut = r / rl;
    f.prograde = normalize(w);
    f.normal = orbitNormal ? normalize(*orbitNormal) : normalize(cross(f.radialOut, f.prograde));
    f.defined = true;
    return f;
}

Vec3d orientationDirection(const PnrFrame& frame, uint32_t orientation) {
    switch (orientation) {
    case OrientTarget:
    case OrientPrograde:
        return frame.prograde;
    case OrientRetrograde:
        return -frame.prograde;
    case OrientNormal:
        return frame.normal;
    case OrientAntiNormal:
        return -frame.normal;
    case OrientRadialIn:
        return -frame.radialOut;
    case OrientRadialOut:
        return frame.radialOut;
    default:
        return {};
    }
}

Quatd lookRotation(const Vec3d& direction, const Vec3d& up) {
    double l = length(direction);
    if (!(l > 0.0))
        return {};
    Vec3d f = direction / l;
    Vec3d hint = up;
    if (!(length(hint) > 0.0) || std::abs(dot(normalize(hint), f)) > 0.9999)
        hint = std::abs(f.y) > 0.9999 ? Vec3d{0.0, 0.0, 1.0} : Vec3d{0.0, 1.0, 0.0};
    // Right-handed columns: Z = −f (the nose is −Z), X = hint × Z, Y = Z × X.
    Vec3d z = -f;
    Vec3d x = normalize(cross(hint, z));
    Vec3d y = cross(z, x);
    Mat4d m;
    m.at(0, 0) = x.x, m.at(1, 0) = x.y, m.at(2, 0) = x.z;
    m.at(0, 1) = y.x, m.at(1, 1) = y.y, m.at(2, 1) = y.z;
    m.at(0, 2) = z.x, m.at(1, 2) = z.y, m.at(2, 2) = z.z;
    return m.toQuaternion().normalized();
}

Quatd frameAttitude(const PnrFrame& frame, uint32_t orientation, const Quatd& fallback) {
    if (!frame.defined)
        return fallback;
    Vec3d d = orientationDirection(frame, orientation);
    if (!(length(d) > 0.0))
        return fallback;
    return lookRotation(d, frame.radialOut);
}

Vec3d maneuverThrust(const Maneuver& m, const PnrFrame& frame, const Vec3d& fallbackNose) {
    if (m.burn == 0)
        return {};
    double k = m.thrust * 1e-7 / double(m.burn);
    Vec3d d = normalize(m.direction);
    if (!frame.defined)
        return fallbackNose * ((d.x + d.y + d.z) * k);
    return (frame.prograde * d.x + frame.normal * d.y - frame.radialOut * d.z) * k;
}

Quatd slerpAttitude(const Quatd& from, const Quatd& to, double t) {
    return slerp(from, to, t, 0.9999999);
}

double slewEase(int64_t slewSteps) {
    double x = std::clamp(double(slewSteps) / 2000.0, 0.0, 1.0);
    if (x < 0.5)
        return 4.0 * x * x * x;
    double u = 2.0 - 2.0 * x;
    return 1.0 - u * u * u / 2.0;
}

// 1 − clamp(distance, 0, window) / window; a window of 0 (or less) blends nothing.
static double windowWeight(double distance, double window) {
    if (!(window > 0.0))
        return 0.0;
    return 1.0 - std::clamp(distance, 0.0, window) / window;
}

BurnWindows burnWindows(const std::vector<Maneuver>& maneuvers, uint64_t step) {
    BurnWindows w;
    for (size_t k = 0; k < maneuvers.size(); ++k) {
        const Maneuver& m = maneuvers[k];
        if (m.end() <= step) {
            if (w.previous < 0 || m.end() > maneuvers[size_t(w.previous)].end())
                w.previous = int32_t(k);
        } else if (m.time > step) {
            if (w.next < 0 || m.time < maneuvers[size_t(w.next)].time)
                w.next = int32_t(k);
        }
    }
    if (w.previous >= 0) {
        const Maneuver& p = maneuvers[size_t(w.previous)];
        w.previousWeight = windowWeight(double(step - p.end()), double(p.rotationSpeed));
    }
    if (w.next >= 0) {
        const Maneuver& n = maneuvers[size_t(w.next)];
        w.nextWeight = windowWeight(double(n.time - step), double(n.rotationSpeed));
    }
    return w;
}

int32_t activeManeuver(const std::vector<Maneuver>& maneuvers, uint64_t step) {
    for (size_t k = 0; k < maneuvers.size(); ++k)
        if (maneuvers[k].activeAt(step))
            return int32_t(k);
    return -1;
}

} // namespace Demo
