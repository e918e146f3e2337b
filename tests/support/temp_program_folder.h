#pragma once
// A program folder in a temporary folder, with the settings over it and prompts that record what
// was asked: the starting point of most tests above the settings layer. Header only, so that
// test_support itself stays below the settings library.
#include "settings/program_folders.h"
#include "settings/program_settings.h"
#include "support/test_support.h"

namespace vistrel::testing {

struct TempProgramFolder {
    TempDir dir;
    ScriptedPrompts prompts;
    TProgramFolders folders = TProgramFolders::For(dir.path());
    TProgramSettings settings{folders, prompts};
};

} // namespace vistrel::testing
