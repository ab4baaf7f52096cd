#include "Demo/Scene/GraphicsQuality.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace Demo;

// What "quality.txt" may hold: the word as written, by hand too; anything else is Medium with a line naming the file.
TEST(GraphicsQuality, QualityFileReadsTheWordAndFallsBackToMedium) {
    struct Case {
        bool found;
        std::string_view bytes;
        GraphicsQuality quality;
        bool noted;
    };
    const Case cases[] = {
        {false, "", GraphicsQuality::Medium, false},
        {true, "low\n", GraphicsQuality::Low, false},
        {true, "high", GraphicsQuality::High, false},
        {true, "  Medium \r\n", GraphicsQuality::Medium, false},
        {true, "HIGH\n", GraphicsQuality::High, false},
        {true, "", GraphicsQuality::Medium, true},
        {true, "ultra\n", GraphicsQuality::Medium, true},
        {true, "low high", GraphicsQuality::Medium, true},
        {true, "lowest", GraphicsQuality::Medium, true},
        {true, std::string_view("lo\0w", 4), GraphicsQuality::Medium, true},
        {true, "\x89PNG\r\n", GraphicsQuality::Medium, true},
    };
    for (const Case& c : cases) {
        QualityFileRead read = decodeQualityFile(c.found, c.bytes);
        EXPECT_EQ(read.quality, c.quality) << c.bytes;
        EXPECT_EQ(!read.note.empty(), c.noted) << c.bytes;
        if (c.noted) {
            EXPECT_EQ(read.note, "quality.txt: not \"low\", \"medium\" or \"high\"; using medium");
        }
    }
    // What is written is read back as the same level.
    for (GraphicsQuality q : {GraphicsQuality::Low, GraphicsQuality::Medium, GraphicsQuality::High})
        EXPECT_EQ(decodeQualityFile(true, std::string(qualityName(q)) + "\n").quality, q);
}
