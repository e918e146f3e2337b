#include "site_generator/rendition_list.h"

#include "common/atomic_file.h"

#include <charconv>
#include <string_view>
#include <vector>

namespace vistrel {
namespace {

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t tab = line.find('\t'); tab != std::string_view::npos; tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

template <typename T> bool ReadNumber(std::string_view text, T& value) {
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool ReadRecord(std::string_view line, std::string& name, TRenditionRecord& record) {
    std::vector<std::string_view> f = SplitTabs(line);
    if (f.size() != 8 || f[0].empty()) return false;
    name = std::string(f[0]);
    record.source = std::string(f[1]);
    record.md5 = std::string(f[4]);
    record.key = std::string(f[5]);
    return ReadNumber(f[2], record.bytes) && ReadNumber(f[3], record.modified) &&
           ReadNumber(f[6], record.width) && ReadNumber(f[7], record.height) && record.width > 0 &&
           record.height > 0;
}

} // namespace

TRenditionList ReadRenditionList(const std::filesystem::path& file) {
    TRenditionList list;
    std::string bytes;
    if (!ReadFileBytes(file, bytes)) return list;
    std::string_view rest = bytes;
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::string name;
        TRenditionRecord record;
        if (ReadRecord(line, name, record)) list[name] = record;
    }
    return list;
}

void WriteRenditionList(const std::filesystem::path& file, const TRenditionList& list) {
    std::string text;
    for (const auto& [name, r] : list) {
        text += name + '\t' + r.source + '\t' + std::to_string(r.bytes) + '\t' + std::to_string(r.modified) +
                '\t' + r.md5 + '\t' + r.key + '\t' + std::to_string(r.width) + '\t' +
                std::to_string(r.height) + "\r\n";
    }
    WriteFileAtomic(file, text, TDurability::Unsynced);
}

} // namespace vistrel
