#include "image_processing/streaming_resize.h"

#include "image_processing/color_management.h"
#include "image_processing/resample_passes.h"

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vistrel {

TStreamingResize::TStreamingResize(TTargetChoice chooseTarget, TResampleFilter filter,
                                   TDibGraphic& destination, const std::atomic<bool>* stop)
    : chooseTarget_(std::move(chooseTarget)), filter_(filter), stop_(stop) {
    outputs_.emplace_back();
    outputs_.back().destination = &destination;
}

TStreamingResize::~TStreamingResize() {
    StopWorkers();
}

void TStreamingResize::AddOutput(TOptionalTargetChoice choose, TDibGraphic& destination, TRowMade rowMade) {
    TOutput output;
    output.choose = std::move(choose);
    output.destination = &destination;
    output.rowMade = std::move(rowMade);
    extra_.push_back(std::move(output));
}

void TStreamingResize::AddRowOutput(TOptionalTargetChoice choose, TRowMade rowMade) {
    TOutput output;
    output.choose = std::move(choose);
    output.rowBuffer = std::make_unique<TDibGraphic>();
    output.destination = output.rowBuffer.get();
    output.rowMade = std::move(rowMade);
    extra_.push_back(std::move(output));
}

void TStreamingResize::StopWorkers() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        quit_ = true;
    }
    stripsReady_.notify_all();
    slotsFree_.notify_all();
    for (std::thread& worker : workers_)
        if (worker.joinable()) worker.join();
}

namespace {

// The decoding thread is the one the picture waits for; the workers keep up with it on the other
// cores. When they must share a core with it, the scheduler is to favour the decoder: their nice
// value goes 5 steps down (Linux gives each thread its own). At the lowest, 19, the workers fell
// behind until the ring ran full and the decoder waited for them. The colour converter keeps its
// priority: every worker waits for the strips it converts, and lowered it cost a profiled picture
// some 5 % more.
void YieldToTheDecoder() {
    pid_t thread = pid_t(::syscall(SYS_gettid));
    errno = 0;
    int nice = ::getpriority(PRIO_PROCESS, id_t(thread));
    if (errno == 0) ::setpriority(PRIO_PROCESS, id_t(thread), std::min(nice + 5, 19));
}

// Which source rows each destination row needs (prefix maxima, so rows are made in order) and how
// many reduced rows the ring must hold: when destination row i is made, the strip that brought its
// last row is the newest in the ring, and its first row with a weight must not have been overwritten.
int PlanRing(const TContributorTable& rows, int sourceHeight, std::vector<int>& rowsNeeded) {
    size_t count = rows.start.size() - 1;
    rowsNeeded.assign(count, 0);
    int needed = 0, ringRows = kStripRows;
    for (size_t i = 0; i < count; ++i) {
        int lowest = sourceHeight;
        for (uint32_t e = rows.start[i]; e < rows.start[i + 1]; ++e) {
            if (rows.weight[e] == 0.0f) continue;
            needed = std::max(needed, rows.index[e] + 1);
            lowest = std::min(lowest, int(rows.index[e]));
        }
        rowsNeeded[i] = needed;
        int newest = std::min(sourceHeight, (needed + kStripRows - 1) / kStripRows * kStripRows);
        if (lowest < sourceHeight) ringRows = std::max(ringRows, newest - lowest);
    }
    // Whole strips, so that each strip lies in the ring in one piece.
    return (ringRows + kStripRows - 1) / kStripRows * kStripRows;
}

} // namespace

void TStreamingResize::PrepareOutput(TOutput& output, TResizeTarget target) {
    // The same check as a resize of the decoded picture: the destination must be at least 2 x 2.
    if (target.width <= 1 || target.height <= 1) throw EImageError("Destination graphic too small");
    CheckPixelStoreSize(target.width, target.height, header_.format);
    output.dw = target.width;
    output.dh = target.height;
}

