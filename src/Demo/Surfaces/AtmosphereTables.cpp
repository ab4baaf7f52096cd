#include "Demo/Surfaces/AtmosphereTables.h"

#include <algorithm>
#include <cmath>

namespace Demo {

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

} // namespace Demo
