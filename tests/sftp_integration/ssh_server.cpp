#include "sftp_integration/ssh_server.h"

#include "net/run_until.h"

#include <gtest/gtest.h>

#include <fstream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vistrel::testing {

namespace {

constexpr const char* kTestUser = "vistrel-sftp-test";
constexpr const char* kTestPassword = "Geheim-4711";

bool RunTool(const QString& program, const QStringList& arguments, const QByteArray& input = {},
             std::string* output = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000)) return false;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) return false;
    if (output) *output = process.readAllStandardOutput().toStdString();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

TSshAccount MakeAccount() {
    if (geteuid() != 0) return {getpwuid(geteuid())->pw_name, {}};
    if (!getpwnam(kTestUser))
        RunTool("/usr/sbin/useradd",
                {"--no-create-home", "--home-dir", "/nonexistent", "--shell", "/bin/sh", kTestUser});
    if (!RunTool("/usr/sbin/chpasswd", {}, QByteArray(kTestUser) + ":" + kTestPassword + "\n"))
        return {"root", {}};
    return {kTestUser, kTestPassword};
}

// A port nobody listens on right now; sshd cannot be asked for port 0 and tell us the port.
int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

} // namespace

const TSshAccount& SshTestAccount() {
    static const TSshAccount account = MakeAccount();
    return account;
}

std::string SshKeygen(const QStringList& arguments) {
    std::string output;
    EXPECT_TRUE(RunTool("/usr/bin/ssh-keygen", arguments, {}, &output)) << arguments.join(' ').toStdString();
    return output;
}

void MakeKey(const std::filesystem::path& file, const std::string& type, const std::string& passphrase) {
    std::filesystem::remove(file);
    std::filesystem::remove(file.string() + ".pub");
    SshKeygen({"-q", "-t", QString::fromStdString(type), "-N", QString::fromStdString(passphrase), "-C",
               "test", "-f", QString::fromStdString(file.string())});
}

std::string KeygenFingerprint(const std::filesystem::path& publicKey) {
    // "256 SHA256:abc... test (ED25519)"
    const std::string line =
        SshKeygen({"-l", "-E", "sha256", "-f", QString::fromStdString(publicKey.string())});
    const auto start = line.find("SHA256:");
    return line.substr(start, line.find(' ', start) - start);
}

TSshServer::TSshServer(const std::filesystem::path& hostKey, const std::filesystem::path& authorizedKeys)
    : root_(dir_ / "root"), hostKey_(hostKey), authorizedKeys_(authorizedKeys) {
    std::filesystem::create_directories(root_);
    const TSshAccount& account = SshTestAccount();
    if (geteuid() == 0) {
        const passwd* user = getpwnam(account.user.c_str());
        if (user) chown(root_.c_str(), user->pw_uid, user->pw_gid);
        // sshd's privilege separation needs its empty folder.
        std::filesystem::create_directories("/run/sshd");
    }
}

TSshServer::~TSshServer() {
    Stop();
}

void TSshServer::GiveToAccount() {
    if (geteuid() != 0) return;
    const passwd* user = getpwnam(SshTestAccount().user.c_str());
    if (!user) return;
    lchown(root_.c_str(), user->pw_uid, user->pw_gid);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_))
        lchown(entry.path().c_str(), user->pw_uid, user->pw_gid);
}

bool TSshServer::Start() {
    const TSshAccount& account = SshTestAccount();
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = FreePort();
        const auto config = dir_ / "sshd_config";
        std::ofstream out(config);
        out << "Port " << port_ << "\nListenAddress 127.0.0.1\nHostKey " << hostKey_.string()
            << "\nPidFile none\nUsePAM no\nStrictModes no\nPermitRootLogin yes\nPasswordAuthentication yes\n"
            << "KbdInteractiveAuthentication no\nPubkeyAuthentication yes\nAuthorizedKeysFile "
            << authorizedKeys_.string() << "\nAllowUsers " << account.user << "\nLogLevel DEBUG1\n"
            << "MaxStartups 100\nMaxSessions 20\nSubsystem sftp internal-sftp -d " << root_.string() << "\n";
        out.close();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start("/usr/sbin/sshd", {"-D", "-e", "-f", QString::fromStdString(config.string())});
        if (!process_.waitForStarted(5000)) return false;
        const bool listening = RunUntil(
            [&] {
                log_ += process_.readAll().toStdString();
                return log_.find("Server listening") != std::string::npos ||
                       process_.state() == QProcess::NotRunning;
            },
            10000);
        if (listening && log_.find("Server listening") != std::string::npos) return true;
        Stop(); // most likely someone took the port in between
        log_.clear();
    }
    return false;
}

void TSshServer::Stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

std::string TSshServer::Log() {
    process_.waitForReadyRead(0);
    log_ += process_.readAll().toStdString();
    return log_;
}

TSilentServer::TSilentServer() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd_, 4);
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
}

TSilentServer::~TSilentServer() {
    close(fd_);
}

} // namespace vistrel::testing
