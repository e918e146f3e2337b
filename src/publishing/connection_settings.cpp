#include "publishing/connection_settings.h"

#include "settings/program_settings.h"

namespace vistrel {

TConnectionSettings ConnectionSettingsFrom(const TProgramSettings& settings) {
    TConnectionSettings connection;
    connection.protocol = settings.rgProtocol == 1 ? TRemoteProtocol::Sftp : TRemoteProtocol::Ftp;
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
    connection.unencryptedAllowed = settings.AllowsUnencrypted(HostPort(connection));
    connection.keyFile = settings.edSSHKeyFile;
    connection.knownHostsFile = settings.Folders().program / "known_hosts";
    return connection;
}

std::string TransferListDestination(const TConnectionSettings& connection) {
    const char* scheme = connection.protocol == TRemoteProtocol::Sftp ? "sftp://" : "ftp://";
    return scheme + connection.user + "@" + HostPort(connection);
}

} // namespace vistrel
