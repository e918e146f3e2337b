#pragma once
#include <functional>

namespace vistrel {

// Worker threads worth starting for `items` pieces of work of about `bytesPerItem` bytes each: 1 for
// small jobs, where starting threads costs more than it saves.
int WorkerCount(int items, long long bytesPerItem);
// Upper bound for WorkerCount, 8 unless changed; 1 runs everything on the calling thread.
void SetMaxWorkerThreads(int threads);

// Runs body(k) for every k in 0 .. count - 1 on `threads` threads, the calling thread among them.
// Between its own items the calling thread calls progress(finished) with the number of items finished
// so far, so handlers run on the caller's thread only. An exception from progress stops the workers
// (after their current item) and passes on; the result of each item must not depend on the thread.
void ParallelFor(int count, int threads, const std::function<void(int)>& body,
                 const std::function<void(int)>& progress);

} // namespace vistrel
