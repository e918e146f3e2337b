#include "common/german_text.h"

#include "common/cp1252.h"

namespace vistrel {

std::string Text(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

} // namespace vistrel
