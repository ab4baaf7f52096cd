#include "App/Screenshot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ScreenshotFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kestrune-screenshots-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    static std::vector<uint8_t> pixels(uint8_t value) { return std::vector<uint8_t>(4 * 3 * 4, value); }
    static std::string contents(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    fs::path dir;
};

} // namespace

TEST(Screenshot, UniqueNamesNumberBeforeTheExtension) {
    EXPECT_EQ(numberedScreenshotPath("shot.png", 1), "shot.png");
    EXPECT_EQ(numberedScreenshotPath("shot.png", 2), "shot-2.png");
    EXPECT_EQ(numberedScreenshotPath("a.b/shot", 3), "a.b/shot-3");
    EXPECT_EQ(numberedScreenshotPath("dir/.png", 2), "dir/.png-2");
}

TEST_F(ScreenshotFiles, EveryUniqueShotGetsItsOwnFileAndNoneIsReplaced) {
    const std::string base = (dir / "screenshot-20260101-120000.png").string();
    // Another instance got there first with the same second's name.
    std::ofstream(base) << "another instance";
    std::vector<std::string> written;
    for (uint8_t shot = 0; shot < 3; ++shot) {
        ScreenshotWrite w = writeScreenshotPng(base, ScreenshotNaming::Unique, pixels(shot * 100), 4, 3);
        ASSERT_TRUE(w.ok) << w.error;
        written.push_back(w.path);
    }
    EXPECT_EQ(contents(base), "another instance");
    EXPECT_EQ(written, (std::vector<std::string>{numberedScreenshotPath(base, 2), numberedScreenshotPath(base, 3),
                                                 numberedScreenshotPath(base, 4)}));
    EXPECT_NE(contents(written[0]), contents(written[1]));
    EXPECT_EQ(contents(written[2]).substr(1, 3), "PNG");
}

TEST_F(ScreenshotFiles, ExactShotReplacesItsFileAndFailuresSayWhy) {
    const fs::path path = dir / "x.png";
    std::ofstream(path) << "old";
    ScreenshotWrite w = writeScreenshotPng(path.string(), ScreenshotNaming::Exact, pixels(7), 4, 3);
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_EQ(w.path, path.string());
    EXPECT_EQ(contents(path).substr(1, 3), "PNG");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1); // no temporary left

    fs::create_directories(dir / "taken.png");
    std::ofstream(dir / "file") << "a file, not a directory";
    struct Case {
        fs::path path;
        ScreenshotNaming naming;
    };
    for (const Case& c :
         {Case{dir / "missing" / "x.png", ScreenshotNaming::Exact},
          Case{dir / "missing" / "x.png", ScreenshotNaming::Unique},
          Case{dir / "file" / "x.png", ScreenshotNaming::Exact}, Case{dir / "taken.png", ScreenshotNaming::Exact}}) {
        ScreenshotWrite failed = writeScreenshotPng(c.path.string(), c.naming, pixels(7), 4, 3);
        EXPECT_FALSE(failed.ok) << c.path;
        EXPECT_FALSE(failed.error.empty()) << c.path;
    }
    EXPECT_TRUE(fs::is_directory(dir / "taken.png"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3); // x.png, taken.png, file
    EXPECT_FALSE(writeScreenshotPng(path.string(), ScreenshotNaming::Exact, pixels(7), 0, 3).ok);
}
