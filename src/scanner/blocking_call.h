#pragma once
// SANE calls block: opening a device, starting a scan and reading its lines can each take seconds.
// RunBlocking runs such a call on a thread of its own while the calling thread keeps its event loop
// running, so the window paints and "Abbrechen" can be pressed; what the call reports on the way
// comes back to the calling thread as posted events, in the order it was sent.
#include "common/job.h"

#include <functional>

namespace vistrel {

// Hands a piece of work from the worker to the calling thread.
using TPostToCaller = std::function<void(std::function<void()>)>;

// Runs `task` on a worker thread and returns when it is done, rethrowing what it threw. While it
// runs, `control` (when given) is asked for "Abbrechen" after every posted event and every 100 ms;
// the first time it says yes, `cancel` runs on the calling thread. SANE allows sane_cancel at any
// time from any thread, which is what makes this safe.
void RunBlocking(const std::function<void(const TPostToCaller& post)>& task,
                 const JobControl* control = nullptr, const std::function<void()>& cancel = {});

} // namespace vistrel
