#pragma once
// Debian's OpenSSH server for the tests: its own configuration, host keys made with ssh-keygen and
// a port of its own on 127.0.0.1. The login folder is a fresh folder of the test (internal-sftp's
// -d), so nothing outside it is touched.
#include "support/test_support.h"

#include <QProcess>

#include <filesystem>
#include <string>

namespace vistrel::testing {

// The account the tests log in as. As root (CI), a dedicated account with a known password is
// made once, so password logins can be tested against the system's own password check; otherwise
// the tests log in as the user running them, by key only.
struct TSshAccount {
    std::string user;
    std::string password; // empty: no password login possible
};
const TSshAccount& SshTestAccount();

// Runs ssh-keygen; returns its standard output.
std::string SshKeygen(const QStringList& arguments);
// A fresh key pair of `type` at `file` (and file.pub); `passphrase` may be empty.
void MakeKey(const std::filesystem::path& file, const std::string& type, const std::string& passphrase = {});
// The fingerprint ssh-keygen prints for a public key file, "SHA256:...".
std::string KeygenFingerprint(const std::filesystem::path& publicKey);

class TSshServer {
public:
    // `hostKey` is the private host key file to serve with (made by MakeKey).
    TSshServer(const std::filesystem::path& hostKey, const std::filesystem::path& authorizedKeys);
    ~TSshServer();

    bool Start();
    void Stop();
    int Port() const { return port_; }
    const std::filesystem::path& Root() const { return root_; }
    // Files the test put under Root() belong to the login account then, as if it had made them.
    void GiveToAccount();
    // Everything the server logged so far (LogLevel DEBUG1).
    std::string Log();

private:
    TempDir dir_;
    std::filesystem::path root_;
    std::filesystem::path hostKey_;
    std::filesystem::path authorizedKeys_;
    QProcess process_;
    std::string log_;
    int port_ = 0;
};

// Accepts TCP connections into its backlog and never says a word: a server that stalls before
// its banner.
class TSilentServer {
public:
    TSilentServer();
    ~TSilentServer();
    int Port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

} // namespace vistrel::testing
