#pragma once
// Per-pass timings of the render pass list: GPU milliseconds from timestamp queries (a query pool per frame in
// flight, read back when that slot's fence has been waited on) and CPU milliseconds of recording. Samples go
// into fixed rings, so nothing is allocated per frame once every pass has been seen.
#include <vulkan/vulkan.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class GraphicsDevice;
class CommandContext;

namespace Demo {

// The last `Capacity` values of one figure; medians over what is held.
class SampleRing {
public:
    static constexpr uint32_t Capacity = 4096;
    SampleRing() : values(Capacity) {}
    void push(float value);
    uint32_t size() const { return count; }
    // Median of the held values (mean of the two middle ones for an even count); 0 when empty. Without the
    // zeros, it is the median over the frames that ran a step which not every frame runs.
    float median(bool skipZeros = false) const;
    // Mean of the held values but the `skipOldest` oldest; 0 when none is left. What a pass that runs on some
    // frames only costs a frame.
    float mean(uint32_t skipOldest = 0) const;
    float last() const { return count ? values[(head + Capacity - 1) % Capacity] : 0.0f; }

private:
    std::vector<float> values;
    uint32_t head = 0, count = 0;
};

struct PassTiming {
    std::string name;
    float gpuMs = 0.0f;     // median, 0 without timestamps
    float cpuMs = 0.0f;     // median recording time
    float gpuMeanMs = 0.0f; // mean over the frames after the first (its one-time work), 0 without timestamps
};

// Whether the device can time passes: timestamps need a non-zero period and valid bits on the queue.
bool timestampsUsable(float timestampPeriod, uint32_t timestampValidBits);
// Milliseconds between two raw timestamps, with the counter's valid bits (wrap-around) taken into account.
double timestampDeltaMs(uint64_t begin, uint64_t end, float timestampPeriod, uint32_t validBits);
// The `--profile` table: one line a pass, names padded, medians (and the GPU mean) with three decimals.
std::string formatPassTable(const std::vector<PassTiming>& timings, bool gpuTimes);

class PassProfiler {
public:
    static constexpr uint32_t MaxQueriesPerFrame = 512; // two a timed record: 5 passes + 2 × 32 layers fit
    static constexpr uint32_t MaxFrameSlots = 8;

    PassProfiler() = default;
    ~PassProfiler();
    PassProfiler(const PassProfiler&) = delete;
    PassProfiler& operator=(const PassProfiler&) = delete;

    // Creates the query pools when the device can time (prints once when it cannot).
    void create(GraphicsDevice* device, uint32_t queueFamilyTimestampBits);
    void destroy();

    // Start of a frame's recording in slot `slot` (its fence has been waited on): the slot's previous frame's
    // timestamps are read back into the rings, then its pool is reset.
    void beginFrame(CommandContext* context, uint32_t slot);
    // Around one record of pass `pass` (index into the pass list); layer passes are timed once per layer and
    // summed for the frame. Records nest: a pass may time its own parts as sub-rows inside its record.
    void beginPass(CommandContext* context, uint32_t pass);
    void endPass(CommandContext* context, uint32_t pass, double cpuMs);

    // A row of its own for a part of a pass (one dispatch kind, say), listed after the passes as
    // "pass/part". Its GPU median is over the frames that ran it, its mean over all frames. Time it with
    // beginPass/endPass of the returned id inside the pass's record.
    uint32_t subRow(const std::string& name);
    // End of the frame's recording: the CPU sums of this frame go into the rings.
    void endFrame();

    // Medians per pass in list order, for the debug window and the `--profile` table.
    std::vector<PassTiming> timings(const std::vector<std::string>& passNames) const;
    bool gpuTimes() const { return usable; }
    // Frames whose CPU times are held (the medians' sample count, at most a ring's capacity).
    uint32_t sampledFrames() const { return cpu.empty() ? 0 : cpu[0].size(); }

private:
    static constexpr uint32_t SubRowBit = 0x8000; // ids of sub-rows; passes count from 0
    static constexpr uint32_t MaxDepth = 8;

    void ensurePass(uint32_t pass);
    void collect(uint32_t slot);

    GraphicsDevice* device = nullptr;
    bool usable = false;
    float period = 0.0f;
    uint32_t validBits = 0;
    std::array<VkQueryPool, MaxFrameSlots> pools{};
    // Per slot: which pass each query pair belongs to, and how many pairs were written.
    std::array<std::array<uint16_t, MaxQueriesPerFrame / 2>, MaxFrameSlots> pairPass{};
    std::array<uint32_t, MaxFrameSlots> pairCount{};
    uint32_t currentSlot = 0;
    std::vector<SampleRing> gpu, cpu;
    std::vector<double> frameCpu, frameGpu; // this frame's sums per pass
    std::vector<uint8_t> frameSeen;
    std::vector<uint64_t> readBack; // two values a query: timestamp and availability
    // Query pairs begun and not yet ended (UINT32_MAX when the pool was full).
    std::array<uint32_t, MaxDepth> openPairs{};
    uint32_t depth = 0;
    std::vector<std::string> subNames;
    std::vector<SampleRing> subGpu; // every collected frame, 0 when the part did not run
    std::vector<double> subFrameGpu;
};

} // namespace Demo
