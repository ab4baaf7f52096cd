#include "Demo/Spacecraft/PredictionLine.h"

#include <algorithm>

namespace Demo {

void shiftIntoSpace(const PredictionLineInput& in, const PredictedState& state, uint64_t step, float out[3]) {
    float x = float(state.position[0]), y = float(state.position[1]), z = float(state.position[2]);
    int32_t body = -1;
    if (in.space == SpaceTarget && in.referenceIndex >= 0) {
        body = in.referenceIndex;
    } else if (in.space == SpaceDominant) {
        if (state.dominant < 0) {
            out[0] = x, out[1] = y, out[2] = z;
            return;
        }
        body = state.dominant;
    }
    // Never a cache entry the cache worker has not written (or is rewriting after a time jump).
    uint64_t bodyStep = std::min(in.cachedUpTo > 0 ? in.cachedUpTo - 1 : 0, step);
    if (body >= 0 && uint32_t(body) < in.bodyCount && uint32_t(body) < in.cache.objectCount) {
        const CachedPosition& c = in.cache.slot(bodyStep)[body];
        const float* now = in.bodyNow + 3 * body;
        out[0] = x - float(c.x) + now[0];
        out[1] = y - float(c.y) + now[1];
        out[2] = z - float(c.z) + now[2];
        return;
    }
    out[0] = x + float(in.renderOffset.x);
    out[1] = y + float(in.renderOffset.y);
    out[2] = z + float(in.renderOffset.z);
}

void shiftIntoSpace(const PredictionLineInput& in, const LineSample& sample, uint64_t step, float out[3]) {
    const float* p = sample.position;
    int32_t d = sample.dominant;
    if (in.space == SpaceDominant) {
        if (d < 0) {
            out[0] = p[0], out[1] = p[1], out[2] = p[2];
            return;
        }
        if (uint32_t(d) < in.bodyCount) {
            const float* now = in.bodyNow + 3 * d;
            out[0] = p[0] - sample.dominantPosition[0] + now[0];
            out[1] = p[1] - sample.dominantPosition[1] + now[1];
            out[2] = p[2] - sample.dominantPosition[2] + now[2];
            return;
        }
    } else if (in.space == SpaceTarget && in.referenceIndex >= 0 && uint32_t(in.referenceIndex) < in.bodyCount &&
               uint32_t(in.referenceIndex) < in.cache.objectCount) {
        uint64_t bodyStep = std::min(in.cachedUpTo > 0 ? in.cachedUpTo - 1 : 0, step);
        const CachedPosition& c = in.cache.slot(bodyStep)[in.referenceIndex];
        const float* now = in.bodyNow + 3 * in.referenceIndex;
        out[0] = p[0] - float(c.x) + now[0];
        out[1] = p[1] - float(c.y) + now[1];
        out[2] = p[2] - float(c.z) + now[2];
        return;
    }
    out[0] = p[0] + float(in.renderOffset.x);
    out[1] = p[1] + float(in.renderOffset.y);
    out[2] = p[2] + float(in.renderOffset.z);
}

uint32_t buildPredictionLine(const PredictionLineInput& in, float* out, std::vector<LineSegment>& segments) {
    segments.clear();
    const PredictionWorker::RingView& r = in.ring;
    if (!r.ring || in.ringSize == 0 || r.head <= in.now || in.now < r.validFrom)
        return 0;
    int64_t n = std::min<int64_t>(MaxLineVertices - 1, int64_t((r.head - in.now) / LineStride) - 1);
    if (n < 1)
        return 0;
    // The oldest state the line reads must not be on a lap of the ring the worker is rewriting.
    if (in.now + in.ringSize < r.head + PredictionWorker::BatchSteps)
        return 0;

    const PredictedState& first = r.ring[in.now % in.ringSize];
    out[0] = float(first.position[0]) + float(in.renderOffset.x);
    out[1] = float(first.position[1]) + float(in.renderOffset.y);
    out[2] = float(first.position[2]) + float(in.renderOffset.z);
    LineSegment open{0, 1, first.dominant};

    const uint64_t base = in.now / LineStride;
    const uint64_t sampleCount = in.ringSize / LineStride;
    constexpr int64_t Ahead = 16; // states and cache entries are far apart in memory: fetch ahead
    for (int64_t k = 1; k <= n; ++k) {
        uint64_t step = (uint64_t(k) + base) * LineStride;
        int32_t dominant;
        if (r.samples) {
            const LineSample& sample = r.samples[(step / LineStride) % sampleCount];
            shiftIntoSpace(in, sample, step, out + 3 * k);
            dominant = sample.dominant;
        } else {
            if (k + Ahead <= n) {
                uint64_t ahead = (uint64_t(k + Ahead) + base) * LineStride;
                __builtin_prefetch(&r.ring[ahead % in.ringSize]);
                __builtin_prefetch(in.cache.slot(ahead));
            }
            const PredictedState& state = r.ring[step % in.ringSize];
            shiftIntoSpace(in, state, step, out + 3 * k);
            dominant = state.dominant;
        }
        if (dominant != open.dominant) {
            open.count = uint32_t(k) - open.first;
            if (open.count >= 2)
                segments.push_back(open);
            open = {uint32_t(k), 0, dominant};
        }
    }
    open.count = uint32_t(n) + 1 - open.first;
    if (open.count >= 2)
        segments.push_back(open);
    return uint32_t(n) + 1;
}

} // namespace Demo
