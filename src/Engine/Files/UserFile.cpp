#include "Engine/Files/UserFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char* fileKindName(unsigned mode) {
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

std::string UserFile::reason() const {
    switch (fault) {
    case FileFault::None: return {};
    case FileFault::Missing: return "does not exist";
    case FileFault::DanglingLink: return "is a symbolic link to nothing";
    case FileFault::NotRegular: return "is not a file (it is " + detail + ")";
    case FileFault::TooLarge:
        if (limit % (uint64_t(1) << 20) == 0)
            return "is larger than " + std::to_string(limit >> 20) + " MB";
        return "is larger than " + std::to_string(limit) + " bytes";
    case FileFault::CannotOpen: return "cannot be opened (" + detail + ")";
    case FileFault::CannotRead: return "cannot be read (" + detail + ")";
    }
    return {};
}

namespace {

UserFile fault(UserFile f, FileFault kind, std::string detail) {
    f.fault = kind;
    f.detail = std::move(detail);
    f.bytes.clear();
    f.bytes.shrink_to_fit();
    return f;
}

} // namespace

UserFile readUserFile(const std::string& path, uint64_t maxBytes, Oversize oversize) {
    UserFile f;
    f.limit = maxBytes;
    struct stat info {};
    // Looked at before opening: opening a FIFO could block and a device could never end.
    if (stat(path.c_str(), &info) != 0) {
        int error = errno;
        struct stat link {};
        if (error == ENOENT && lstat(path.c_str(), &link) == 0)
            return fault(f, FileFault::DanglingLink, {});
        if (error == ENOENT || error == ENOTDIR)
            return fault(f, FileFault::Missing, {});
        return fault(f, FileFault::CannotOpen, std::strerror(error));
    }
    if (!S_ISREG(info.st_mode))
        return fault(f, FileFault::NotRegular, fileKindName(info.st_mode));
    f.size = uint64_t(info.st_size);
    if (oversize == Oversize::Refuse && f.size > maxBytes)
        return fault(f, FileFault::TooLarge, {});

    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fault(f, FileFault::CannotOpen, std::strerror(errno));
    // The path may have been replaced between the two looks.
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return fault(f, FileFault::NotRegular, fileKindName(info.st_mode));
    }
    // A file that grows while it is read, or one that reports no size (/proc), is still bounded by the cap: one
    // byte past it is enough to refuse.
    const uint64_t wanted = oversize == Oversize::Refuse ? maxBytes + 1 : maxBytes;
    f.bytes.resize(size_t(std::min<uint64_t>(std::max<uint64_t>(f.size, 4096), wanted)));
    size_t got = 0;
    while (got < wanted) {
        if (got == f.bytes.size())
            f.bytes.resize(size_t(std::min<uint64_t>(uint64_t(f.bytes.size()) * 2, wanted)));
        ssize_t n = read(fd, f.bytes.data() + got, f.bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int error = errno;
            close(fd);
            return fault(f, FileFault::CannotRead, std::strerror(error));
        }
        if (n == 0)
            break;
        got += size_t(n);
    }
    close(fd);
    if (got > maxBytes)
        return fault(f, FileFault::TooLarge, {});
    f.bytes.resize(got);
    return f;
}
