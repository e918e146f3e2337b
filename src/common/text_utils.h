#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

namespace vistrel {

// Removes leading and trailing characters of code 32 or below.
std::string Trim(std::string_view text);

// printf-style "%s" substitution for the program's message texts: each "%s" in order takes the
// next argument; "%%" is a single "%".
std::string FormatMessage(std::string_view format, std::initializer_list<std::string_view> args);

bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);

} // namespace vistrel
