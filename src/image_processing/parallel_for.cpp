#include "image_processing/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vistrel {

namespace {
std::atomic<int> maxWorkerThreads{8};
}

void SetMaxWorkerThreads(int threads) {
    maxWorkerThreads = std::max(1, threads);
}

int WorkerCount(int items, long long bytesPerItem) {
    constexpr long long minimumBytesPerThread = 1 << 20;
    int hardware = int(std::max(1u, std::thread::hardware_concurrency()));
    long long byWork = std::max(1LL, items * bytesPerItem / minimumBytesPerThread);
    return int(std::min<long long>({maxWorkerThreads.load(), hardware, byWork, std::max(1, items)}));
}

void ParallelFor(int count, int threads, const std::function<void(int)>& body,
                 const std::function<void(int)>& progress) {
    std::atomic<int> next{0};
    std::atomic<int> finished{0};
    std::atomic<bool> stop{false};
    std::exception_ptr workerError;
    std::mutex errorLock;
    auto work = [&] {
        while (!stop) {
            int k = next++;
            if (k >= count) return;
            try {
                body(k);
            } catch (...) {
                std::lock_guard<std::mutex> lock(errorLock);
                if (!workerError) workerError = std::current_exception();
                stop = true;
            }
            ++finished;
        }
    };
    {
        // Declared after everything the workers use, so their join runs before any of it goes away.
        std::vector<std::jthread> workers;
        for (int t = 1; t < threads; ++t)
            workers.emplace_back(work);
        try {
            while (!stop) {
                int k = next++;
                if (k >= count) break;
                body(k);
                ++finished;
                if (progress) progress(finished.load());
            }
        } catch (...) {
            stop = true;
            throw;
        }
    }
    if (workerError) std::rethrow_exception(workerError);
    if (progress) progress(finished.load());
}

} // namespace vistrel
