#include "App/Screenshot.h"

#include "Engine/Commands/CommandContext.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace {

// Creates `path` only when nothing exists there ("x": C11 exclusive mode) and writes `bytes`. EEXIST is told apart
// so the caller can try the next name.
bool writeNewFile(const std::string& path, const std::vector<uint8_t>& bytes, int& error) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wbx");
    if (!file) {
        error = errno ? errno : EIO;
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = std::fflush(file) == 0 && written;
    error = written ? 0 : (errno ? errno : EIO);
    written = std::fclose(file) == 0 && written;
    if (!written) {
        error = error ? error : EIO;
        std::remove(path.c_str());
    }
    return written;
}

// Tries the numbered names of `path` until one is free; `written` receives it.
bool writeFirstFreeName(const std::string& path, const std::vector<uint8_t>& bytes, std::string& written,
                        std::string& reason) {
    constexpr uint32_t MaxTries = 10000;
    for (uint32_t n = 1; n <= MaxTries; ++n) {
        std::string candidate = numberedScreenshotPath(path, n);
        int error = 0;
        if (writeNewFile(candidate, bytes, error)) {
            written = candidate;
            return true;
        }
        if (error != EEXIST) {
            reason = std::strerror(error);
            return false;
        }
    }
    reason = "no free name up to " + numberedScreenshotPath(path, MaxTries);
    return false;
}

} // namespace

std::string numberedScreenshotPath(const std::string& path, uint32_t n) {
    if (n <= 1)
        return path;
    size_t slash = path.find_last_of("/\\");
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        dot = path.size(); // no extension (or a hidden file's leading dot)
    return path.substr(0, dot) + "-" + std::to_string(n) + path.substr(dot);
}

ScreenshotWrite writeScreenshotPng(const std::string& path, ScreenshotNaming naming, const std::vector<uint8_t>& rgba,
                                   uint32_t width, uint32_t height) {
    ScreenshotWrite result;
    result.path = path;
    std::vector<uint8_t> png;
    auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    };
    if (width == 0 || height == 0 || rgba.size() < size_t(width) * height * 4 ||
        !stbi_write_png_to_func(append, &png, int(width), int(height), 4, rgba.data(), int(width * 4))) {
        result.error = "could not encode the image";
        return result;
    }
    if (naming == ScreenshotNaming::Unique) {
        result.ok = writeFirstFreeName(path, png, result.path, result.error);
        return result;
    }
    // Exact: complete the file under a fresh name beside the target, then put it in place in one step.
    std::string temporary;
    if (!writeFirstFreeName(path + ".part", png, temporary, result.error))
        return result;
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        result.error = "cannot put it in place (" + error.message() + ")";
        return result;
    }
    result.ok = true;
    return result;
}

ScreenshotCapture::~ScreenshotCapture() {
    for (Capture& c : captures)
        destroy(c);
    for (Capture& c : spare)
        destroy(c);
}

void ScreenshotCapture::destroy(Capture& capture) {
    if (capture.mapped)
        vkUnmapMemory(device->device, capture.memory);
    if (capture.buffer != VK_NULL_HANDLE)
        vkDestroyBuffer(device->device, capture.buffer, nullptr);
    if (capture.memory != VK_NULL_HANDLE)
        vkFreeMemory(device->device, capture.memory, nullptr);
    capture.mapped = nullptr;
    capture.buffer = VK_NULL_HANDLE;
    capture.memory = VK_NULL_HANDLE;
}

void ScreenshotCapture::release(Capture& capture) {
    capture.requests.clear();
    capture.sink.reset();
    if (capture.mapped && spare.size() < SpareBuffers) {
        spare.push_back(std::move(capture));
        capture = Capture{};
        return;
    }
    destroy(capture);
}

void ScreenshotCapture::request(const std::string& path, ScreenshotNaming naming) {
    requests.push_back({path, naming});
}

