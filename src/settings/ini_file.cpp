#include "settings/ini_file.h"

#include "common/cp1252.h"
#include "common/line_file.h"
#include "common/text_utils.h"

namespace vistrel {
namespace {

constexpr size_t npos = std::string::npos;

// The section name of a header line ("[name]"), or nothing for any other line.
std::optional<std::string> HeaderName(std::string_view line) {
    std::string trimmed = Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[') return std::nullopt;
    size_t close = trimmed.find(']');
    if (close == npos) return std::nullopt;
    return Trim(std::string_view(trimmed).substr(1, close - 1));
}

// Splits "key=value"; false for a line without "=".
bool SplitKeyLine(std::string_view line, std::string& key, std::string_view& value) {
    size_t eq = line.find('=');
    if (eq == npos) return false;
    key = Trim(line.substr(0, eq));
    value = line.substr(eq + 1);
    return true;
}

} // namespace

std::string UnquoteProfileValue(std::string_view raw) {
    std::string value = Trim(raw);
    if (value.size() >= 2) {
        char first = value.front();
        if ((first == '"' || first == '\'') && value.back() == first)
            value = value.substr(1, value.size() - 2);
    }
    if (value.size() > TIniFile::kMaxValueLength) value.resize(TIniFile::kMaxValueLength);
    return value;
}

TIniFile TIniFile::Load(const std::filesystem::path& path) {
    TIniFile ini;
    ReadListFile(path, ini.lines_);
    return ini;
}

void TIniFile::Save(const std::filesystem::path& path) const {
    WriteLineFile(path, lines_);
}

size_t TIniFile::FindSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        auto name = HeaderName(lines_[i]);
        if (name && AnsiSameText(*name, section)) return i;
    }
    return npos;
}

size_t TIniFile::SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && !HeaderName(lines_[i]))
        ++i;
    return i;
}

size_t TIniFile::FindKey(size_t header, std::string_view key) const {
    size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        std::string name;
        std::string_view value;
        if (SplitKeyLine(lines_[i], name, value) && AnsiSameText(name, key)) return i;
    }
    return npos;
}

std::optional<std::string> TIniFile::Read(std::string_view section, std::string_view key) const {
    size_t header = FindSection(section);
    if (header == npos) return std::nullopt;
    size_t line = FindKey(header, key);
    if (line == npos) return std::nullopt;
    std::string name;
    std::string_view value;
    SplitKeyLine(lines_[line], name, value);
    return UnquoteProfileValue(value);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) const {
    auto value = Read(section, key);
    return value ? *value : std::string(fallback);
}

bool TIniFile::SectionExists(std::string_view section) const {
    return FindSection(section) != npos;
}

void TIniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    std::string line = std::string(key) + "=" + std::string(value);
    size_t header = FindSection(section);
    if (header == npos) {
        if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(std::move(line));
        return;
    }
    size_t existing = FindKey(header, key);
    if (existing != npos) {
        lines_[existing] = std::move(line);
        return;
    }
    // After the section's last non-blank line, so the blank line before the next section stays.
    size_t insert = SectionEnd(header);
    while (insert > header + 1 && Trim(lines_[insert - 1]).empty())
        --insert;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert), std::move(line));
}

void TIniFile::EraseSection(std::string_view section) {
    size_t header = FindSection(section);
    while (header != npos) {
        size_t end = SectionEnd(header);
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                     lines_.begin() + static_cast<std::ptrdiff_t>(end));
        header = FindSection(section);
    }
}

} // namespace vistrel
