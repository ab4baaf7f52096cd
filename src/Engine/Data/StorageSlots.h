#pragma once
#include <cstdint>

// Slot arithmetic of a data storage: four equal slots, one per frame in flight, each filled by appending.
// Plain data so the arithmetic is testable without a device.
struct StorageSlots {
    static constexpr uint32_t SlotCount = 4;
    static constexpr uint32_t Refused = 0xFFFFFFFFu;

    uint32_t slotSize = 0;  // bytes
    uint32_t alignment = 1; // every span starts at a multiple of it (0 and 1: none)
    uint32_t cursor = 0;    // byte offset of the next span in the whole buffer
    uint32_t slotIndex = 0; // slot opened by the next begin
    uint32_t slotEnd = 0;   // end of the slot being written; spans never cross it

    StorageSlots() = default;
    StorageSlots(uint32_t slotSize_, uint32_t alignment_)
        : slotSize(slotSize_), alignment(alignment_), slotEnd(slotSize_) {}

    // Opens the next slot: cursor = its start. Data in it was written four begins ago.
    void begin() {
        cursor = slotIndex * slotSize;
        slotEnd = cursor + slotSize;
        slotIndex = (slotIndex + 1) & (SlotCount - 1);
    }

    uint64_t alignedSize(uint32_t size, bool noAlign) const {
        if (noAlign || alignment <= 1)
            return size;
        return (uint64_t(size) + alignment - 1) / alignment * alignment;
    }

    // Start of a new span of `size` bytes (padded to the alignment unless noAlign) and moves the cursor past it.
    // Refused (cursor untouched) when the span would cross the end of the current slot.
    uint32_t allocate(uint32_t size, bool noAlign) {
        uint64_t end = uint64_t(cursor) + alignedSize(size, noAlign);
        if (end > slotEnd)
            return Refused;
        uint32_t offset = cursor;
        cursor = uint32_t(end);
        return offset;
    }

    uint32_t currentSlotStart() const { return slotEnd - slotSize; }
    uint32_t capacity() const { return slotSize * SlotCount; }
};

// Lowest set bit of a device offset-alignment limit; 1 when the limit is 0.
constexpr uint32_t storageAlignment(uint64_t limit) {
    return limit == 0 ? 1u : uint32_t(limit & (~limit + 1));
}
// `size` raised to the next multiple of `limit` (unchanged when the limit is 0).
constexpr uint32_t roundUpToMultiple(uint32_t size, uint64_t limit) {
    return limit == 0 ? size : uint32_t((size + limit - 1) / limit * limit);
}
