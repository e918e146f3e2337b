#include "common/line_file.h"

#include "common/atomic_file.h"

namespace vistrel {

std::vector<std::string> SplitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(bytes.substr(start, i - start));
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    // Text after the last line end is a line of its own; a file ending in a line end has no empty
    // last line.
    if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    size_t total = 0;
    for (const auto& line : lines)
        total += line.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

bool ReadLineFile(const std::filesystem::path& path, std::vector<std::string>& lines) {
    std::string bytes;
    lines.clear();
    if (!ReadFileBytes(path, bytes)) return false;
    lines = SplitLines(bytes);
    return true;
}

bool ReadListFile(const std::filesystem::path& path, std::vector<std::string>& lines) {
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        lines.clear();
        return false;
    }
    return ReadLineFile(path, lines);
}

void WriteLineFile(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    WriteFileAtomic(path, JoinLines(lines));
}

} // namespace vistrel
