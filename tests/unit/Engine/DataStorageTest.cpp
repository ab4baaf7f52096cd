#include "Engine/Data/DataStorage.h"
#include "Engine/Data/StorageSlots.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

TEST(StorageSlots, WritesAreAlignedUnlessNoAlign) {
    StorageSlots s(100096, 256);
    EXPECT_EQ(s.allocate(32, false), 0u);
    EXPECT_EQ(s.cursor, 256u);
    EXPECT_EQ(s.allocate(32, false), 256u);
    EXPECT_EQ(s.cursor, 512u);
    EXPECT_EQ(s.allocate(256, false), 512u); // already a multiple: no padding
    EXPECT_EQ(s.cursor, 768u);

    StorageSlots packed(1024, 16);
    EXPECT_EQ(packed.allocate(12, true), 0u);
    EXPECT_EQ(packed.cursor, 12u);
    EXPECT_EQ(packed.allocate(12, true), 12u);
    EXPECT_EQ(packed.allocate(4, false), 24u); // starts unaligned after packed writes, ends padded
    EXPECT_EQ(packed.cursor, 40u);

    StorageSlots unaligned(1024, 0);
    unaligned.allocate(5, false);
    EXPECT_EQ(unaligned.cursor, 5u);
}

TEST(StorageSlots, FourBeginsCycleThroughTheSlots) {
    StorageSlots s(1000, 16);
    const uint32_t starts[] = {0, 1000, 2000, 3000, 0, 1000};
    for (uint32_t start : starts) {
        s.begin();
        EXPECT_EQ(s.cursor, start);
        EXPECT_EQ(s.currentSlotStart(), start);
        EXPECT_EQ(s.slotEnd, start + 1000);
        s.allocate(64, false); // writes of one frame never move the next frame's start
    }
    EXPECT_EQ(s.capacity(), 4000u);
}

TEST(StorageSlots, AWriteThatWouldOverrunItsSlotIsRefused) {
    StorageSlots s(512, 256);
    s.begin();
    s.begin(); // slot 1: [512, 1024)
    EXPECT_EQ(s.allocate(256, false), 512u);
    EXPECT_EQ(s.allocate(200, false), 768u); // fills the slot exactly (padded to 256)
    EXPECT_EQ(s.allocate(1, true), StorageSlots::Refused);
    EXPECT_EQ(s.cursor, 1024u); // untouched by the refusal
    s.begin();
    EXPECT_EQ(s.allocate(600, false), StorageSlots::Refused);         // larger than a slot
    EXPECT_EQ(s.allocate(0xFFFFFFFFu, false), StorageSlots::Refused); // padding must not wrap around
    EXPECT_EQ(s.cursor, 1024u);

    try {
        reportStorageOverrun("uniform storage", 600, s);
        FAIL();
    } catch (const std::runtime_error& e) {
        std::string m = e.what();
        EXPECT_NE(m.find("uniform storage"), std::string::npos) << m;
        EXPECT_NE(m.find("600 bytes"), std::string::npos) << m;
        EXPECT_NE(m.find("[1024, 1536)"), std::string::npos) << m;
    }
}

TEST(StorageSlots, SlotSizeAndAlignmentFollowTheDeviceLimit) {
    EXPECT_EQ(hostStorageLayout(100000, 256).slotSize, 100096u);
    EXPECT_EQ(hostStorageLayout(100000, 256).alignment, 256u);
    EXPECT_EQ(hostStorageLayout(100000, 64).slotSize, 100032u);
    EXPECT_EQ(hostStorageLayout(16000000, 16).slotSize, 16000000u);
    EXPECT_EQ(hostStorageLayout(100000, 0).slotSize, 100000u);
    EXPECT_EQ(hostStorageLayout(100000, 0).alignment, 1u);
    EXPECT_EQ(storageAlignment(48), 16u); // lowest set bit of a limit that is not a power of two
    EXPECT_EQ(roundUpToMultiple(100000, 48), 100032u);
}
