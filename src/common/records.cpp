#include "common/records.h"

namespace vistrel {

std::vector<std::string> SplitRecord(std::string_view line) {
    std::vector<std::string> fields;
    if (line.empty()) return fields;
    std::string field;
    for (char c : line) {
        if (c == '\t') {
            fields.push_back(std::move(field));
            field.clear();
        } else if (c == kLineBreakCode) {
            field += "\r\n";
        } else {
            field += c;
        }
    }
    fields.push_back(std::move(field));
    return fields;
}

std::string EncodeField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c == '\r') {
            if (i + 1 < field.size() && field[i + 1] == '\n') ++i;
            out += kLineBreakCode;
        } else if (c == '\n') {
            out += kLineBreakCode;
        } else if (c == '\t') {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string JoinRecord(const std::vector<std::string>& fields) {
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += '\t';
        out += EncodeField(fields[i]);
    }
    return out;
}

} // namespace vistrel
