#pragma once
// German texts of the logic are written once, in UTF-8, in the catalogue of their subsystem
// (<subsystem>_texts.h) and handed out as Windows-1252 bytes like every other text of the logic.
// This is the one conversion they all go through.
#include <string>

namespace vistrel {

std::string Text(const char* utf8);

} // namespace vistrel
