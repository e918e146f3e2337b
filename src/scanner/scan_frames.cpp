#include "scanner/scan_frames.h"

#include "scanner/scanner_error.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

int SamplesPerPixel(SANE_Frame format) {
    return format == SANE_FRAME_RGB ? 3 : 1;
}

// The slot of a frame: the one-pass formats share slot 0, the colour passes have their own.
int SlotOf(SANE_Frame format) {
    switch (format) {
    case SANE_FRAME_RED:
        return 1;
    case SANE_FRAME_GREEN:
        return 2;
    case SANE_FRAME_BLUE:
        return 3;
    default:
        return 0;
    }
}

// 16-bit samples come in the machine's byte order; a picture of 8 bits per sample keeps the high byte.
uint8_t HighByte(const uint8_t* sample) {
    uint16_t value;
    std::memcpy(&value, sample, sizeof value);
    return uint8_t(value >> 8);
}

} // namespace

void TScanFrameAssembler::BeginFrame(const SANE_Parameters& p) {
    if (p.format != SANE_FRAME_GRAY && p.format != SANE_FRAME_RGB && p.format != SANE_FRAME_RED &&
        p.format != SANE_FRAME_GREEN && p.format != SANE_FRAME_BLUE)
        throw ETwainError("Unsupported frame format " + std::to_string(p.format));
    if (p.depth != 1 && p.depth != 8 && p.depth != 16)
        throw ETwainError("Unsupported sample depth " + std::to_string(p.depth));
    uint64_t bitsPerLine = uint64_t(std::max(p.pixels_per_line, 0)) * SamplesPerPixel(p.format) * p.depth;
    if (p.pixels_per_line <= 0 || p.bytes_per_line <= 0 || uint64_t(p.bytes_per_line) * 8 < bitsPerLine)
        throw ETwainError("Invalid scan line of " + std::to_string(p.pixels_per_line) + " pixels in " +
                          std::to_string(p.bytes_per_line) + " bytes");
    int slot = SlotOf(p.format);
    // A three-pass scan must keep the line layout of its first pass, or the colours cannot be joined.
    if (slot != 0) {
        for (int other = 1; other <= 3; ++other) {
            const TFrame& f = frames_[size_t(other)];
            if (f.present &&
                (f.parameters.pixels_per_line != p.pixels_per_line ||
                 f.parameters.bytes_per_line != p.bytes_per_line || f.parameters.depth != p.depth))
                throw ETwainError("The colour passes of a three-pass scan differ in size");
        }
        threePass_ = true;
    }
    current_ = &frames_[size_t(slot)];
    current_->parameters = p;
    current_->bytes.clear();
    current_->present = true;
}

void TScanFrameAssembler::Append(const uint8_t* data, size_t length) {
    if (!current_) throw ETwainError("Picture data arrived before its frame");
    // The raw samples may take up to twice the picture's bytes (16 bits per sample); beyond that the
    // picture is refused before memory runs out, as a hand scanner that never ends could cause.
    if (current_->bytes.size() + length > 2 * PixelStoreLimit() + 64)
        throw ETwainError("The scanned picture is too large");
    current_->bytes.insert(current_->bytes.end(), data, data + length);
}

uint64_t TScanFrameAssembler::ExpectedFrameBytes() const {
    if (!current_ || current_->parameters.lines <= 0) return 0;
    return uint64_t(current_->parameters.lines) * uint64_t(current_->parameters.bytes_per_line);
}

uint64_t TScanFrameAssembler::FrameBytes() const {
    return current_ ? current_->bytes.size() : 0;
}

int TScanFrameAssembler::Lines(const TFrame& frame) {
    return int(frame.bytes.size() / size_t(frame.parameters.bytes_per_line));
}

uint8_t TScanFrameAssembler::Sample(const TFrame& frame, int line, int index) {
    const uint8_t* row = frame.bytes.data() + size_t(line) * size_t(frame.parameters.bytes_per_line);
    switch (frame.parameters.depth) {
    case 1:
        return ((row[index >> 3] >> (7 - (index & 7))) & 1) ? 255 : 0;
    case 16:
        return HighByte(row + 2 * size_t(index));
    default:
        return row[index];
    }
}

void TScanFrameAssembler::Finish(TDibGraphic& picture, int xDpi, int yDpi) const {
    int height = 0;
    if (threePass_) {
        if (!frames_[1].present || !frames_[2].present || !frames_[3].present)
            throw ETwainError("A colour pass of the three-pass scan is missing");
        height = std::min({Lines(frames_[1]), Lines(frames_[2]), Lines(frames_[3])});
    } else {
        if (!frames_[0].present) throw ETwainError("The device sent no picture");
        height = Lines(frames_[0]);
    }
    if (height <= 0) throw ETwainError("The device sent no complete scan line");
    if (!threePass_ && frames_[0].parameters.format == SANE_FRAME_GRAY)
        FinishGray(picture, height);
    else
        FinishColor(picture, height);
    picture.SetXDotsPerInch(xDpi);
    picture.SetYDotsPerInch(yDpi);
}

void TScanFrameAssembler::FinishGray(TDibGraphic& picture, int height) const {
    const TFrame& frame = frames_[0];
    int width = frame.parameters.pixels_per_line;
    if (frame.parameters.depth == 1) {
        // In a line-art frame a set bit is black, the opposite of the usual palette order, so the
        // palette is turned round and the bits are taken over as they are.
        const TPalette inverted{0xFFFFFF, 0x000000};
        picture.NewImage(width, height, ifBlackWhite, &inverted);
        size_t rowBytes = (size_t(width) + 7) / 8;
        for (int y = 0; y < height; ++y)
            std::memcpy(picture.ScanLine(y),
                        frame.bytes.data() + size_t(y) * size_t(frame.parameters.bytes_per_line), rowBytes);
        return;
    }
    picture.NewImage(width, height, ifGray256);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.ScanLine(y);
        for (int x = 0; x < width; ++x)
            row[x] = Sample(frame, y, x);
    }
}

void TScanFrameAssembler::FinishColor(TDibGraphic& picture, int height) const {
    const TFrame& first = threePass_ ? frames_[1] : frames_[0];
    int width = first.parameters.pixels_per_line;
    picture.NewImage(width, height, ifRgb24);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = row + 3 * size_t(x);
            if (threePass_) {
                pixel[2] = Sample(frames_[1], y, x);
                pixel[1] = Sample(frames_[2], y, x);
                pixel[0] = Sample(frames_[3], y, x);
            } else {
                pixel[2] = Sample(first, y, 3 * x);
                pixel[1] = Sample(first, y, 3 * x + 1);
                pixel[0] = Sample(first, y, 3 * x + 2);
            }
        }
    }
}

} // namespace vistrel
