#include "App/Config.h"
#include "ConfigFileBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A fresh directory under the temporary directory, removed with the fixture.
struct ConfigDir : ::testing::Test {
    ConfigDir() {
        dir = fs::temp_directory_path() / ("kestrune-config-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~ConfigDir() override { fs::remove_all(dir); }
    std::string path(const std::string& name = "config.gcfg") const { return (dir / name).string(); }
    bool onlyEntryIs(const std::string& name) const {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(dir)) {
            ++n;
            if (e.path().filename() != name)
                return false;
        }
        return n == 1;
    }
    fs::path dir;
};

} // namespace

TEST_F(ConfigDir, SaveThenLoadKeepsEveryFieldInTheFileLayout) {
    ConfigRecord saved;
    saved.lookSensitivity = 2.5f;
    saved.windowMode = 0;
    saved.refreshMode = 2;
    saved.monitorIndex = 1;
    saved.window.fullscreen = 0;
    saved.window.maximized = 1;
    saved.window.positionX = -200;
    saved.window.positionY = 100;
    saved.window.width = 1600;
    saved.window.height = 900;
    saved.window.refreshRate = 144;
    std::string bytes = encodeConfig(saved);

    // The program's layout is the file's layout as the tests spell it.
    ConfigFileFields f;
    f.lookSensitivity = 2.5f;
    f.windowMode = 0;
    f.refreshMode = 2;
    f.monitorIndex = 1;
    f.fullscreen = 0;
    f.maximized = 1;
    f.positionX = -200;
    f.positionY = 100;
    f.width = 1600;
    f.height = 900;
    f.refreshRate = 144;
    EXPECT_EQ(bytes, configFileBytes(f));

    ConfigWriteResult written = writeConfigFile(path(), bytes);
    ASSERT_TRUE(written.ok) << written.message;
    EXPECT_EQ(fs::file_size(path()), 48u);
    EXPECT_TRUE(onlyEntryIs("config.gcfg")) << "temporary file left behind";

    ConfigFileRead read = readConfigFile(path());
    EXPECT_TRUE(read.found);
    EXPECT_TRUE(read.notes.empty());
    ConfigRecord back;
    // Every field is kept; the size, which the program does not restore, is noted.
    std::vector<std::string> notes = decodeConfig(read.bytes, back);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("window size 1600 x 900 is not restored"), std::string::npos) << notes[0];
    EXPECT_EQ(back.lookSensitivity, 2.5f);
    EXPECT_EQ(back.windowMode, 0);
    EXPECT_EQ(back.refreshMode, 2);
    EXPECT_EQ(back.monitorIndex, 1);
    EXPECT_EQ(back.window.fullscreen, 0);
    EXPECT_EQ(back.window.maximized, 1);
    EXPECT_EQ(back.window.positionX, -200);
    EXPECT_EQ(back.window.positionY, 100);
    EXPECT_EQ(back.window.width, 1600);
    EXPECT_EQ(back.window.height, 900);
    EXPECT_EQ(back.window.refreshRate, 144);
    EXPECT_EQ(back.window.monitor, nullptr); // a handle of another run

    // Saving again replaces the file whole.
    saved.windowMode = 1;
    ASSERT_TRUE(writeConfigFile(path(), encodeConfig(saved)).ok);
    ConfigRecord again;
    decodeConfig(readConfigFile(path()).bytes, again);
    EXPECT_EQ(again.windowMode, 1);
}

TEST_F(ConfigDir, FailedSaveSaysWhyAndLeavesTheOldFileWhole) {
    ConfigFileFields old = windowedConfigAt(200, 100);
    writeConfigFileBytes(path(), configFileBytes(old));
    ConfigRecord record;

    // The temporary file cannot be created (its name is taken by a directory): the old file stays.
    fs::create_directory(path("config.gcfg.tmp-" + std::to_string(getpid())));
    ConfigWriteResult blocked = writeConfigFile(path(), encodeConfig(record));
    EXPECT_FALSE(blocked.ok);
    EXPECT_NE(blocked.message.find("could not save " + path()), std::string::npos) << blocked.message;
    EXPECT_EQ(readConfigFile(path()).bytes, configFileBytes(old));
    fs::remove(path("config.gcfg.tmp-" + std::to_string(getpid())));

    // The target is a directory: the rename fails and the temporary file goes.
    fs::create_directory(path("settings"));
    ConfigWriteResult intoDirectory = writeConfigFile(path("settings"), encodeConfig(record));
    EXPECT_FALSE(intoDirectory.ok);
    EXPECT_TRUE(fs::is_directory(path("settings")));
    EXPECT_FALSE(fs::exists(path("settings.tmp-" + std::to_string(getpid()))));

    // A directory that does not exist.
    ConfigWriteResult nowhere = writeConfigFile(path("missing/config.gcfg"), encodeConfig(record));
    EXPECT_FALSE(nowhere.ok);
    EXPECT_NE(nowhere.message.find("No such file or directory"), std::string::npos) << nowhere.message;
}

