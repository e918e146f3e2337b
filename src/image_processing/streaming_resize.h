#pragma once
// Resampling a JPEG while it is decoded. The horizontal pass needs only rows the decoder has already
// produced, so each strip of rows is reduced on a worker thread as soon as it is complete, while the
// decoder goes on with the next rows on the calling thread; the source picture is never held whole.
// The vertical pass follows strip by strip on the same worker. The result is byte for byte what
// TResizeTransform with the same filter makes of the fully decoded picture.
#include "image_processing/huge_pages.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/resampler.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vistrel {

struct TResizeTarget {
    int width = 0;
    int height = 0;
};

class TStreamingResize : public TJpegRowSink {
public:
    // The target size is chosen once the header is known. `stop`, when given, is polled between
    // rows: once set, the decode ends with an EImageError.
    using TTargetChoice = std::function<TResizeTarget(const TJpegHeader&)>;
    TStreamingResize(TTargetChoice chooseTarget, TResampleFilter filter, TDibGraphic& destination,
                     const std::atomic<bool>* stop = nullptr);
    ~TStreamingResize() override;
    TStreamingResize(const TStreamingResize&) = delete;
    TStreamingResize& operator=(const TStreamingResize&) = delete;

    // A further picture made from the same decoded rows with the same filter (the large version
    // beside the stored picture): each strip is read once and reduced for every output. `choose`
    // gives nothing when no such picture is wanted for this source. Call before the decode.
    using TOptionalTargetChoice = std::function<std::optional<TResizeTarget>(const TJpegHeader&)>;
    // `rowMade`, when given, hears of each destination row once it is final (its bytes as in the
    // destination's scan line, and its number), in order from the top, on the output's worker: the
    // row can be encoded while the decode goes on.
    using TRowMade = std::function<void(const uint8_t* row, int y)>;
    void AddOutput(TOptionalTargetChoice choose, TDibGraphic& destination, TRowMade rowMade = {});
    // The same without a destination: each row is made into a buffer of one row and handed out, so
    // the picture is never held (nor its pages zeroed) when its rows are all that is wanted.
    void AddRowOutput(TOptionalTargetChoice choose, TRowMade rowMade);

    // Decode progress in percent, on the decoding thread.
    std::function<void(uint8_t)> OnDecodeProgress;

    const TJpegHeader& Header() const { return header_; }

    // The rows are converted strip by strip on a thread of their own, so the decoder does not wait
    // for the colours.
    void TakeColorConverter(std::unique_ptr<TColorConverter>& converter) override;
    void Begin(const TJpegHeader& header) override;
    void RowsFor(int first, int count, uint8_t** rows) override;
    void RowsDone(int first, int count) override;

    // After the decode: waits until the workers have made every destination row.
    void Finish();

private:
    // One picture the rows are reduced into: its contributors on both axes, and a ring of the rows
    // reduced horizontally that holds just what the destination rows still to be made draw on.
    struct TOutput {
        TOptionalTargetChoice choose;
        TDibGraphic* destination = nullptr;
        TRowMade rowMade;
        // With AddRowOutput: the one-row destination, owned here.
        std::unique_ptr<TDibGraphic> rowBuffer;
        int dw = 0;
        int dh = 0;
        TContributorTable columns;
        TContributorTable rows;
        // For each destination row, the source rows that must be reduced before it and every row
        // above it can be made.
        std::vector<int> rowsNeeded;
        int ringRows = 0;
        // Not zeroed: every byte is written before it is read.
        std::unique_ptr<uint8_t[]> ring; // ringRows x dw x 3
        int made = 0;                    // destination rows made
        int reduced = 0;                 // strips its worker has reduced
    };

    uint8_t* Slot(int strip) { return ring_.get() + size_t(strip % kRingStrips) * stripBytes_; }
    void PrepareOutput(TOutput& output, TResizeTarget target);
    void PlanOutput(TOutput& output);
    // One worker per output, so a second picture costs no time while the decoder is the slower part.
    // It makes each destination row as soon as the rows it draws on are reduced, so neither pass
    // waits for the end of the decode.
    void ReduceStrips(size_t output);
    void MakeRowsUpTo(TOutput& output, int sourceRows);
    void ConvertStrips();
    // Whether strip s may be reduced: decoded, and converted when there is a converter. Under lock_.
    bool Ready(int strip) const { return (converter_ ? converted_ : complete_) > strip; }
    void StopWorkers();
    void WaitForSlot(int strip);
    // Waits under `guard` until `count() >= need` or `done()`, noting in `needed` the least any
    // waiter needs, so that whoever raises the count wakes the waiters only once it is enough.
    template <class Count, class Done>
    void WaitUntil(std::unique_lock<std::mutex>& guard, std::condition_variable& wake, int& needed, int need,
                   Count count, Done done);
    // After raising a count under lock_: whether the waiters noted in `needed` are to be woken.
    static bool Enough(int& needed, int count);

    static constexpr int kRingStrips = 16;
    // A waiting worker (or the colour converter) is woken once this many strips are ready for it,
    // not for each: every wake-up is a switch between threads, and there were some 1,600 of them
    // for one 12-megapixel picture.
    static constexpr int kWakeStrips = 4;

    TTargetChoice chooseTarget_;
    TResampleFilter filter_;
    const std::atomic<bool>* stop_;
    TJpegHeader header_;
    int channels_ = 3;
    size_t rowBytes_ = 0;
    size_t stripBytes_ = 0;
    int strips_ = 0;
    std::vector<TOutput> outputs_; // the first is the constructor's destination; only wanted ones
    std::vector<TOutput> extra_;   // added outputs, until the header tells which are wanted
    HugePageBuffer ring_;          // kRingStrips strips of decoded rows, reused round robin

    std::mutex lock_;
    std::condition_variable stripsReady_; // the converter and the workers wait here for strips
    std::condition_variable slotsFree_;   // the decoding thread waits here for ring slots, or the end
    int converterNeeds_ = kNobody;        // decoded strips the waiting converter waits for
    int workersNeed_ = kNobody;           // ready strips the waiting workers wait for
    int decoderNeeds_ = kNobody;          // strips reduced by every worker the decoder waits for
    static constexpr int kNobody = 1 << 30;
    std::unique_ptr<TColorConverter> converter_;
    int complete_ = 0;  // strips the decoder has filled
    int converted_ = 0; // strips converted to sRGB
    int reduced_ = 0;   // strips every worker has reduced: the ring slots before it are free
    bool quit_ = false;
    std::exception_ptr workerError_;
    std::vector<std::thread> workers_;
};

} // namespace vistrel
