#include "publishing/remote_listing.h"

#include <algorithm>
#include <cctype>

namespace vistrel {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool IsMonth(const std::string& text) {
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    std::string lower = Lower(text);
    return std::any_of(std::begin(months), std::end(months), [&](const char* m) { return lower == m; });
}

// "12:00" or "2024".
bool IsTimeOrYear(const std::string& text) {
    if (text.size() == 4 && AllDigits(text)) return true;
    size_t colon = text.find(':');
    return colon != std::string::npos && AllDigits(text.substr(0, colon)) &&
           AllDigits(text.substr(colon + 1));
}

// The whitespace-separated fields of a line with the offset where each ends.
struct TField {
    std::string text;
    size_t end = 0;
};

std::vector<TField> Fields(const std::string& line, size_t most) {
    std::vector<TField> fields;
    size_t pos = 0;
    while (fields.size() < most) {
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
        if (pos >= line.size()) break;
        size_t end = line.find(' ', pos);
        if (end == std::string::npos) end = line.size();
        fields.push_back({line.substr(pos, end - pos), end});
        pos = end;
    }
    return fields;
}

TListingLine Entry(TListingEntry kind, std::string name) {
    if (name == "." || name == "..") return {};
    return {kind, std::move(name)};
}

} // namespace

TListingLine ParseMlsdLine(const std::string& line) {
    size_t blank = line.find(' ');
    if (blank == std::string::npos || blank + 1 >= line.size()) return {};
    std::string facts = Lower(line.substr(0, blank));
    std::string name = line.substr(blank + 1);
    std::string type;
    for (size_t start = 0; start < facts.size();) {
        size_t end = facts.find(';', start);
        if (end == std::string::npos) end = facts.size();
        std::string fact = facts.substr(start, end - start);
        if (fact.rfind("type=", 0) == 0) type = fact.substr(5);
        start = end + 1;
    }
    if (type == "file") return Entry(TListingEntry::File, name);
    if (type == "dir") return Entry(TListingEntry::Folder, name);
    return {};
}

TListingLine ParseUnixListLine(const std::string& line) {
    if (line.empty()) return {};
    const char kind = line[0];
    if (kind != '-' && kind != 'd') return {};
    // Find "month day time-or-year"; the name begins after the blank that follows them.
    std::vector<TField> fields = Fields(line, 9);
    for (size_t i = 2; i + 2 < fields.size(); ++i) {
        if (!IsMonth(fields[i].text) || !AllDigits(fields[i + 1].text) || !IsTimeOrYear(fields[i + 2].text))
            continue;
        size_t start = fields[i + 2].end + 1;
        if (start >= line.size()) return {};
        return Entry(kind == 'd' ? TListingEntry::Folder : TListingEntry::File, line.substr(start));
    }
    return {};
}

std::string NlstName(const std::string& line) {
    size_t slash = line.find_last_of('/');
    return slash == std::string::npos ? line : line.substr(slash + 1);
}

bool IsPlainRemoteName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

} // namespace vistrel
