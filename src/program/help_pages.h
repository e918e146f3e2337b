#pragma once
// The help pages by help context: the one table the main window, the dialogs and their F1 share.
#include "settings/program_folders.h"

#include <filesystem>

namespace vistrel {

// The page of a help context in the program's help folder; an unknown context gives the contents
// page "index.htm".
std::filesystem::path HelpPagePath(const TProgramFolders& folders, int context);

} // namespace vistrel
