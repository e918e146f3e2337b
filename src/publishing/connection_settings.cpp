#include "publishing/connection_settings.h"

#include "settings/program_settings.h"

namespace vistrel {

TConnectionSettings ConnectionSettingsFrom(const TProgramSettings& settings) {
    TConnectionSettings connection;
    connection.protocol = TRemoteProtocol::Ftp;
    connection.host = settings.edFTPServer;
    connection.port = settings.edFTPPort;
    connection.user = settings.edFTPUser;
    connection.password = settings.edFTPPassword;
    connection.remoteRoot = settings.edFTPDirectory;
    connection.passive = settings.cbUsePassiveMode;
    connection.useTls = settings.cbUseTLS;
    connection.requireTls = settings.cbUseTLS && settings.cbRequireTLS;
    connection.checkServer = settings.cbCheckServer;
    connection.parallelUploads = settings.cbParallelUploads;
    connection.trustedFingerprint = settings.TrustedCertificate(HostPort(connection));
    return connection;
}

} // namespace vistrel
