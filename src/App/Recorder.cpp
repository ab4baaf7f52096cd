#include "App/Recorder.h"

#include "App/Screenshot.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string lowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

// The directory a new entry `path` would be created in.
std::string parentOf(const std::string& path) {
    fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

// Empty when `dir` is a directory this process may create files in, else why not.
std::string writableDirectoryProblem(const std::string& dir) {
    std::error_code error;
    if (!fs::exists(dir, error))
        return "the directory \"" + dir + "\" does not exist";
    if (!fs::is_directory(dir, error))
        return "\"" + dir + "\" is not a directory";
    if (access(dir.c_str(), W_OK | X_OK) != 0)
        return "the directory \"" + dir + "\" is not writable (" + std::strerror(errno) + ")";
    return {};
}

} // namespace

std::string findExecutable(const std::string& name, const std::string& searchPath) {
    size_t start = 0;
    while (start <= searchPath.size()) {
        size_t end = searchPath.find(':', start);
        if (end == std::string::npos)
            end = searchPath.size();
        std::string dir = searchPath.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + name;
            struct stat info {};
            if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

RecordTarget planRecordTarget(const std::string& path, const std::string& searchPath) {
    RecordTarget t;
    t.path = path;
    auto refuse = [&](const std::string& why) {
        t.error = "Cannot record into \"" + path + "\": " + why;
        return t;
    };
    if (path.empty())
        return refuse("the path is empty");
    std::error_code error;
    if (fs::is_directory(path, error)) {
        if (std::string problem = writableDirectoryProblem(path); !problem.empty())
            return refuse(problem);
        return t;
    }
    const std::string ext = lowerExtension(path);
    if (ext == ".mp4" || ext == ".webm") {
        t.kind = RecordKind::Video;
        t.container = ext.substr(1);
        t.ffmpeg = findExecutable("ffmpeg", searchPath);
        if (t.ffmpeg.empty())
            return refuse("ffmpeg, which encodes ." + t.container +
                          " videos, was not found on PATH (install the ffmpeg package)");
    } else if (!ext.empty()) {
        return refuse("unknown extension \"" + fs::path(path).extension().string() +
                      "\" (record into a .mp4 or .webm video, or into a directory of PNG frames)");
    } else {
        t.createDirectory = true;
    }
    if (fs::exists(fs::symlink_status(path, error)) && t.kind == RecordKind::PngDirectory)
        return refuse("it exists and is not a directory");
    if (std::string problem = writableDirectoryProblem(parentOf(path)); !problem.empty())
        return refuse(problem);
    return t;
}

std::vector<std::string> ffmpegArguments(const RecordTarget& target, uint32_t width, uint32_t height, long fps,
                                         const std::string& output) {
    std::vector<std::string> a = {"ffmpeg",
                                  "-hide_banner",
                                  "-loglevel",
                                  "error",
                                  "-y",
                                  "-f",
                                  "rawvideo",
                                  "-pix_fmt",
                                  "rgba",
                                  "-s",
                                  std::to_string(width) + "x" + std::to_string(height),
                                  "-r",
                                  std::to_string(fps),
                                  "-i",
                                  "-",
                                  "-an"};
    if (width % 2 || height % 2)
        a.insert(a.end(), {"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2"});
    if (target.container == "webm")
        a.insert(a.end(), {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-b:v", "0", "-crf", "32"});
    else
        a.insert(a.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "20"});
    a.insert(a.end(), {"-pix_fmt", "yuv420p", "-f", target.container == "webm" ? "webm" : "mp4", output});
    return a;
}

std::string recordedFramePath(const std::string& directory, uint64_t n) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%05llu.png", static_cast<unsigned long long>(n));
    return (fs::path(directory) / name).string();
}

void fitFrame(const uint8_t* from, uint32_t fromWidth, uint32_t fromHeight, std::vector<uint8_t>& to, uint32_t width,
              uint32_t height) {
    to.assign(size_t(width) * height * 4, 0);
    for (size_t i = 3; i < to.size(); i += 4)
        to[i] = 255;
    const uint32_t w = std::min(width, fromWidth), h = std::min(height, fromHeight);
    const uint32_t fromX = (fromWidth - w) / 2, fromY = (fromHeight - h) / 2;
    const uint32_t toX = (width - w) / 2, toY = (height - h) / 2;
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(&to[(size_t(toY + y) * width + toX) * 4], &from[(size_t(fromY + y) * fromWidth + fromX) * 4],
                    size_t(w) * 4);
}

std::string recordProgressText(const std::string& path, uint64_t done, std::optional<uint64_t> total,
                               double framesPerSecond) {
    char line[256];
    int n = std::snprintf(line, sizeof line, "Recording %s: frame %llu", path.c_str(),
                          static_cast<unsigned long long>(done));
    if (total && n > 0 && size_t(n) < sizeof line)
        n += std::snprintf(line + n, sizeof line - size_t(n), " of %llu", static_cast<unsigned long long>(*total));
    if (n > 0 && size_t(n) < sizeof line)
        n += std::snprintf(line + n, sizeof line - size_t(n), ", %.1f frames/s", framesPerSecond);
    if (total && *total >= done && framesPerSecond > 0.0 && n > 0 && size_t(n) < sizeof line) {
        long long left = static_cast<long long>(double(*total - done) / framesPerSecond + 0.5);
        std::snprintf(line + n, sizeof line - size_t(n), ", %lld:%02lld left", left / 60, left % 60);
    }
    return line;
}

Recorder::Recorder(RecordTarget target_, long fps_) : plan(std::move(target_)), fps(fps_) {
    if (plan.kind == RecordKind::Video) {
        temporaryPath = plan.path + ".part";
        // An encoder that dies shows as a failed write to its pipe, not as the end of this process.
        std::signal(SIGPIPE, SIG_IGN);
    } else if (plan.createDirectory) {
        std::error_code error;
        fs::create_directory(plan.path, error);
        if (error && !fs::is_directory(plan.path))
            fail("cannot create the directory (" + error.message() + ")");
    }
    writer = std::thread(&Recorder::writerLoop, this);
}

Recorder::~Recorder() {
    if (!finished)
        finish();
}

std::string Recorder::error() const {
    std::lock_guard<std::mutex> lock(mutex);
    return errorText;
}

void Recorder::fail(const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex);
    if (errorText.empty())
        errorText = message;
    failedFlag.store(true, std::memory_order_release);
}

void Recorder::take(const uint8_t* pixels, uint32_t width, uint32_t height, VkFormat format) {
    if (failed() || finished)
        return;
    ++taken;
    std::unique_lock<std::mutex> lock(mutex);
    // Backpressure: a writer slower than rendering holds the frame loop instead of filling memory.
    changed.wait(lock, [&] { return queue.size() < MaxQueued; });
    Frame frame;
    if (!spare.empty()) {
        frame.pixels = std::move(spare.back());
        spare.pop_back();
    }
    lock.unlock();
    frame.pixels.assign(pixels, pixels + size_t(width) * height * 4);
    frame.width = width;
    frame.height = height;
    frame.format = format;
    lock.lock();
    queue.push_back(std::move(frame));
    changed.notify_all();
}

void Recorder::writerLoop() {
    for (;;) {
        Frame frame;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return stopping || !queue.empty(); });
            if (queue.empty())
                return;
            frame = std::move(queue.front());
            queue.pop_front();
        }
        if (!failed())
            write(frame);
        std::lock_guard<std::mutex> lock(mutex);
        spare.push_back(std::move(frame.pixels));
        changed.notify_all();
    }
}

