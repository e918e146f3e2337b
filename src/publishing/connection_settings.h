#pragma once
// The one place where the connection settings of a publish run are read from the program's
// settings.
#include "publishing/remote_site.h"

namespace vistrel {

class TProgramSettings;

TConnectionSettings ConnectionSettingsFrom(const TProgramSettings& settings);

} // namespace vistrel
