#pragma once
// The settings' messages as the user reads them. Written here in UTF-8; Text() hands them out as
// Windows-1252 bytes like every text of the logic.
#include "common/german_text.h"

namespace vistrel::settings_texts {

inline constexpr const char* kNoStyles =
    "Es wurden keine Stilvorlagen gefunden. Bitte installieren Sie das Programm erneut.";
inline constexpr const char* kCannotWrite = "In %s kann nicht geschrieben werden";

} // namespace vistrel::settings_texts
