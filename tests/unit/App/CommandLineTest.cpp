#include "App/CommandLine.h"
#include "App/Application.h"

#include <gtest/gtest.h>

static CommandLine parse(std::vector<const char*> args) {
    return parseCommandLine(int(args.size()), args.data());
}

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
    CommandLine cl = parse({"kestrune", "SKIP_DEMO", "--frames", "30", "--screenshot", "out.png", "--target", "Earth",
                            "--script", "tour.txt", "--profile", "--quality", "low"});
    ASSERT_TRUE(cl.frames.has_value());
    EXPECT_EQ(*cl.frames, 30);
    EXPECT_EQ(*cl.screenshotPath, "out.png");
    EXPECT_EQ(*cl.target, "Earth");
    EXPECT_EQ(*cl.scriptPath, "tour.txt");
    EXPECT_TRUE(cl.profile);
    EXPECT_EQ(cl.quality, Demo::GraphicsQuality::Low);
    EXPECT_FALSE(parse({"kestrune"}).quality.has_value()); // the file's, else Medium
    EXPECT_FALSE(cl.help);
    EXPECT_TRUE(cl.errors.empty());
    EXPECT_TRUE(parse({"kestrune", "--help"}).help);
    EXPECT_TRUE(parse({"kestrune", "-h"}).help);
}

// Strict: every malformed value, unknown option or stray argument is an error (the program stops with exit 2).
TEST(CommandLine, MalformedOptionsAreErrors) {
    for (const char* bad : {"0", "-4", "12x", "", "+3", " 3", "99999999999999999999999"}) {
        CommandLine b = parse({"kestrune", "--frames", bad});
        EXPECT_FALSE(b.frames.has_value()) << bad;
        EXPECT_EQ(b.errors.size(), 1u) << bad;
    }
    // The size of a number is what is wrong with it, not its sign.
    EXPECT_EQ(parse({"kestrune", "--frames", "18446744073709551621"}).errors.at(0),
              "--frames 18446744073709551621 is too large (at most 9223372036854775807)");
    EXPECT_NE(parse({"kestrune", "--frames", "000"}).errors.at(0).find("at least 1"), std::string::npos);
    EXPECT_EQ(parse({"kestrune", "--frames"}).errors.size(), 1u);
    EXPECT_EQ(parse({"kestrune", "--screenshot"}).errors.size(), 1u);
    EXPECT_EQ(parse({"kestrune", "--target", ""}).errors.size(), 1u);
    EXPECT_EQ(parse({"kestrune", "--bogus"}).errors.size(), 1u);
    EXPECT_EQ(parse({"kestrune", "-x"}).errors.size(), 1u);
    EXPECT_EQ(parse({"kestrune", "Earth"}).errors.size(), 1u);
    // A missing value does not swallow the next option's check.
    CommandLine two = parse({"kestrune", "--frames", "x", "--bogus"});
    EXPECT_EQ(two.errors.size(), 2u);
    EXPECT_NE(usageText().find("--script FILE"), std::string::npos);

    // What the user reads for each.
    struct Case {
        std::vector<const char*> args;
        const char* message;
    };
    const Case cases[] = {
        {{"kestrune", "--frames", "-1"}, "--frames needs a whole number of frames of at least 1, not \"-1\""},
        {{"kestrune", "--frames", "abc"}, "--frames needs a whole number of frames of at least 1, not \"abc\""},
        {{"kestrune", "--frames"}, "--frames needs a number of frames"},
        {{"kestrune", "--bogus"}, "unknown option \"--bogus\""},
        {{"kestrune", "SKIP_DEMO", "extra"}, "unexpected argument \"extra\""},
        {{"kestrune", "--screenshot"}, "--screenshot needs a file path"},
        {{"kestrune", "--quality", "ultra"}, "--quality needs low, medium or high, not \"ultra\""},
    };
    for (const Case& c : cases) {
        CommandLine cl = parse(c.args);
        ASSERT_EQ(cl.errors.size(), 1u) << c.message;
        EXPECT_EQ(cl.errors[0], c.message);
    }
}

TEST(FrameTime, ClampedToOneSecond) {
    EXPECT_FLOAT_EQ(frameTimeFromNanoseconds(3'000'000'000LL), 1000.0f);
    EXPECT_FLOAT_EQ(frameTimeFromNanoseconds(16'000'000LL), 16.0f);
    EXPECT_FLOAT_EQ(frameTimeFromNanoseconds(1'000'000'000LL), 1000.0f);
    EXPECT_NEAR(frameTimeFromNanoseconds(500LL), 0.0005f, 1e-9f);
}

TEST(CommandLine, MissionFileOption) {
    const char* ok[] = {"kestrune", "--mission", "two-burns.txt", "SKIP_DEMO"};
    CommandLine cl = parseCommandLine(4, ok);
    EXPECT_TRUE(cl.errors.empty());
    ASSERT_TRUE(cl.missionPath);
    EXPECT_EQ(*cl.missionPath, "two-burns.txt");
    EXPECT_FALSE(cl.demo);
    const char* missing[] = {"kestrune", "--mission"};
    cl = parseCommandLine(2, missing);
    ASSERT_EQ(cl.errors.size(), 1u);
    EXPECT_EQ(cl.errors[0], "--mission needs a mission file");
    EXPECT_NE(usageText().find("--mission FILE"), std::string::npos);
}
