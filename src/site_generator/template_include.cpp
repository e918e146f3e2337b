#include "site_generator/template_include.h"

#include "common/cp1252.h"
#include "common/folder_listing.h"

#include <vector>

namespace vistrel {

namespace fs = std::filesystem;

namespace {

// The parts of a relative name; empty parts and "." change nothing. A leading "/" does not make the
// name absolute: folder and name are joined as they stand.
std::vector<std::string_view> NameParts(std::string_view name) {
    std::vector<std::string_view> parts;
    while (!name.empty()) {
        const size_t end = name.find_first_of("/\\");
        std::string_view part = name.substr(0, end);
        if (!part.empty() && part != ".") parts.push_back(part);
        if (end == std::string_view::npos) break;
        name.remove_prefix(end + 1);
    }
    return parts;
}

bool IsScriptName(std::string_view lastPart) {
    const size_t dot = lastPart.rfind('.');
    return dot != std::string_view::npos && AnsiSameText(lastPart.substr(dot), ".JS");
}

bool IsKind(const fs::path& path, EntryKind kind) {
    std::error_code error;
    return kind == EntryKind::Files ? fs::is_regular_file(path, error) : fs::is_directory(path, error);
}

// The entry of `folder` named `part` in any case; the exact spelling wins when both exist.
std::optional<fs::path> FindEntry(const fs::path& folder, std::string_view part, EntryKind kind) {
    if (part == "..") return kind == EntryKind::Folders ? std::optional(folder / "..") : std::nullopt;
    fs::path exact = folder / std::string(part);
    if (IsKind(exact, kind)) return exact;
    for (const std::string& entry : ListFolder(folder, kind)) {
        if (AnsiSameText(entry, part)) return folder / entry;
    }
    return std::nullopt;
}

} // namespace

std::optional<fs::path> FindIncludeFile(const TSiteState& state, std::string_view name) {
    const std::vector<std::string_view> parts = NameParts(name);
    if (parts.empty()) return std::nullopt;
    fs::path current = IsScriptName(parts.back()) ? state.ScriptsDir : state.StyleDir;
    if (current.empty()) return std::nullopt;
    for (size_t i = 0; i < parts.size(); ++i) {
        const EntryKind kind = i + 1 < parts.size() ? EntryKind::Folders : EntryKind::Files;
        std::optional<fs::path> entry = FindEntry(current, parts[i], kind);
        if (!entry) return std::nullopt;
        current = std::move(*entry);
    }
    if (!LiesInside(current, state.StyleDir) && !LiesInside(current, state.ScriptsDir)) return std::nullopt;
    return current;
}

} // namespace vistrel