// Values nobody could have saved: each is replaced or clamped, and one note names the field.
TEST(ConfigFile, CorruptValuesAreReplacedWithANoteNamingTheField) {
    struct Case {
        const char* note;
        std::function<void(ConfigFileFields&)> damage;
        std::function<bool(const ConfigRecord&)> expected;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {"look sensitivity nan", [&](auto& f) { f.lookSensitivity = nan; },
         [](auto& r) { return r.lookSensitivity == 1.0f; }},
        {"look sensitivity inf", [&](auto& f) { f.lookSensitivity = inf; },
         [](auto& r) { return r.lookSensitivity == 1.0f; }},
        {"look sensitivity -2", [](auto& f) { f.lookSensitivity = -2.0f; },
         [](auto& r) { return r.lookSensitivity == 1.0f; }},
        {"look sensitivity 0 ", [](auto& f) { f.lookSensitivity = 0.0f; },
         [](auto& r) { return r.lookSensitivity == 1.0f; }},
        {"look sensitivity 1e+06", [](auto& f) { f.lookSensitivity = 1e6f; },
         [](auto& r) { return r.lookSensitivity == MaxLookSensitivity; }},
        {"window mode 7", [](auto& f) { f.windowMode = 7; }, [](auto& r) { return r.windowMode == 1; }},
        {"window mode -1", [](auto& f) { f.windowMode = -1; }, [](auto& r) { return r.windowMode == 1; }},
        {"refresh mode 3", [](auto& f) { f.refreshMode = 3; }, [](auto& r) { return r.refreshMode == 0; }},
        {"refresh mode -2147483648", [](auto& f) { f.refreshMode = INT32_MIN; },
         [](auto& r) { return r.refreshMode == 0; }},
        {"monitor index -3", [](auto& f) { f.monitorIndex = -3; }, [](auto& r) { return r.monitorIndex == 0; }},
        {"fullscreen flag 255", [](auto& f) { f.fullscreen = 255; }, [](auto& r) { return r.window.fullscreen == 1; }},
        {"maximized flag 2", [](auto& f) { f.maximized = 2; }, [](auto& r) { return r.window.maximized == 0; }},
        {"window position (2000000000, 100)", [](auto& f) { f.positionX = 2000000000; },
         [](auto& r) { return r.window.positionX == 50 && r.window.positionY == 50; }},
        {"window position (50, -2000000000)", [](auto& f) { f.positionX = 50, f.positionY = -2000000000; },
         [](auto& r) { return r.window.positionX == 50 && r.window.positionY == 50; }},
        {"window size 0 x 1080", [](auto& f) { f.width = 0; },
         [](auto& r) { return r.window.width == 1920 && r.window.height == 1080; }},
        {"window size 1920 x 99999999", [](auto& f) { f.height = 99999999; },
         [](auto& r) { return r.window.width == 1920 && r.window.height == 1080; }},
        // Valid but not honoured: the window always opens at 1920 x 1080.
        {"window size 1280 x 720 is not restored; the window opens at 1920 x 1080",
         [](auto& f) { f.width = 1280, f.height = 720; }, [](auto& r) { return r.window.width == 1280; }},
        {"refresh rate -5 Hz", [](auto& f) { f.refreshRate = -5; }, [](auto& r) { return r.window.refreshRate == -1; }},
        {"refresh rate 100000 Hz", [](auto& f) { f.refreshRate = 100000; },
         [](auto& r) { return r.window.refreshRate == -1; }},
    };
    for (const Case& c : cases) {
        ConfigFileFields fields = windowedConfigAt(50, 100);
        c.damage(fields);
        ConfigRecord r;
        std::vector<std::string> notes = decodeConfig(configFileBytes(fields), r);
        ASSERT_EQ(notes.size(), 1u) << c.note;
        EXPECT_EQ(notes[0].rfind("config.gcfg: ", 0), 0u) << notes[0];
        EXPECT_NE(notes[0].find(c.note), std::string::npos) << notes[0];
        EXPECT_TRUE(c.expected(r)) << c.note;
        if (std::string(c.note).rfind("window mode", 0) != 0) {
            EXPECT_EQ(r.windowMode, 0) << "other fields untouched: " << c.note;
        }
    }

    // Every byte 0xFF at once: one note per field, the defaults, nothing undefined.
    ConfigRecord r;
    std::vector<std::string> notes = decodeConfig(std::string(48, '\xFF'), r);
    EXPECT_EQ(r.lookSensitivity, 1.0f);
    EXPECT_EQ(r.windowMode, 1);
    EXPECT_EQ(r.refreshMode, 0);
    EXPECT_EQ(r.monitorIndex, 0);
    EXPECT_EQ(r.window.fullscreen, 1);
    EXPECT_EQ(r.window.width, 1920);
    EXPECT_EQ(r.window.monitor, nullptr);
    EXPECT_EQ(notes.size(), 7u); // all but the position and the refresh rate, which -1 leaves valid
}

