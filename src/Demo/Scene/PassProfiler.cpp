#include "Demo/Scene/PassProfiler.h"

#include "Engine/Commands/CommandContext.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace Demo {

void SampleRing::push(float value) {
    values[head] = value;
    head = (head + 1) % Capacity;
    count = std::min(count + 1, Capacity);
}

float SampleRing::median(bool skipZeros) const {
    // The held values are the last `count` before head; their order does not matter for the median.
    std::vector<float> sorted;
    sorted.reserve(count);
    for (uint32_t k = 0; k < count; ++k) {
        float v = values[(head + Capacity - count + k) % Capacity];
        if (!skipZeros || v != 0.0f)
            sorted.push_back(v);
    }
    if (sorted.empty())
        return 0.0f;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : 0.5f * (sorted[n / 2 - 1] + sorted[n / 2]);
}

float SampleRing::mean(uint32_t skipOldest) const {
    double sum = 0.0;
    for (uint32_t k = skipOldest; k < count; ++k)
        sum += values[(head + Capacity - count + k) % Capacity];
    return count > skipOldest ? float(sum / (count - skipOldest)) : 0.0f;
}

bool timestampsUsable(float timestampPeriod, uint32_t timestampValidBits) {
    return timestampPeriod > 0.0f && timestampValidBits > 0;
}

double timestampDeltaMs(uint64_t begin, uint64_t end, float timestampPeriod, uint32_t validBits) {
    uint64_t mask = validBits >= 64 ? ~uint64_t(0) : (uint64_t(1) << validBits) - 1;
    uint64_t ticks = (end - begin) & mask;
    return double(ticks) * double(timestampPeriod) * 1e-6;
}

std::string formatPassTable(const std::vector<PassTiming>& timings, bool gpuTimes) {
    size_t width = 4;
    for (const PassTiming& t : timings)
        width = std::max(width, t.name.size());
    std::string out;
    char line[256];
    std::snprintf(line, sizeof line, "%-*s %10s %10s %10s\n", int(width), "pass", gpuTimes ? "GPU ms" : "GPU ms (n/a)",
                  "GPU mean", "CPU ms");
    out += line;
    for (const PassTiming& t : timings) {
        if (gpuTimes)
            std::snprintf(line, sizeof line, "%-*s %10.3f %10.3f %10.3f\n", int(width), t.name.c_str(), t.gpuMs,
                          t.gpuMeanMs, t.cpuMs);
        else
            std::snprintf(line, sizeof line, "%-*s %10s %10s %10.3f\n", int(width), t.name.c_str(), "-", "-", t.cpuMs);
        out += line;
    }
    return out;
}

PassProfiler::~PassProfiler() {
    destroy();
}

void PassProfiler::create(GraphicsDevice* device_, uint32_t queueFamilyTimestampBits) {
    device = device_;
    period = device->properties.limits.timestampPeriod;
    validBits = queueFamilyTimestampBits;
    usable = timestampsUsable(period, validBits);
    if (!usable) {
        std::cout << "GPU timestamps are not available on this device (timestampPeriod " << period << ", valid bits "
                  << validBits << "): pass timings are CPU times only" << std::endl;
        return;
    }
    VkQueryPoolCreateInfo info{VK_STRUCTURE_TYPE_QUERY_POOL_CREATE_INFO};
    info.queryType = VK_QUERY_TYPE_TIMESTAMP;
    info.queryCount = MaxQueriesPerFrame;
    for (VkQueryPool& pool : pools)
        if (vkCreateQueryPool(device->device, &info, nullptr, &pool) != VK_SUCCESS) {
            std::cout << "Unable to create a timestamp query pool: pass timings are CPU times only" << std::endl;
            destroy();
            usable = false;
            return;
        }
    // A fresh pool must be reset before its first use; the first frame of each slot resets it in beginFrame.
    readBack.resize(size_t(MaxQueriesPerFrame) * 2);
}

void PassProfiler::destroy() {
    if (!device)
        return;
    for (VkQueryPool& pool : pools) {
        if (pool != VK_NULL_HANDLE)
            vkDestroyQueryPool(device->device, pool, nullptr);
        pool = VK_NULL_HANDLE;
    }
}

void PassProfiler::ensurePass(uint32_t pass) {
    if (pass < gpu.size())
        return;
    gpu.resize(pass + 1);
    cpu.resize(pass + 1);
    frameCpu.resize(pass + 1, 0.0);
    frameGpu.resize(pass + 1, 0.0);
    frameSeen.resize(pass + 1, 0);
}

