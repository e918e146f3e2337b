#include "album_library/jpeg_without_metadata.h"

#include "common/atomic_file.h"
#include "image_processing/image_error.h"

#include <cstdint>

namespace vistrel {

namespace {

constexpr uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kTem = 0x01;
constexpr uint8_t kApp0 = 0xE0, kApp1 = 0xE1, kApp2 = 0xE2, kApp14 = 0xEE, kApp15 = 0xEF, kCom = 0xFE;

// A big-endian TIFF block with one IFD entry, Orientation (0x0112), SHORT, one value: what every
// reader needs to turn the picture upright, and nothing else.
std::string OrientationBlock(int orientation) {
    const char bytes[] = {'\xFF', '\xE1', 0, 0x22, 'E', 'x', 'i', 'f', 0, 0,
                          'M',    'M',    0, 0x2A, 0,   0,   0,   8,   0, 1,
                          1,      0x12,   0, 3,    0,   0,   0,   1,   0, char(orientation),
                          0,      0,      0, 0,    0,   0};
    return std::string(bytes, sizeof bytes);
}

bool IsRestart(uint8_t marker) {
    return marker >= 0xD0 && marker <= 0xD7;
}

bool PayloadStartsWith(std::string_view segment, std::string_view signature) {
    return segment.substr(4, signature.size()) == signature;
}

// Whether a segment (marker, length and payload) carries the picture or what decoders need to
// read it right, rather than data about the picture.
bool KeepSegment(uint8_t marker, std::string_view segment) {
    using namespace std::string_view_literals;
    if (marker == kApp0) return PayloadStartsWith(segment, "JFIF\0"sv);
    if (marker == kApp2) return PayloadStartsWith(segment, "ICC_PROFILE\0"sv);
    if (marker == kApp14) return PayloadStartsWith(segment, "Adobe"sv);
    return !(marker >= kApp0 && marker <= kApp15) && marker != kCom;
}

// The end of the entropy-coded data that starts at `pos`: the first 0xFF that is neither a stuffed
// zero nor a restart marker. A file that ends inside the data ends it there.
size_t ScanDataEnd(std::string_view jpeg, size_t pos) {
    while (pos < jpeg.size()) {
        if (uint8_t(jpeg[pos]) != 0xFF || pos + 1 == jpeg.size()) {
            ++pos;
            continue;
        }
        uint8_t next = uint8_t(jpeg[pos + 1]);
        if (next != 0 && !IsRestart(next)) return pos;
        pos += 2;
    }
    return pos;
}

[[noreturn]] void NotAJpeg(const char* why) {
    throw EImageError(std::string("JPEG structure not understood: ") + why);
}

} // namespace

std::string JpegWithoutMetadata(std::string_view jpeg, int orientation) {
    if (jpeg.size() < 4 || uint8_t(jpeg[0]) != 0xFF || uint8_t(jpeg[1]) != kSoi) NotAJpeg("no start marker");
    const bool turned = orientation >= 2 && orientation <= 8;
    bool orientationWritten = false;
    std::string out(jpeg.substr(0, 2));
    out.reserve(jpeg.size());
    size_t pos = 2;
    while (pos < jpeg.size()) {
        // Fill bytes before a marker carry nothing.
        while (pos + 1 < jpeg.size() && uint8_t(jpeg[pos]) == 0xFF && uint8_t(jpeg[pos + 1]) == 0xFF)
            ++pos;
        if (pos + 1 >= jpeg.size() || uint8_t(jpeg[pos]) != 0xFF) NotAJpeg("no marker where one belongs");
        const uint8_t marker = uint8_t(jpeg[pos + 1]);
        if (marker == kEoi) {
            // Whatever follows the end (a phone's video, a second picture) is dropped with it.
            out += jpeg.substr(pos, 2);
            return out;
        }
        if (marker == kTem || IsRestart(marker)) {
            out += jpeg.substr(pos, 2);
            pos += 2;
            continue;
        }
        if (pos + 4 > jpeg.size()) NotAJpeg("cut off in a segment");
        const size_t length = size_t(uint8_t(jpeg[pos + 2])) << 8 | uint8_t(jpeg[pos + 3]);
        if (length < 2 || pos + 2 + length > jpeg.size()) NotAJpeg("segment longer than the file");
        const std::string_view segment = jpeg.substr(pos, 2 + length);
        pos += segment.size();
        const bool exif = marker == kApp1 && PayloadStartsWith(segment, std::string_view("Exif\0\0", 6));
        const bool jfif = marker == kApp0 && KeepSegment(marker, segment);
        if (turned && !orientationWritten && (exif || !jfif)) {
            out += OrientationBlock(orientation);
            orientationWritten = true;
        }
        if (KeepSegment(marker, segment)) out += segment;
        if (marker == kSos) {
            const size_t end = ScanDataEnd(jpeg, pos);
            out += jpeg.substr(pos, end - pos);
            pos = end;
        }
    }
    // A file cut off before its end marker stays cut off: decoders read such files as far as they go.
    return out;
}

void CopyJpegWithoutMetadata(const std::filesystem::path& from, const std::filesystem::path& to,
                             int orientation) {
    std::string bytes;
    if (!ReadFileBytes(from, bytes)) throw EImageError("Cannot open file " + from.string());
    WriteFileAtomic(to, JpegWithoutMetadata(bytes, orientation));
}

} // namespace vistrel
