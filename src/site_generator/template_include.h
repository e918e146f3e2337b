#pragma once
#include "site_generator/template_engine.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace vistrel {

// The file an INCLUDE tag names: a name with the extension ".JS" in the script folder, any other in
// the style folder. The name may hold a relative path ("/" or "\"); each part is matched without
// regard to case, since the tag's keyword arrives upper-cased. Gives nothing when no such plain file
// exists, or when it lies outside both the style and the script folder: a style must not be able to
// copy arbitrary files of the user into a published site.
std::optional<std::filesystem::path> FindIncludeFile(const TSiteState& state, std::string_view name);

} // namespace vistrel
