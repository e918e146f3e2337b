#pragma once

namespace vistrel {

// Starts the GUI program; returns the exit code.
int RunApplication(int argc, char** argv);

} // namespace vistrel
