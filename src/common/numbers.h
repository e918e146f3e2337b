#pragma once
#include <cstdint>
#include <string_view>

namespace vistrel {

// "Round": half to even, as the arithmetic of import and transforms expects (2.5 -> 2, 3.5 -> 4).
int64_t Round(double value);
// "Trunc": toward zero.
int64_t Trunc(double value);

// A whole number as the settings and dialogs accept it: optional leading blanks, an optional sign,
// decimal digits and nothing after them; it must fit a 32-bit int. Returns false otherwise.
bool ParseInt(std::string_view text, int& value);

// The decimal separator of the program's locale (German: ","), as one Windows-1252 character; ","
// when the locale's separator is not a single such character.
char DecimalSeparator();

} // namespace vistrel
