#include "App/CommandLine.h"
#include "App/Application.h"

#include <gtest/gtest.h>

static CommandLine parse(std::vector<const char*> args) { return parseCommandLine(int(args.size()), args.data()); }

TEST(CommandLine, SkipDemoMatchesOnlyTheWholeArgumentInAnyPosition) {
    EXPECT_TRUE(parse({"kestrune"}).demo);
    EXPECT_FALSE(parse({"kestrune", "SKIP_DEMO"}).demo);
    EXPECT_FALSE(parse({"kestrune", "--frames", "3", "SKIP_DEMO"}).demo);
    EXPECT_FALSE(parse({"SKIP_DEMO"}).demo); // the program path counts too
    EXPECT_TRUE(parse({"kestrune", "SKIP_DEMOX"}).demo);
    EXPECT_TRUE(parse({"kestrune", "SKIP_DEM"}).demo);
    EXPECT_TRUE(parse({"kestrune", "skip_demo"}).demo);
}

TEST(CommandLine, AutomationOptions) {
    CommandLine cl = parse({"kestrune", "SKIP_DEMO", "--frames", "30", "--screenshot", "out.png", "--target", "Earth"});
    ASSERT_TRUE(cl.frames.has_value());
    EXPECT_EQ(*cl.frames, 30);
    EXPECT_EQ(*cl.screenshotPath, "out.png");
    EXPECT_EQ(*cl.target, "Earth");
    EXPECT_TRUE(cl.errors.empty());

    for (const char* bad : {"0", "-4", "12x", ""}) {
        CommandLine b = parse({"kestrune", "--frames", bad});
        EXPECT_FALSE(b.frames.has_value()) << bad;
        EXPECT_EQ(b.errors.size(), 1u) << bad;
    }
    EXPECT_EQ(parse({"kestrune", "--frames"}).errors.size(), 1u);
}

TEST(FrameTime, ClampedToOneSecond) {
    EXPECT_FLOAT_EQ(frameTimeFromNanoseconds(3'000'000'000LL), 1000.0f);
    EXPECT_FLOAT_EQ(frameTimeFromNanoseconds(16'000'000LL), 16.0f);
    EXPECT_FLOAT_EQ(frameTimeFromNanoseconds(1'000'000'000LL), 1000.0f);
    EXPECT_NEAR(frameTimeFromNanoseconds(500LL), 0.0005f, 1e-9f);
}
