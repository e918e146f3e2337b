// Host keys: fingerprints, the known_hosts format with its patterns and hashed names, and what
// counts as trusted, unknown or changed.
#include "publishing/sftp_known_hosts.h"
#include "support/test_support.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

namespace {

THostKey Key(const std::string& type, const std::string& body) {
    std::string blob = std::string("\0\0\0", 3) + char(type.size()) + type + body;
    return {type, blob};
}

std::string Base64(const std::string& bytes) {
    return QByteArray(bytes.data(), qsizetype(bytes.size())).toBase64().toStdString();
}

std::string Line(const std::string& hosts, const THostKey& key) {
    return hosts + " " + key.type + " " + Base64(key.blob) + " comment\n";
}

std::string Hashed(const std::string& name, const std::string& salt) {
    const QByteArray mac = QMessageAuthenticationCode::hash(
        QByteArray::fromStdString(name), QByteArray::fromStdString(salt), QCryptographicHash::Sha1);
    return "|1|" + Base64(salt) + "|" + mac.toBase64().toStdString();
}

TEST(SftpFingerprint, IsUnpaddedBase64OfSha256) {
    // SHA-256 of the empty blob, as OpenSSH prints it: 43 characters, no "=".
    EXPECT_EQ(HostKeyFingerprint(""), "SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU");
}

TEST(SftpKnownHosts, NameCarriesThePortUnless22) {
    EXPECT_EQ(KnownHostsName("Example.COM", 22), "example.com");
    EXPECT_EQ(KnownHostsName("example.com", 2222), "[example.com]:2222");
}

TEST(SftpKnownHosts, HostPatterns) {
    struct Row {
        const char* hosts;
        const char* name;
        bool names;
    } rows[] = {
        {"example.com", "example.com", true},
        {"EXAMPLE.com", "example.com", true},
        {"other.com,example.com", "example.com", true},
        {"*.example.com", "www.example.com", true},
        {"*.example.com", "example.com", false},
        {"www?.example.com", "www2.example.com", true},
        {"*.example.com,!bad.example.com", "bad.example.com", false},
        {"!bad.example.com", "www.example.com", false},
        {"[example.com]:2222", "[example.com]:2222", true},
        {"example.com", "[example.com]:2222", false},
        {"", "example.com", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(KnownHostsLineNames(row.hosts, row.name), row.names) << row.hosts;
}

TEST(SftpKnownHosts, HashedNamesMatchOnlyTheirHost) {
    const std::string field = Hashed("[host.example]:2222", "0123456789abcdefghij");
    EXPECT_TRUE(KnownHostsLineNames(field, "[host.example]:2222"));
    EXPECT_FALSE(KnownHostsLineNames(field, "host.example"));
    EXPECT_FALSE(KnownHostsLineNames("|1|broken", "host.example"));
    EXPECT_FALSE(KnownHostsLineNames("|1|!!!|???", "host.example"));
}

TEST(SftpKnownHosts, DamagedLinesAreSkipped) {
    const THostKey key = Key("ssh-ed25519", "A");
    const auto file =
        TKnownHostsFile::Parse("# comment\n\nhost.example\nhost.example ssh-ed25519\n"
                               "host.example ssh-ed25519 !!notbase64!!\n@cert-authority " +
                               Line("host.example", Key("ssh-ed25519", "CA")) + Line("host.example", key));
    const auto keys = file.KeysFor("host.example");
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].blob, key.blob);
}

class SftpHostKeyCheck : public ::testing::Test {
protected:
    std::vector<std::filesystem::path> Files() const { return {own_, user_}; }
    TempDir dir_;
    std::filesystem::path own_ = dir_ / "known_hosts";
    std::filesystem::path user_ = dir_ / "user_known_hosts";
    THostKey key_ = Key("ssh-ed25519", "current");
    THostKey old_ = Key("ssh-ed25519", "old");
};

TEST_F(SftpHostKeyCheck, UnknownTrustedAndChanged) {
    EXPECT_EQ(CheckHostKey(Files(), "h", key_).status, THostKeyStatus::Unknown) << "no files at all";
    WriteBytes(user_, Line(Hashed("h", "salt-salt-salt-salt!"), key_));
    EXPECT_EQ(CheckHostKey(Files(), "h", key_).status, THostKeyStatus::Trusted)
        << "the user's own file counts";
    EXPECT_EQ(CheckHostKey(Files(), "[h]:2222", key_).status, THostKeyStatus::Unknown) << "another port";
    WriteBytes(user_, Line("h", old_));
    const THostKeyCheck changed = CheckHostKey(Files(), "h", key_);
    EXPECT_EQ(changed.status, THostKeyStatus::Changed);
    EXPECT_EQ(changed.known.blob, old_.blob);
    WriteBytes(own_, Line("h", key_));
    EXPECT_EQ(CheckHostKey(Files(), "h", key_).status, THostKeyStatus::Trusted)
        << "a key trusted in one file outweighs an old one in another";
}

TEST_F(SftpHostKeyCheck, RevokedKeyIsNeverTrusted) {
    WriteBytes(user_, Line("h", key_) + "@revoked " + Line("*", key_));
    EXPECT_EQ(CheckHostKey(Files(), "h", key_).status, THostKeyStatus::Revoked);
}

TEST_F(SftpHostKeyCheck, TrustReplacesOnlyTheSameName) {
    WriteBytes(own_, Line("h", old_) + Line("[h]:2222", old_) + "# kept\n");
    TrustHostKey(own_, "h", key_);
    EXPECT_EQ(CheckHostKey({own_}, "h", key_).status, THostKeyStatus::Trusted);
    EXPECT_EQ(CheckHostKey({own_}, "h", old_).status, THostKeyStatus::Changed) << "the old key is gone";
    EXPECT_EQ(CheckHostKey({own_}, "[h]:2222", old_).status, THostKeyStatus::Trusted);
    EXPECT_NE(ReadBytes(own_).find("# kept"), std::string::npos);
    EXPECT_EQ(KnownKeyTypes({own_}, "h"), std::vector<std::string>{"ssh-ed25519"});
}

} // namespace
