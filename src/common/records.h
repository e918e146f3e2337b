#pragma once
// TAB-separated records of the list files. Inside a field a line break is stored as the single
// character of code 1, which reads back as CR LF.
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

constexpr char kLineBreakCode = '\x01';

// Splits at every TAB and turns each code-1 character into CR LF. An empty line gives no fields.
std::vector<std::string> SplitRecord(std::string_view line);

// Writes one field: CR LF, a lone CR and a lone LF become code 1 (a bare line end would split the
// record on the next load) and a TAB becomes a blank (it would split the field).
std::string EncodeField(std::string_view field);

// The fields joined by TAB, each encoded; no TAB after the last.
std::string JoinRecord(const std::vector<std::string>& fields);

} // namespace vistrel
