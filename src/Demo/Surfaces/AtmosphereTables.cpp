#include "Demo/Surfaces/AtmosphereTables.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Demo {

ShellDraw shellDrawFor(float distance, float shellTop, float innerRadius) {
    const float outer =
        std::asin(std::min(shellTop / std::max(distance, 1e-30f), 1.0f)) / std::cos(3.14159265f / float(RingSegments));
    if (!(distance > 1.02f * shellTop) || !(outer < 1.45f))
        return {};
    return {innerRadius, RingSegments};
}

bool reachesIntoShell(const float centre[3], float shellTop, const float position[3], float radius) {
    float d2 = 0.0f;
    for (int k = 0; k < 3; ++k)
        d2 += (position[k] - centre[k]) * (position[k] - centre[k]);
    const float reach = shellTop + radius;
    return d2 < reach * reach;
}

bool shellCoversPixels(const float toCentre[3], float shellTop, const float forward[3], float fovY, float aspect,
                       float viewportHeight) {
    const double d = std::sqrt(double(toCentre[0]) * toCentre[0] + double(toCentre[1]) * toCentre[1] +
                               double(toCentre[2]) * toCentre[2]);
    if (d <= shellTop)
        return true;
    const double radius = std::asin(shellTop / d); // angular radius of the shell
    const double pixel = fovY / std::max(viewportHeight, 1.0f);
    if (radius < 0.5 * pixel)
        return false;
    double cosine = (toCentre[0] * forward[0] + toCentre[1] * forward[1] + toCentre[2] * forward[2]) / d;
    const double offAxis = std::acos(std::clamp(cosine, -1.0, 1.0));
    const double corner = std::atan(std::tan(0.5 * fovY) * std::sqrt(1.0 + double(aspect) * aspect));
    return offAxis - radius < corner;
}

namespace {

double length3(const float v[3]) {
    return std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
}

double distance3(const float a[3], const float b[3]) {
    const float d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return length3(d);
}

// The angle between two directions from the body's centre (by the chord of the unit vectors: acos loses the small
// angles that matter here); a point at the centre (the star's own shell) has no direction.
double angleBetween(const float a[3], const float b[3]) {
    const double la = length3(a), lb = length3(b);
    if (la < 1e-20 || lb < 1e-20)
        return la < 1e-20 && lb < 1e-20 ? 0.0 : 1.0;
    const float ua[3] = {float(a[0] / la), float(a[1] / la), float(a[2] / la)};
    const float ub[3] = {float(b[0] / lb), float(b[1] / lb), float(b[2] / lb)};
    return 2.0 * std::asin(std::min(1.0, 0.5 * distance3(ua, ub)));
}

} // namespace

bool skyViewStillFits(const SkyViewInputs& built, const SkyViewInputs& now) {
    constexpr double TurnLimit = 5e-4, HeightLimit = 2e-3, OccluderLimit = 1e-3;
    if (built.groundRadius != now.groundRadius || built.occluderCount != now.occluderCount ||
        std::memcmp(built.atmosphere, now.atmosphere, sizeof(built.atmosphere)) != 0)
        return false;
    if (angleBetween(built.eye, now.eye) > TurnLimit || angleBetween(built.star, now.star) > TurnLimit)
        return false;
    const double heightBuilt = length3(built.eye) - built.groundRadius, heightNow = length3(now.eye) - now.groundRadius;
    if (std::fabs(heightNow - heightBuilt) > HeightLimit * std::max(std::fabs(heightBuilt), 1e-3 * built.groundRadius))
        return false;
    for (uint32_t i = 0; i < std::min(now.occluderCount, SkyViewInputs::MaxOccluders); ++i)
        if (built.occluders[i][3] != now.occluders[i][3] ||
            distance3(built.occluders[i], now.occluders[i]) > OccluderLimit * length3(now.occluders[i]))
            return false;
    return true;
}

} // namespace Demo
