#pragma once
// The messages of the steps both programs share, as the user reads them. Written here in UTF-8;
// Text() hands them out as Windows-1252 bytes like every text of the logic.
#include "common/german_text.h"

namespace vistrel::program_texts {

// "... und 3 weitere Seiten."
inline constexpr const char* kMoreWarnings = "... und %s weitere Seiten.";

} // namespace vistrel::program_texts