void Recorder::write(Frame& frame) {
    std::vector<uint8_t> rgba = toRgba8(frame.pixels.data(), frame.width, frame.height, frame.format);
    if (plan.kind == RecordKind::PngDirectory) {
        ScreenshotWrite w = writeScreenshotPng(recordedFramePath(plan.path, written + 1), ScreenshotNaming::Exact, rgba,
                                               frame.width, frame.height);
        if (!w.ok)
            return fail("cannot write " + w.path + " (" + w.error + ")");
        ++written;
        return;
    }
    if (encoder < 0 && !startEncoder(frame.width, frame.height))
        return;
    const uint8_t* data = rgba.data();
    if (frame.width != videoWidth || frame.height != videoHeight) {
        fitFrame(rgba.data(), frame.width, frame.height, fitted, videoWidth, videoHeight);
        data = fitted.data();
    }
    size_t size = size_t(videoWidth) * videoHeight * 4, done = 0;
    while (done < size) {
        ssize_t n = ::write(pipeFd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(std::string("ffmpeg stopped taking frames (") + std::strerror(errno) + ")");
        done += size_t(n);
    }
    ++written;
}

bool Recorder::startEncoder(uint32_t width, uint32_t height) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        fail(std::string("cannot make a pipe to ffmpeg (") + std::strerror(errno) + ")");
        return false;
    }
    std::vector<std::string> args = ffmpegArguments(plan, width, height, fps, temporaryPath);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group: a Ctrl-C at the terminal reaches only this program, which then ends the video
    // properly, instead of also cutting ffmpeg off mid-file.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, plan.ffmpeg.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[0]);
    if (spawned != 0) {
        close(fds[1]);
        fail("cannot start " + plan.ffmpeg + " (" + std::strerror(spawned) + ")");
        return false;
    }
    encoder = pid;
    pipeFd = fds[1];
    videoWidth = width;
    videoHeight = height;
    return true;
}

bool Recorder::endEncoder() {
    if (pipeFd >= 0)
        close(pipeFd);
    pipeFd = -1;
    int status = 0;
    pid_t waited;
    do
        waited = waitpid(encoder, &status, 0);
    while (waited < 0 && errno == EINTR);
    encoder = -1;
    if (waited < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fail(WIFEXITED(status) ? "ffmpeg failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")"
                               : std::string("ffmpeg ended abnormally"));
        return false;
    }
    return true;
}

bool Recorder::finish() {
    if (finished)
        return !failed();
    finished = true;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    if (writer.joinable())
        writer.join();
    if (plan.kind == RecordKind::Video) {
        bool encoded = encoder >= 0 && endEncoder();
        std::error_code error;
        if (encoded && !failed()) {
            fs::rename(temporaryPath, plan.path, error);
            if (error)
                fail("cannot put the video in place (" + error.message() + ")");
        }
        if (failed() || !encoded)
            fs::remove(temporaryPath, error);
    }
    if (written == 0 && !failed())
        fail("no frame was recorded");
    if (failed()) {
        std::cout << "Recording " << plan.path << " failed: " << error() << std::endl;
        return false;
    }
    std::cout << "Recording saved: " << plan.path << " (" << written << " frames at " << fps << " frames/s)"
              << std::endl;
    return true;
}
