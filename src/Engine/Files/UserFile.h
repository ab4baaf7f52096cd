#pragma once
// One checked way to read a file a user can hand the program (font, model, textures, shaders, settings, scripts,
// missions): only a regular file is opened (a FIFO or a device could block, never end or have side effects), its
// size is capped before anything is allocated, and a failing read is reported rather than taken for the end of
// the file. No platform or Vulkan types: callers phrase the fault in their own message, naming the file.
#include <cstdint>
#include <string>

enum class FileFault {
    None,
    Missing,      // nothing at the path
    DanglingLink, // a symbolic link to nothing
    NotRegular,   // a directory, FIFO, device or socket; `detail` says which
    TooLarge,     // larger than the cap
    CannotOpen,   // `detail` holds the system's reason
    CannotRead,   // `detail` holds the system's reason
};

struct UserFile {
    std::string bytes;
    uint64_t size = 0; // the size the file system reports (0 for files it cannot size, such as /proc's)
    FileFault fault = FileFault::None;
    std::string detail;
    uint64_t limit = 0; // the cap the file was read with
    bool ok() const { return fault == FileFault::None; }
    // "does not exist", "is not a file (it is a directory)", "is larger than 16 MB", "cannot be read (...)"...
    std::string reason() const;
};

enum class Oversize {
    Refuse,    // a file larger than the cap is not read
    ReadPrefix // the first `maxBytes` bytes are read and the rest ignored (fixed-size records)
};

UserFile readUserFile(const std::string& path, uint64_t maxBytes, Oversize oversize = Oversize::Refuse);

// "a directory", "a FIFO", "a character device"... for a stat mode.
const char* fileKindName(unsigned mode);
