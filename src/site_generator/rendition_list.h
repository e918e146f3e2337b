#pragma once
// The hidden list in an album's "renditions" folder that says from what each picture's renditions
// were made. One line per picture, fields separated by tabs: picture name, source ("large" or
// "images"), source bytes, source modification time (nanoseconds), source MD5, parameter key,
// upright width, upright height. A line that does not read is ignored: its picture is made anew.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace vistrel {

struct TRenditionRecord {
    std::string source; // "large" or "images"
    uintmax_t bytes = 0;
    int64_t modified = 0;
    std::string md5;
    std::string key;
    int width = 0;
    int height = 0;
    bool operator==(const TRenditionRecord&) const = default;
};

using TRenditionList = std::map<std::string, TRenditionRecord>;

TRenditionList ReadRenditionList(const std::filesystem::path& file);
// Written through a temporary file and a rename, so a killed run leaves the old list or the new one.
void WriteRenditionList(const std::filesystem::path& file, const TRenditionList& list);

} // namespace vistrel
