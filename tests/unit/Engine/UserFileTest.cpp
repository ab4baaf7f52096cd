#include "Engine/Files/UserFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void write(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

} // namespace

// Whatever sits at the path, the read ends at once with the bytes or one fault, never a block or an endless read.
TEST(UserFile, EveryKindOfPathGivesTheBytesOrOneFault) {
    const fs::path dir = fs::temp_directory_path() / ("kestrune-userfile-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    struct Case {
        const char* what;
        std::function<std::string(const fs::path&)> make; // returns the path to read
        uint64_t cap;
        FileFault fault;
        std::string text; // part of reason(); for None, the bytes expected
    };
    const Case cases[] = {
        {"missing", [](const fs::path& d) { return (d / "gone").string(); }, 16, FileFault::Missing, "does not exist"},
        {"under a file", [](const fs::path& d) { write(d / "f", "x"); return (d / "f" / "x").string(); }, 16,
         FileFault::Missing, "does not exist"},
        {"dangling link",
         [](const fs::path& d) {
             fs::create_symlink(d / "nothing", d / "dangling");
             return (d / "dangling").string();
         },
         16, FileFault::DanglingLink, "symbolic link to nothing"},
        {"directory", [](const fs::path& d) { return d.string(); }, 16, FileFault::NotRegular,
         "is not a file (it is a directory)"},
        {"FIFO without a writer",
         [](const fs::path& d) {
             mkfifo((d / "fifo").c_str(), 0600);
             return (d / "fifo").string();
         },
         16, FileFault::NotRegular, "(it is a FIFO)"},
        {"endless device", [](const fs::path&) { return std::string("/dev/zero"); }, 16, FileFault::NotRegular,
         "(it is a character device)"},
        {"opens, then the read fails", [](const fs::path&) { return std::string("/proc/self/mem"); }, 1 << 20,
         FileFault::CannotRead, "cannot be read (Input/output error)"},
        {"one byte over the cap", [](const fs::path& d) { write(d / "big", std::string(17, 'b')); return (d / "big").string(); },
         16, FileFault::TooLarge, "is larger than 16 bytes"},
        {"over a cap in MB", [](const fs::path& d) { write(d / "mb", std::string((1 << 20) + 1, 'm')); return (d / "mb").string(); },
         1 << 20, FileFault::TooLarge, "is larger than 1 MB"},
        {"exactly the cap", [](const fs::path& d) { write(d / "cap", std::string(16, 'c')); return (d / "cap").string(); },
         16, FileFault::None, "cccccccccccccccc"},
        {"empty", [](const fs::path& d) { write(d / "empty", ""); return (d / "empty").string(); }, 16,
         FileFault::None, ""},
        {"binary with NUL", [](const fs::path& d) { write(d / "nul", std::string("a\0b", 3)); return (d / "nul").string(); },
         16, FileFault::None, std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        std::string path = c.make(dir);
        UserFile f = readUserFile(path, c.cap);
        EXPECT_EQ(f.fault, c.fault) << c.what << ": " << f.reason();
        if (c.fault == FileFault::None) {
            EXPECT_EQ(f.bytes, c.text) << c.what;
        } else {
            EXPECT_NE(f.reason().find(c.text), std::string::npos) << c.what << ": " << f.reason();
            EXPECT_TRUE(f.bytes.empty()) << c.what;
        }
    }

    // A file that reports no size (/proc) is read to its end; a prefix read takes the first bytes of a larger file.
    UserFile status = readUserFile("/proc/self/status", 1 << 20);
    ASSERT_TRUE(status.ok()) << status.reason();
    EXPECT_EQ(status.size, 0u);
    EXPECT_NE(status.bytes.find("Name:"), std::string::npos);
    write(dir / "long", "0123456789");
    UserFile prefix = readUserFile((dir / "long").string(), 4, Oversize::ReadPrefix);
    EXPECT_TRUE(prefix.ok());
    EXPECT_EQ(prefix.bytes, "0123");
    EXPECT_EQ(prefix.size, 10u);
    fs::remove_all(dir);
}