// On the output's worker, as it begins: the decoder need not wait for the tables, nor for the
// destination to be made (zeroing a large version's store took it several milliseconds).
void TStreamingResize::PlanOutput(TOutput& output) {
    output.columns =
        BuildContributors(output.dw, header_.width, ResampleScale(output.dw, header_.width), filter_);
    output.rows =
        BuildContributors(output.dh, header_.height, ResampleScale(output.dh, header_.height), filter_);
    output.ringRows = PlanRing(output.rows, header_.height, output.rowsNeeded);
    output.ring.reset(new uint8_t[size_t(output.dw) * size_t(output.ringRows) * 3]);
    output.destination->NewImage(output.dw, output.rowBuffer ? 1 : output.dh, header_.format, nullptr,
                                 header_.xDpi, header_.yDpi);
}

void TStreamingResize::Begin(const TJpegHeader& header) {
    header_ = header;
    TResizeTarget target = chooseTarget_(header);
    int sw = header.width, sh = header.height;
    // The same checks, in the same order, as a resize of the decoded picture: the source must have
    // fitted into a pixel store before the destination is looked at.
    CheckPixelStoreSize(sw, sh, header.format);
    PrepareOutput(outputs_.front(), target);
    for (TOutput& output : extra_) {
        std::optional<TResizeTarget> wanted = output.choose(header);
        if (!wanted) continue;
        PrepareOutput(output, *wanted);
        outputs_.push_back(std::move(output));
    }
    extra_.clear();
    channels_ = header.format == ifGray256 ? 1 : 3;
    rowBytes_ = size_t(sw) * size_t(channels_);
    stripBytes_ = rowBytes_ * kStripRows;
    strips_ = (sh + kStripRows - 1) / kStripRows;
    // The decoder writes every page of the ring once, on the path the whole import waits for.
    ring_.reset(AllocateOnHugePages(stripBytes_ * size_t(std::min(kRingStrips, strips_))));
    if (!ring_) throw std::bad_alloc();
    if (converter_) workers_.emplace_back([this] { ConvertStrips(); });
    for (size_t i = 0; i < outputs_.size(); ++i)
        workers_.emplace_back([this, i] {
            YieldToTheDecoder();
            ReduceStrips(i);
        });
}

void TStreamingResize::TakeColorConverter(std::unique_ptr<TColorConverter>& converter) {
    converter_ = std::move(converter);
}

// The strip's rows are converted in place; the workers reduce it only afterwards.
void TStreamingResize::ConvertStrips() {
    for (int s = 0; s < strips_; ++s) {
        {
            std::unique_lock<std::mutex> guard(lock_);
            WaitUntil(
                guard, stripsReady_, converterNeeds_, std::min(s + kWakeStrips, strips_),
                [&] { return complete_; }, [&] { return complete_ > s || quit_; });
            if (quit_ || workerError_) return;
        }
        int count = std::min(kStripRows, header_.height - s * kStripRows);
        for (int r = 0; r < count; ++r) {
            uint8_t* row = Slot(s) + size_t(r) * rowBytes_;
            converter_->Convert(row, row, header_.width);
        }
        bool wake;
        {
            std::lock_guard<std::mutex> guard(lock_);
            converted_ = s + 1;
            wake = Enough(workersNeed_, converted_);
        }
        if (wake) stripsReady_.notify_all();
    }
}

template <class Count, class Done>
void TStreamingResize::WaitUntil(std::unique_lock<std::mutex>& guard, std::condition_variable& wake,
                                 int& needed, int need, Count count, Done done) {
    if (done()) return;
    while (count() < need && !quit_ && !workerError_) {
        needed = std::min(needed, need);
        wake.wait(guard);
    }
}

bool TStreamingResize::Enough(int& needed, int count) {
    if (count < needed) return false;
    needed = kNobody;
    return true;
}

void TStreamingResize::WaitForSlot(int strip) {
    std::unique_lock<std::mutex> guard(lock_);
    int need = strip - kRingStrips + 1;
    WaitUntil(
        guard, slotsFree_, decoderNeeds_, need, [&] { return reduced_; }, [&] { return reduced_ >= need; });
    if (workerError_) std::rethrow_exception(workerError_);
}

void TStreamingResize::RowsFor(int first, int count, uint8_t** rows) {
    if (stop_ && stop_->load()) throw EImageError("Reading stopped");
    for (int k = 0; k < count; ++k) {
        int y = first + k;
        if (k == 0 || y % kStripRows == 0) WaitForSlot(y / kStripRows);
        rows[k] = Slot(y / kStripRows) + size_t(y % kStripRows) * rowBytes_;
    }
}

