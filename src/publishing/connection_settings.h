#pragma once
// The one place where the connection settings of a publish run are read from the program's
// settings.
#include "publishing/remote_site.h"

namespace vistrel {

class TProgramSettings;

TConnectionSettings ConnectionSettingsFrom(const TProgramSettings& settings);

// The first line of the transfer list: which server and account its files were sent to
// ("sftp://user@host:22", "ftp://user@host:21"). A list written for any other destination (another
// protocol, port or user on the same host included) counts as empty, so switching the server
// never skips files the new one does not have. FTP and FTPS reach the same files.
std::string TransferListDestination(const TConnectionSettings& connection);

} // namespace vistrel