TEST(ConfigFile, TruncatedFileFillsTheWholeFieldsItHolds) {
    ConfigFileFields saved;
    saved.windowMode = 0;
    saved.refreshMode = 1; // its first byte alone survives the cut below: the field keeps its value
    std::string bytes = configFileBytes(saved).substr(0, 9);
    ConfigRecord r;
    r.refreshMode = 0;
    EXPECT_TRUE(decodeConfig(bytes, r).empty());
    EXPECT_EQ(r.windowMode, 0);
    EXPECT_EQ(r.refreshMode, 0);
    EXPECT_EQ(r.monitorIndex, 0);
    EXPECT_EQ(r.window.positionX, 50);
    ConfigRecord fromEmpty;
    EXPECT_TRUE(decodeConfig("", fromEmpty).empty());
    EXPECT_EQ(fromEmpty.window.width, 1920);
}

TEST(ConfigFile, MonitorIndexPastTheConnectedMonitorsIsClampedWithANote) {
    std::vector<std::string> notes;
    EXPECT_EQ(clampMonitorIndex(3, 2, &notes), 1);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("monitor 3 is not connected (2 monitors); using monitor 1"), std::string::npos);
    EXPECT_EQ(clampMonitorIndex(1, 2, &notes), 1);
    EXPECT_EQ(notes.size(), 1u);
}

// Whatever sits at the path, loading reads at most 48 bytes of a regular file and otherwise gives one note and
// no bytes: never an exception, never a blocked read, never unbounded memory.
TEST_F(ConfigDir, MalformedConfigPathsGiveOneNoteAndTheDefaults) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        size_t bytes;
        const char* note; // empty: no note
    };
    const Case cases[] = {
        {"missing", [](const std::string&) {}, 0, ""},
        {"directory", [](const std::string& p) { fs::create_directory(p); }, 0, "is a directory"},
        {"FIFO without writer", [](const std::string& p) { mkfifo(p.c_str(), 0600); }, 0, "is a FIFO"},
        {"endless device", [](const std::string& p) { fs::create_symlink("/dev/zero", p); }, 0,
         "is a character device"},
        {"random device", [](const std::string& p) { fs::create_symlink("/dev/urandom", p); }, 0,
         "is a character device"},
        {"symbolic link loop",
         [this](const std::string& p) {
             fs::create_symlink(path("b"), p);
             fs::create_symlink(p, path("b"));
         },
         0, "Too many levels of symbolic links"},
        {"dangling symbolic link", [this](const std::string& p) { fs::create_symlink(path("gone"), p); }, 0,
         "a symbolic link to nothing"},
        {"empty file", [](const std::string& p) { writeConfigFileBytes(p, ""); }, 0, "has 0 bytes instead of 48"},
        {"7 bytes", [](const std::string& p) { writeConfigFileBytes(p, "garbage"); }, 7, "has 7 bytes instead of 48"},
        {"1 MB", [](const std::string& p) { writeConfigFileBytes(p, std::string(1 << 20, 'x')); }, 48,
         "has 1048576 bytes instead of 48; only the first 48 are read"},
        {"exactly 48", [](const std::string& p) { writeConfigFileBytes(p, configFileBytes({})); }, 48, ""},
    };
    for (const Case& c : cases) {
        std::string p = path(std::string("config-") + std::to_string(&c - cases) + ".gcfg");
        c.make(p);
        ConfigFileRead read = readConfigFile(p);
        EXPECT_EQ(read.bytes.size(), c.bytes) << c.what;
        if (*c.note) {
            ASSERT_EQ(read.notes.size(), 1u) << c.what;
            EXPECT_NE(read.notes[0].find(c.note), std::string::npos) << c.what << ": " << read.notes[0];
            EXPECT_EQ(read.notes[0].find('\n'), std::string::npos);
        } else {
            EXPECT_TRUE(read.notes.empty()) << c.what << ": " << read.notes[0];
        }
        ConfigRecord r;
        decodeConfig(read.bytes, r);
        if (c.bytes == 0) {
            EXPECT_EQ(r.windowMode, 1) << c.what;
        }
        fs::remove_all(path("b"));
    }
}