void TStreamingResize::RowsDone(int first, int count) {
    int done = first + count;
    int complete = done >= header_.height ? strips_ : done / kStripRows;
    bool wake;
    {
        std::lock_guard<std::mutex> guard(lock_);
        complete_ = std::max(complete_, complete);
        wake = converter_ ? Enough(converterNeeds_, complete_) : Enough(workersNeed_, complete_);
    }
    if (wake) stripsReady_.notify_all();
    int last = header_.height - 1;
    if (OnDecodeProgress) OnDecodeProgress(uint8_t(last > 0 ? int64_t(done - 1) * 100 / last : 100));
}

// The worker of one output: reduces each strip once the decoder has filled it; the slot in the
// ring is free once every worker is past it.
void TStreamingResize::ReduceStrips(size_t index) {
    TOutput& output = outputs_[index];
    try {
        PlanOutput(output);
        HugePageBuffer stripBytes(AllocateOnHugePages(size_t(header_.width) * kStripWidth * sizeof(float)));
        if (!stripBytes) throw std::bad_alloc();
        auto* strip = reinterpret_cast<float*>(stripBytes.get());
        for (int s = 0; s < strips_; ++s) {
            {
                std::unique_lock<std::mutex> guard(lock_);
                WaitUntil(
                    guard, stripsReady_, workersNeed_, std::min(s + kWakeStrips, strips_),
                    [&] { return converter_ ? converted_ : complete_; }, [&] { return Ready(s) || quit_; });
                if (quit_ || workerError_) return;
            }
            int y0 = s * kStripRows;
            int count = std::min(kStripRows, header_.height - y0);
            const uint8_t* rows[kStripRows];
            for (int r = 0; r < count; ++r)
                rows[r] = Slot(s) + size_t(r) * rowBytes_;
            LoadStripFromRows(rows, count, header_.width, channels_, strip);
            size_t rowBytes = size_t(output.dw) * 3;
            ReduceStrip(strip, output.columns, count, output.dw,
                        output.ring.get() + size_t(y0 % output.ringRows) * rowBytes, rowBytes);
            bool wake;
            {
                std::lock_guard<std::mutex> guard(lock_);
                output.reduced = s + 1;
                reduced_ = s + 1;
                for (const TOutput& other : outputs_)
                    reduced_ = std::min(reduced_, other.reduced);
                wake = Enough(decoderNeeds_, reduced_);
            }
            if (wake) slotsFree_.notify_one();
            // The decoded strip is free already: the decoder need not wait for the vertical pass.
            MakeRowsUpTo(output, y0 + count);
        }
    } catch (...) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            workerError_ = std::current_exception();
        }
        stripsReady_.notify_all();
        slotsFree_.notify_all();
    }
}

void TStreamingResize::Finish() {
    {
        std::unique_lock<std::mutex> guard(lock_);
        WaitUntil(
            guard, slotsFree_, decoderNeeds_, strips_, [&] { return reduced_; },
            [&] { return reduced_ == strips_; });
        if (workerError_) std::rethrow_exception(workerError_);
    }
    for (std::thread& worker : workers_)
        worker.join();
    workers_.clear();
    ring_.reset();
    for (TOutput& output : outputs_)
        output.ring.reset();
    // The last rows are made after the last strip is counted as reduced.
    if (workerError_) std::rethrow_exception(workerError_);
}

// The vertical pass for every destination row whose source rows are all reduced. WritePixel into a
// gray picture goes through the palette cache; only this worker writes into its destination.
void TStreamingResize::MakeRowsUpTo(TOutput& output, int sourceRows) {
    while (output.made < output.dh && output.rowsNeeded[size_t(output.made)] <= sourceRows) {
        int row = output.rowBuffer ? 0 : output.made;
        ReduceColumnsIntoRow(output.ring.get(), size_t(output.ringRows), output.rows, output.made, output.dw,
                             *output.destination, row);
        if (output.rowMade) output.rowMade(output.destination->ScanLine(row), output.made);
        ++output.made;
    }
}

} // namespace vistrel
