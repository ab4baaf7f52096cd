#include "Common.h"

#include <atomic>
#include <thread>

namespace AssetGen {

void parallelFor(int count, const std::function<void(int begin, int end)>& body) {
    int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    // Small chunks handed out on demand: the sky's work per row varies a lot (the Milky Way band).
    const int chunk = std::max(1, std::min(16, count / (threads * 8)));
    std::atomic<int> next{0};
    auto worker = [&] {
        for (int begin = next.fetch_add(chunk); begin < count; begin = next.fetch_add(chunk))
            body(begin, std::min(count, begin + chunk));
    };
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t)
        workers.emplace_back(worker);
    worker();
    for (std::thread& w : workers)
        w.join();
}

} // namespace AssetGen
