#include "image_processing/streaming_resize.h"

#include "image_processing/parallel_for.h"
#include "image_processing/resample_passes.h"

#include <algorithm>

namespace vistrel {

TStreamingResize::TStreamingResize(TTargetChoice chooseTarget, TResampleFilter filter,
                                   TDibGraphic& destination, const std::atomic<bool>* stop)
    : chooseTarget_(std::move(chooseTarget)), filter_(filter), destination_(destination), stop_(stop) {}

TStreamingResize::~TStreamingResize() {
    StopWorker();
}

void TStreamingResize::StopWorker() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        quit_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void TStreamingResize::Begin(const TJpegHeader& header) {
    header_ = header;
    TResizeTarget target = chooseTarget_(header);
    int sw = header.width, sh = header.height;
    // The same checks, in the same order, as a resize of the decoded picture: the source must have
    // fitted into a pixel store, and the destination must be at least 2 x 2.
    CheckPixelStoreSize(sw, sh, header.format);
    if (target.width <= 1 || target.height <= 1) throw EImageError("Destination graphic too small");
    destination_.NewImage(target.width, target.height, header.format, nullptr, header.xDpi, header.yDpi);
    dw_ = target.width;
    channels_ = header.format == ifGray256 ? 1 : 3;
    rowBytes_ = size_t(sw) * size_t(channels_);
    stripBytes_ = rowBytes_ * kStripRows;
    strips_ = (sh + kStripRows - 1) / kStripRows;
    columns_ = BuildContributors(dw_, sw, ResampleScale(dw_, sw), filter_);
    ring_.reset(new uint8_t[stripBytes_ * size_t(std::min(kRingStrips, strips_))]);
    work_.reset(new uint8_t[size_t(dw_) * size_t(sh) * 3]);
    worker_ = std::thread([this] { ReduceStrips(); });
}

void TStreamingResize::WaitForSlot(int strip) {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [&] { return strip < reduced_ + kRingStrips || workerError_; });
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
    bool more;
    {
        std::lock_guard<std::mutex> guard(lock_);
        more = complete > complete_;
        complete_ = std::max(complete_, complete);
    }
    if (more) changed_.notify_all();
    int last = header_.height - 1;
    if (OnDecodeProgress) OnDecodeProgress(uint8_t(last > 0 ? int64_t(done - 1) * 100 / last : 100));
}

// The worker: reduces each strip once the decoder has filled it, then frees its slot in the ring.
void TStreamingResize::ReduceStrips() {
    try {
        std::unique_ptr<float[]> strip(new float[size_t(header_.width) * kStripWidth]);
        for (int s = 0; s < strips_; ++s) {
            {
                std::unique_lock<std::mutex> guard(lock_);
                changed_.wait(guard, [&] { return complete_ > s || quit_; });
                if (quit_) return;
            }
            int y0 = s * kStripRows;
            int count = std::min(kStripRows, header_.height - y0);
            const uint8_t* rows[kStripRows];
            for (int r = 0; r < count; ++r)
                rows[r] = Slot(s) + size_t(r) * rowBytes_;
            LoadStripFromRows(rows, count, header_.width, channels_, strip.get());
            ReduceStrip(strip.get(), columns_, count, dw_, work_.get() + size_t(y0) * dw_ * 3,
                        size_t(dw_) * 3);
            {
                std::lock_guard<std::mutex> guard(lock_);
                reduced_ = s + 1;
            }
            changed_.notify_all();
        }
    } catch (...) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            workerError_ = std::current_exception();
        }
        changed_.notify_all();
    }
}

void TStreamingResize::Finish() {
    {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [&] { return reduced_ == strips_ || workerError_; });
        if (workerError_) std::rethrow_exception(workerError_);
    }
    worker_.join();
    ring_.reset();
    int sh = header_.height, dh = destination_.Height();
    TContributorTable rows = BuildContributors(dh, sh, ResampleScale(dh, sh), filter_);
    // WritePixel into a gray picture goes through the palette cache, so only true colour runs in
    // parallel, as in the whole-picture resize.
    int threads = destination_.ImageFormat() == ifRgb24 ? WorkerCount(dh, 3LL * dw_ * 8) : 1;
    ParallelFor(dh, threads, [&](int i) { ReduceColumnsIntoRow(work_.get(), rows, i, dw_, destination_); },
                {});
    work_.reset();
}

} // namespace vistrel
