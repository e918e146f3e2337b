#pragma once
#include "image_processing/dib_graphic.h"

#include <string>

namespace vistrel {

// Bounds-checked little- and big-endian reads over a file held in memory. Running past the end is the
// usual sign of a cut-off or forged file, so it raises "<format> file is truncated or corrupt".
class TByteReader {
public:
    TByteReader(ByteView data, std::string format) : data_(data), format_(std::move(format)) {}

    size_t Position() const { return pos_; }
    size_t Size() const { return data_.size(); }
    size_t Remaining() const { return data_.size() - pos_; }
    void Seek(size_t position) {
        if (position > data_.size()) Fail();
        pos_ = position;
    }
    void Skip(size_t count) { Seek(Need(count) + count); }
    uint8_t U8() {
        size_t p = Need(1);
        ++pos_;
        return data_[p];
    }
    uint16_t U16() {
        size_t p = Need(2);
        pos_ += 2;
        return uint16_t(data_[p] | data_[p + 1] << 8);
    }
    uint32_t U32() {
        size_t p = Need(4);
        pos_ += 4;
        return uint32_t(data_[p]) | uint32_t(data_[p + 1]) << 8 | uint32_t(data_[p + 2]) << 16 |
               uint32_t(data_[p + 3]) << 24;
    }
    int32_t I32() { return int32_t(U32()); }
    ByteView Bytes(size_t count) {
        size_t p = Need(count);
        pos_ += count;
        return data_.subspan(p, count);
    }
    [[noreturn]] void Fail() const { throw EImageError(format_ + " file is truncated or corrupt"); }

private:
    size_t Need(size_t count) const {
        if (count > data_.size() - pos_) Fail();
        return pos_;
    }
    ByteView data_;
    std::string format_;
    size_t pos_ = 0;
};

} // namespace vistrel
