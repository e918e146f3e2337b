#pragma once

namespace vistrel {

// Loads Qt's German texts for the running application (call after the QApplication exists).
void InstallGermanTranslations();

// Starts the GUI program; returns the exit code.
int RunApplication(int argc, char** argv);

} // namespace vistrel
