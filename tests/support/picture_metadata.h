#pragma once
// What a JPEG or WebP file carries beside its picture, read from its structure rather than by
// searching its bytes (compressed data may hold any byte sequence).
#include <cstdint>
#include <string>
#include <vector>

namespace vistrel::testing {

// The markers of a JPEG's segments before its scan ("APP0", "APP1", "COM", "DQT", ...); a file that
// is not a JPEG or ends early gives "broken".
inline std::vector<std::string> JpegSegments(const std::string& bytes) {
    std::vector<std::string> segments;
    if (bytes.size() < 4 || uint8_t(bytes[0]) != 0xFF || uint8_t(bytes[1]) != 0xD8) return {"broken"};
    size_t at = 2;
    while (at + 4 <= bytes.size() && uint8_t(bytes[at]) == 0xFF) {
        const int marker = uint8_t(bytes[at + 1]);
        if (marker == 0xDA) return segments;
        if (marker >= 0xE0 && marker <= 0xEF)
            segments.push_back("APP" + std::to_string(marker - 0xE0));
        else if (marker == 0xFE)
            segments.push_back("COM");
        else
            segments.push_back("other");
        at += 2 + (size_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]));
    }
    return {"broken"};
}

// The chunks of a WebP file ("VP8 ", "VP8X", "EXIF", "XMP ", "ICCP", ...); "broken" when it is no
// RIFF WebP file.
inline std::vector<std::string> WebpChunks(const std::string& bytes) {
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WEBP") != 0)
        return {"broken"};
    std::vector<std::string> chunks;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        chunks.push_back(bytes.substr(at, 4));
        uint32_t size = uint8_t(bytes[at + 4]) | uint8_t(bytes[at + 5]) << 8 | uint8_t(bytes[at + 6]) << 16 |
                        uint32_t(uint8_t(bytes[at + 7])) << 24;
        at += 8 + size + (size & 1);
    }
    return chunks;
}

// True when the file holds nothing but its picture: a JPEG with no APPn segment but the JFIF one and
// no comment, or a WebP with only its image chunk.
inline bool CarriesOnlyThePicture(const std::string& bytes, bool webp) {
    if (webp) {
        std::vector<std::string> chunks = WebpChunks(bytes);
        return chunks == std::vector<std::string>{"VP8 "} || chunks == std::vector<std::string>{"VP8L"};
    }
    for (const std::string& segment : JpegSegments(bytes))
        if (segment == "broken" || segment == "COM" || (segment.rfind("APP", 0) == 0 && segment != "APP0"))
            return false;
    return true;
}

} // namespace vistrel::testing