void ScreenshotCapture::recordCopy(CommandContext* context, VkImage image, VkFormat format, uint32_t w, uint32_t h) {
    if (!requested())
        return;
    const VkDeviceSize size = VkDeviceSize(w) * h * 4;
    Capture capture;
    auto fits = std::find_if(spare.begin(), spare.end(), [&](const Capture& c) { return c.size == size; });
    if (fits != spare.end()) {
        capture = std::move(*fits);
        spare.erase(fits);
    } else {
        auto [b, m] =
            Helper::createBuffer(device->physicalDevice, device->device, size, VK_BUFFER_USAGE_TRANSFER_DST_BIT,
                                 VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
        capture.buffer = b;
        capture.memory = m;
        capture.size = size;
        if (vkMapMemory(device->device, m, 0, VK_WHOLE_SIZE, 0, &capture.mapped) != VK_SUCCESS)
            capture.mapped = nullptr;
    }
    capture.width = w;
    capture.height = h;
    capture.format = format;
    capture.serial = device->registry.currentSerial();
    capture.requests.swap(requests);
    capture.sink = std::move(frameSink);

    VkImageSubresourceRange range{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    imageBarrier(context, image, range, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                 VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT, VK_PIPELINE_STAGE_2_COPY_BIT, VK_ACCESS_2_TRANSFER_READ_BIT);
    VkBufferImageCopy region{};
    region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    region.imageExtent = {w, h, 1};
    vkCmdCopyImageToBuffer(context->commandBuffer, image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, capture.buffer, 1,
                           &region);
    imageBarrier(context, image, range, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
                 VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_COPY_BIT, VK_ACCESS_2_NONE,
                 VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT, VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
    // The host reads the buffer once the frame's fence has signalled: make the copy's writes visible to it.
    VkBufferMemoryBarrier2 toHost{VK_STRUCTURE_TYPE_BUFFER_MEMORY_BARRIER_2};
    toHost.srcStageMask = VK_PIPELINE_STAGE_2_COPY_BIT;
    toHost.srcAccessMask = VK_ACCESS_2_TRANSFER_WRITE_BIT;
    toHost.dstStageMask = VK_PIPELINE_STAGE_2_HOST_BIT;
    toHost.dstAccessMask = VK_ACCESS_2_HOST_READ_BIT;
    toHost.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    toHost.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    toHost.buffer = capture.buffer;
    toHost.size = VK_WHOLE_SIZE;
    VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.bufferMemoryBarrierCount = 1;
    dependency.pBufferMemoryBarriers = &toHost;
    vkCmdPipelineBarrier2(context->commandBuffer, &dependency);
    captures.push_back(std::move(capture));
}

void ScreenshotCapture::write(Capture& capture) {
    const auto* pixels = static_cast<const uint8_t*>(capture.mapped);
    if (capture.sink && pixels) {
        auto t0 = std::chrono::steady_clock::now();
        capture.sink->take(pixels, capture.width, capture.height, capture.format);
        handOverMs = std::max(handOverMs, 0.0) +
                     std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    }
    std::vector<uint8_t> rgba;
    if (pixels && !capture.requests.empty())
        rgba = toRgba8(pixels, capture.width, capture.height, capture.format);
    for (const Request& r : capture.requests) {
        ScreenshotWrite written = rgba.empty()
                                      ? ScreenshotWrite{false, r.path, "could not map the copy"}
                                      : writeScreenshotPng(r.path, r.naming, rgba, capture.width, capture.height);
        if (written.ok) {
            std::cout << "Screenshot saved: " << written.path << std::endl;
        } else {
            std::cout << "Unable to write screenshot " << r.path << ": " << written.error << std::endl;
            exactFailed = exactFailed || r.naming == ScreenshotNaming::Exact;
        }
    }
}

int ScreenshotCapture::writeCompleted() {
    const uint64_t completed = device->registry.completedSerial();
    int attempted = 0;
    handOverMs = -1.0;
    size_t kept = 0;
    for (size_t i = 0; i < captures.size(); ++i) {
        if (captures[i].serial <= completed) {
            write(captures[i]);
            attempted += int(captures[i].requests.size());
            release(captures[i]);
        } else if (kept++ != i) {
            captures[kept - 1] = std::move(captures[i]);
        }
    }
    captures.resize(kept);
    return attempted;
}

void ScreenshotCapture::finish() {
    for (Capture& c : captures) {
        write(c);
        release(c);
    }
    captures.clear();
    for (const Request& r : requests) {
        std::cout << "Unable to write screenshot " << r.path << ": no frame was rendered after it was requested"
                  << std::endl;
        exactFailed = exactFailed || r.naming == ScreenshotNaming::Exact;
    }
    requests.clear();
}

std::string timestampedScreenshotName() {
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now); // main thread only
    char name[64];
    std::strftime(name, sizeof name, "screenshot-%Y%m%d-%H%M%S.png", &local);
    return name;
}

std::vector<uint8_t> toRgba8(const uint8_t* pixels, uint32_t width, uint32_t height, VkFormat format) {
    bool bgra = format == VK_FORMAT_B8G8R8A8_SRGB || format == VK_FORMAT_B8G8R8A8_UNORM;
    std::vector<uint8_t> out(size_t(width) * height * 4);
    for (size_t i = 0; i < size_t(width) * height; ++i) {
        const uint8_t* p = pixels + i * 4;
        out[i * 4 + 0] = bgra ? p[2] : p[0];
        out[i * 4 + 1] = p[1];
        out[i * 4 + 2] = bgra ? p[0] : p[2];
        out[i * 4 + 3] = 255;
    }
    return out;
}
