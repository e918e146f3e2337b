#pragma once
// Turns the frames a SANE device sends into one TDibGraphic. A device sends gray or RGB pictures in
// one frame, or a three-pass scanner one frame per colour; samples have 1, 8 or 16 bits; and the
// bytes arrive in pieces of any length, not necessarily whole lines. The assembler keeps each
// frame's raw bytes and converts only once the picture is complete, so a piece boundary never
// matters and a hand scanner, which does not know its height in advance, works the same way.
#include "image_processing/dib_graphic.h"

#include <sane/sane.h>

#include <array>
#include <cstdint>
#include <vector>

namespace vistrel {

class TScanFrameAssembler {
public:
    // Starts the next frame with the parameters the device gives after sane_start. Throws ETwainError
    // for a frame format, depth or line length this program cannot take.
    void BeginFrame(const SANE_Parameters& parameters);
    void Append(const uint8_t* data, size_t length);
    // Expected bytes of the current frame, 0 when the height is unknown.
    uint64_t ExpectedFrameBytes() const;
    uint64_t FrameBytes() const;

    // The complete picture with its resolution. The 16-bit samples keep their high byte. Throws
    // ETwainError when frames are missing or hold no line.
    void Finish(TDibGraphic& picture, int xDpi, int yDpi) const;

private:
    struct TFrame {
        SANE_Parameters parameters{};
        std::vector<uint8_t> bytes;
        bool present = false;
    };

    // The whole lines a frame holds.
    static int Lines(const TFrame& frame);
    static uint8_t Sample(const TFrame& frame, int line, int index);
    void FinishGray(TDibGraphic& picture, int height) const;
    void FinishColor(TDibGraphic& picture, int height) const;

    // Slot 0 holds a gray or RGB frame; slots 1..3 red, green and blue of a three-pass scan.
    std::array<TFrame, 4> frames_;
    TFrame* current_ = nullptr;
    bool threePass_ = false;
};

} // namespace vistrel
