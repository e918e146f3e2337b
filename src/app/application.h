#pragma once

#include <QStringList>

namespace vistrel {

class TMainWindow;

// Loads Qt's German texts for the running application (call after the QApplication exists).
void InstallGermanTranslations();

// The files named on the command line (after the program name) as absolute paths. The desktop hands
// over local paths; a file:// address from another launcher is taken as its path.
QStringList CommandLineFiles(const QStringList& arguments);

// Imports files named on the command line ("Öffnen mit" of the desktop) into the open album, the way
// files dropped onto the thumbnails are imported. Without an open album it says so.
void ImportCommandLineFiles(TMainWindow& window, const QStringList& files);

// Starts the GUI program; returns the exit code.
int RunApplication(int argc, char** argv);

} // namespace vistrel
