#pragma once
#include "image_processing/dib_graphic.h"

#include <string>

namespace vistrel {

// The base of every picture operation: set properties, call Apply (in place) or ApplyOnDest (into a
// second picture). A transform keeps no image data between calls.
class TImageTransform {
public:
    virtual ~TImageTransform() = default;
    virtual std::string ClassName() const = 0;
    // Runs ApplyOnDest into a temporary picture and moves the result over `graphic`; when that fails,
    // `graphic` is left as it was.
    virtual void Apply(TDibGraphic& graphic);
    // Raises "Method "ApplyOnDest" not implemented for <class> class" unless overridden.
    virtual void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination);

    TImageProgressEvent OnProgress;

protected:
    // Forgets the last percent so that the first report of a run (0) always reaches the handler.
    void StartProgress() { lastPercent_ = 255; }
    // (current - minimum)·100 div (maximum - minimum), clamped to 0 .. 100, handed on only when it
    // differs from the last report.
    void ReportProgress(int64_t current, int64_t minimum, int64_t maximum);

private:
    uint8_t lastPercent_ = 255;
};

} // namespace vistrel