void PassProfiler::collect(uint32_t slot) {
    uint32_t pairs = pairCount[slot];
    if (!usable || pairs == 0)
        return;
    VkResult r = vkGetQueryPoolResults(device->device, pools[slot], 0, pairs * 2, readBack.size() * sizeof(uint64_t),
                                       readBack.data(), 2 * sizeof(uint64_t),
                                       VK_QUERY_RESULT_64_BIT | VK_QUERY_RESULT_WITH_AVAILABILITY_BIT);
    if (r != VK_SUCCESS && r != VK_NOT_READY)
        return;
    std::fill(frameGpu.begin(), frameGpu.end(), 0.0);
    std::fill(frameSeen.begin(), frameSeen.end(), uint8_t(0));
    std::fill(subFrameGpu.begin(), subFrameGpu.end(), 0.0);
    for (uint32_t k = 0; k < pairs; ++k) {
        const uint64_t* begin = &readBack[size_t(4) * k];
        if (!begin[1] || !begin[3])
            continue; // not available: the frame never reached that point
        uint16_t row = pairPass[slot][k];
        double ms = timestampDeltaMs(begin[0], begin[2], period, validBits);
        if (row & SubRowBit) {
            subFrameGpu[row & ~SubRowBit] += ms;
            continue;
        }
        frameGpu[row] += ms;
        frameSeen[row] = 1;
    }
    for (size_t pass = 0; pass < frameGpu.size(); ++pass)
        if (frameSeen[pass])
            gpu[pass].push(float(frameGpu[pass]));
    for (size_t row = 0; row < subFrameGpu.size(); ++row)
        subGpu[row].push(float(subFrameGpu[row]));
}

uint32_t PassProfiler::subRow(const std::string& name) {
    auto found = std::find(subNames.begin(), subNames.end(), name);
    if (found != subNames.end())
        return SubRowBit | uint32_t(found - subNames.begin());
    subNames.push_back(name);
    subGpu.emplace_back();
    subFrameGpu.push_back(0.0);
    return SubRowBit | uint32_t(subNames.size() - 1);
}

void PassProfiler::beginFrame(CommandContext* context, uint32_t slot) {
    currentSlot = slot % MaxFrameSlots;
    depth = 0;
    std::fill(frameCpu.begin(), frameCpu.end(), 0.0);
    if (!usable)
        return;
    collect(currentSlot);
    pairCount[currentSlot] = 0;
    vkCmdResetQueryPool(context->commandBuffer, pools[currentSlot], 0, MaxQueriesPerFrame);
}

void PassProfiler::beginPass(CommandContext* context, uint32_t pass) {
    if (!(pass & SubRowBit))
        ensurePass(pass);
    uint32_t pair = UINT32_MAX;
    if (usable && pairCount[currentSlot] < MaxQueriesPerFrame / 2) {
        // The pair is taken at the start, so that the records of a pass's parts nest inside it.
        pair = pairCount[currentSlot]++;
        pairPass[currentSlot][pair] = uint16_t(pass);
        vkCmdWriteTimestamp2(context->commandBuffer, VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, pools[currentSlot],
                             2 * pair);
    }
    if (depth < MaxDepth)
        openPairs[depth] = pair;
    ++depth;
}

void PassProfiler::endPass(CommandContext* context, uint32_t pass, double cpuMs) {
    if (!(pass & SubRowBit)) {
        ensurePass(pass);
        frameCpu[pass] += cpuMs;
    }
    if (depth == 0)
        return;
    --depth;
    uint32_t pair = depth < MaxDepth ? openPairs[depth] : UINT32_MAX;
    if (pair == UINT32_MAX)
        return;
    vkCmdWriteTimestamp2(context->commandBuffer, VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, pools[currentSlot],
                         2 * pair + 1);
}

void PassProfiler::endFrame() {
    for (size_t pass = 0; pass < frameCpu.size(); ++pass)
        cpu[pass].push(float(frameCpu[pass]));
}

namespace {

// The first frame's one-time work (pipelines, first uploads, the first fluid step) stays out of the means while
// the ring still holds it: the means are what a frame costs in the run.
uint32_t firstFrameHeld(const SampleRing& ring) {
    return ring.size() > 1 && ring.size() < SampleRing::Capacity ? 1 : 0;
}

} // namespace

std::vector<PassTiming> PassProfiler::timings(const std::vector<std::string>& passNames) const {
    std::vector<PassTiming> out;
    out.reserve(passNames.size());
    for (size_t pass = 0; pass < passNames.size(); ++pass) {
        PassTiming t;
        t.name = passNames[pass];
        if (pass < cpu.size()) {
            t.cpuMs = cpu[pass].median();
            t.gpuMs = gpu[pass].median();
            t.gpuMeanMs = gpu[pass].mean(firstFrameHeld(gpu[pass]));
        }
        out.push_back(std::move(t));
    }
    for (size_t row = 0; row < subNames.size(); ++row)
        out.push_back({subNames[row], subGpu[row].median(true), 0.0f, subGpu[row].mean(firstFrameHeld(subGpu[row]))});
    return out;
}

} // namespace Demo
