// The SFTP adapter of the remote site interface against Debian's OpenSSH server: host key trust
// before any credential, the login order, and the folder requests the publish job makes.
#include "net/run_until.h"
#include "publishing/remote_site.h"
#include "publishing/sftp_known_hosts.h"
#include "publishing/sftp_site.h"
#include "publishing/sftp_transfer.h"
#include "publishing/upload_plan.h"
#include "sftp_integration/ssh_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>

using namespace vistrel;
using namespace vistrel::testing;

namespace {

// The user's own ssh setup must not decide a test: HOME points at an empty folder and no agent
// is reachable.
class SftpSite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        keys_ = new TempDir;
        MakeKey(*keys_ / "host", "ed25519");
        MakeKey(*keys_ / "other_host", "ed25519");
        MakeKey(*keys_ / "id_ed25519", "ed25519");
        MakeKey(*keys_ / "id_locked", "ecdsa", "Sesam");
        WriteBytes(*keys_ / "authorized_keys",
                   ReadBytes(*keys_ / "id_ed25519.pub") + ReadBytes(*keys_ / "id_locked.pub"));
    }
    static void TearDownTestSuite() {
        delete keys_;
        keys_ = nullptr;
    }

    void SetUp() override {
        oldHome_ = std::getenv("HOME") ? std::getenv("HOME") : "";
        const char* agent = std::getenv("SSH_AUTH_SOCK");
        oldAgent_ = agent ? agent : "";
        setenv("HOME", home_.path().c_str(), 1);
        unsetenv("SSH_AUTH_SOCK");
        server_ = std::make_unique<TSshServer>(*keys_ / "host", *keys_ / "authorized_keys");
        ASSERT_TRUE(server_->Start()) << server_->Log();
        settings_.protocol = TRemoteProtocol::Sftp;
        settings_.host = "127.0.0.1";
        settings_.port = std::to_string(server_->Port());
        settings_.user = SshTestAccount().user;
        settings_.keyFile = (*keys_ / "id_ed25519").string();
        settings_.knownHostsFile = program_ / "known_hosts";
    }
    void TearDown() override {
        setenv("HOME", oldHome_.c_str(), 1);
        if (!oldAgent_.empty()) setenv("SSH_AUTH_SOCK", oldAgent_.c_str(), 1);
    }

    std::unique_ptr<TSftpSite> Site(bool trust = true) {
        auto site = std::make_unique<TSftpSite>(settings_);
        TRemoteEvents events;
        events.trust = [this, trust](const TTrustQuestion& question) {
            questions_.push_back(question);
            return trust;
        };
        events.secret = [this](const std::string& keyFile, std::string& secret) {
            asked_.push_back(keyFile);
            if (secrets_.empty()) return false;
            secret = secrets_.front();
            secrets_.erase(secrets_.begin());
            return true;
        };
        events.line = [this](TRemoteLineKind, const std::string& text) { lines_ += text + "\n"; };
        site->SetEvents(events);
        site->SetTimeLimit(std::chrono::milliseconds(10000));
        return site;
    }

    static TRemoteResult Connect(TRemoteSite& site) {
        return Await([&](TRemoteDone done) { site.Connect(done); });
    }

    std::string HostFingerprint() { return KeygenFingerprint(*keys_ / "host.pub"); }
    std::string HostName() { return KnownHostsName("127.0.0.1", server_->Port()); }

    static inline TempDir* keys_ = nullptr;
    TempDir home_;
    TempDir program_;
    TempDir local_;
    std::unique_ptr<TSshServer> server_;
    TConnectionSettings settings_;
    std::vector<TTrustQuestion> questions_;
    std::vector<std::string> asked_;
    std::vector<std::string> secrets_;
    std::string lines_;
    std::string oldHome_;
    std::string oldAgent_;
};

TEST_F(SftpSite, UnknownHostKeyIsAskedOnceThenKept) {
    auto site = Site();
    ASSERT_TRUE(Connect(*site).Ok()) << lines_;
    ASSERT_EQ(questions_.size(), 1u);
    EXPECT_EQ(questions_[0].kind, TTrustQuestion::TKind::HostKey);
    EXPECT_EQ(questions_[0].fingerprint, HostFingerprint());
    EXPECT_EQ(questions_[0].keyType, "ssh-ed25519");
    EXPECT_FALSE(questions_[0].changed);
    EXPECT_TRUE(site->Connected());
    EXPECT_TRUE(Await([&](TRemoteDone done) { site->Quit(done); }).Ok());

    auto again = Site(false);
    EXPECT_TRUE(Connect(*again).Ok()) << "the stored key is trusted without a question";
    EXPECT_EQ(questions_.size(), 1u);
    // OpenSSH's own tools accept the file we wrote.
    const std::string found = SshKeygen({"-F", QString::fromStdString(HostName()), "-f",
                                         QString::fromStdString((program_ / "known_hosts").string())});
    EXPECT_NE(found.find("ssh-ed25519"), std::string::npos) << found;
}

TEST_F(SftpSite, KeyInTheUsersKnownHostsIsTrusted) {
    std::filesystem::create_directories(home_ / ".ssh");
    WriteBytes(home_ / ".ssh" / "known_hosts", HostName() + " " + ReadBytes(*keys_ / "host.pub"));
    SshKeygen({"-H", "-f", QString::fromStdString((home_ / ".ssh" / "known_hosts").string())});
    auto site = Site(false);
    EXPECT_TRUE(Connect(*site).Ok()) << lines_;
    EXPECT_TRUE(questions_.empty()) << "hashed names are read";
}

TEST_F(SftpSite, RefusedOrChangedKeyGetsNoCredentials) {
    auto refused = Site(false);
    const TRemoteResult result = Connect(*refused);
    EXPECT_EQ(result.failure, TRemoteFailure::TrustRefused);
    EXPECT_EQ(result.fingerprint, HostFingerprint());
    EXPECT_FALSE(std::filesystem::exists(program_ / "known_hosts"));

    WriteBytes(program_ / "known_hosts", HostName() + " " + ReadBytes(*keys_ / "other_host.pub"));
    auto changed = Site(false);
    EXPECT_EQ(Connect(*changed).failure, TRemoteFailure::TrustRefused);
    ASSERT_EQ(questions_.size(), 2u);
    EXPECT_TRUE(questions_[1].changed);
    EXPECT_EQ(questions_[1].previousFingerprint, KeygenFingerprint(*keys_ / "other_host.pub"));
    changed.reset();
    refused.reset();
    // sshd logs every login request it gets; neither session made one.
    EXPECT_EQ(server_->Log().find("userauth-request"), std::string::npos) << server_->Log();

    auto trusted = Site(true);
    EXPECT_TRUE(Connect(*trusted).Ok()) << "an explicit trust replaces the old key";
    EXPECT_EQ(CheckHostKey({program_ / "known_hosts"}, HostName(), {"ssh-ed25519", ""}).status,
              THostKeyStatus::Changed);
    EXPECT_NE(server_->Log().find("userauth-request"), std::string::npos) << "the log shows logins";
}

TEST_F(SftpSite, LoginRefusedWithoutAcceptedCredential) {
    settings_.keyFile.clear();
    settings_.password = "falsch";
    auto site = Site();
    const TRemoteResult result = Connect(*site);
    EXPECT_EQ(result.failure, TRemoteFailure::LoginRefused) << result.detail;
    EXPECT_FALSE(site->Connected());
}

TEST_F(SftpSite, RefusedKeyFileFallsBackToThePassword) {
    MakeKey(home_ / "id_stranger", "ed25519");
    settings_.keyFile = (home_ / "id_stranger").string();
    settings_.password = SshTestAccount().password.empty() ? "falsch" : SshTestAccount().password;
    auto site = Site();
    const TRemoteResult result = Connect(*site);
    EXPECT_EQ(lines_.find("LOGIN key"), lines_.rfind("LOGIN key")) << "the key is offered once: " << lines_;
    if (SshTestAccount().password.empty()) {
        EXPECT_EQ(result.failure, TRemoteFailure::LoginRefused) << result.detail;
        return;
    }
    EXPECT_TRUE(result.Ok()) << result.detail << lines_;
    EXPECT_LT(lines_.find("LOGIN key"), lines_.find("LOGIN password")) << lines_;
}

TEST_F(SftpSite, PasswordIsAskedForWhenNoneIsSet) {
    if (SshTestAccount().password.empty())
        GTEST_SKIP() << "password logins need a test account (run as root)";
    settings_.keyFile.clear();
    secrets_ = {SshTestAccount().password};
    auto site = Site();
    EXPECT_TRUE(Connect(*site).Ok()) << lines_;
    EXPECT_EQ(asked_, std::vector<std::string>{""});
    EXPECT_EQ(lines_.find(SshTestAccount().password), std::string::npos) << "never logged";
}

TEST_F(SftpSite, PassphraseIsAskedUntilRight) {
    settings_.keyFile = (*keys_ / "id_locked").string();
    secrets_ = {"falsch", "Sesam"};
    auto site = Site();
    EXPECT_TRUE(Connect(*site).Ok()) << lines_;
    EXPECT_EQ(asked_.size(), 2u);
    // A sibling logs in with what its session learnt, and never asks.
    auto sibling = site->OpenSibling();
    EXPECT_TRUE(Await([&](TRemoteDone done) { sibling->Connect(done); }).Ok());
    EXPECT_EQ(asked_.size(), 2u);
    EXPECT_EQ(questions_.size(), 1u);
}

TEST_F(SftpSite, FoldersFilesAndLeftovers) {
    // "web" as a killed run left it.
    WriteBytes(server_->Root() / "web" / SftpTemporaryName("index.htm"), "torn");
    std::filesystem::create_symlink("/etc", server_->Root() / "web" / "link");
    server_->GiveToAccount();
    auto site = Site();
    ASSERT_TRUE(Connect(*site).Ok());
    auto run = [&](const std::function<void(TRemoteDone)>& start) { return Await(start); };
    EXPECT_EQ(run([&](TRemoteDone d) { site->MakeFolder("web", d); }).failure, TRemoteFailure::AlreadyExists);
    EXPECT_TRUE(run([&](TRemoteDone d) { site->MakeFolder("neu", d); }).Ok());
    EXPECT_EQ(run([&](TRemoteDone d) { site->MakeFolder("neu", d); }).failure, TRemoteFailure::AlreadyExists);
    EXPECT_TRUE(std::filesystem::is_directory(server_->Root() / "neu"));
    EXPECT_EQ(run([&](TRemoteDone d) { site->MakeFolder("../escape", d); }).failure, TRemoteFailure::Refused);
    EXPECT_EQ(run([&](TRemoteDone d) { site->EnterFolder("missing", d); }).failure, TRemoteFailure::NotFound);
    ASSERT_TRUE(run([&](TRemoteDone d) { site->EnterFolder("web", d); }).Ok());
    EXPECT_FALSE(std::filesystem::exists(server_->Root() / "web" / SftpTemporaryName("index.htm")))
        << "a killed run's leftover is removed";

    WriteBytes(local_ / "index.htm", "<html>");
    EXPECT_TRUE(run([&](TRemoteDone d) { site->Put(local_ / "index.htm", "index.htm", d); }).Ok());
    EXPECT_EQ(ReadBytes(server_->Root() / "web" / "index.htm"), "<html>");
    EXPECT_EQ(run([&](TRemoteDone d) { site->Put(local_ / "missing", "x.htm", d); }).failure,
              TRemoteFailure::LocalFile);

    std::vector<TRemoteEntry> entries;
    ASSERT_TRUE(AwaitListing([&](TListingDone d) { site->List(TListingDetail::Kinds, d); }, entries).Ok());
    std::map<std::string, TRemoteEntryKind> kinds;
    for (const auto& entry : entries)
        kinds[entry.name] = entry.kind;
    EXPECT_EQ(kinds, (std::map<std::string, TRemoteEntryKind>{{"index.htm", TRemoteEntryKind::File},
                                                              {"link", TRemoteEntryKind::Other}}));
    EXPECT_TRUE(run([&](TRemoteDone d) { site->DeleteFile("link", d); }).Ok());
    EXPECT_TRUE(std::filesystem::exists("/etc/passwd")) << "the link went, not what it points to";
    EXPECT_TRUE(run([&](TRemoteDone d) { site->DeleteFile("index.htm", d); }).Ok());
    EXPECT_EQ(run([&](TRemoteDone d) { site->DeleteFile("index.htm", d); }).failure,
              TRemoteFailure::NotFound);
    EXPECT_TRUE(run([&](TRemoteDone d) { site->LeaveFolder(d); }).Ok());
    EXPECT_TRUE(run([&](TRemoteDone d) { site->RemoveFolder("web", d); }).Ok());
    EXPECT_FALSE(std::filesystem::exists(server_->Root() / "web"));
}

// The job's walk to a folder: make each part, then enter it.
TRemoteResult Walk(TRemoteSite& site, const std::string& path) {
    for (const std::string& part : RemoteFolderParts(path)) {
        Await([&](TRemoteDone d) { site.MakeFolder(part, d); });
        const TRemoteResult entered = Await([&](TRemoteDone d) { site.EnterFolder(part, d); });
        if (!entered.Ok()) return entered;
    }
    return {};
}

TEST_F(SftpSite, LeftoversAreSweptInTheSiteOnly) {
    const auto above = server_->Root() / "above";
    WriteBytes(above / SftpTemporaryName("not-ours.htm"), "someone else's");
    WriteBytes(above / "site" / SftpTemporaryName("index.htm"), "torn");
    WriteBytes(above / "site" / "album" / SftpTemporaryName("bild.jpg"), "torn");
    WriteBytes(server_->Root() / "plain.txt", "a file, no folder");
    server_->GiveToAccount();
    // Absolute: every folder from the server's "/" down is entered.
    settings_.remoteRoot = (above / "site").string();
    auto site = Site();
    ASSERT_TRUE(Connect(*site).Ok());
    ASSERT_TRUE(Walk(*site, settings_.remoteRoot).Ok()) << lines_;
    EXPECT_EQ(site->Folder(), (above / "site").string());
    EXPECT_FALSE(std::filesystem::exists(above / "site" / SftpTemporaryName("index.htm"))) << lines_;
    EXPECT_TRUE(std::filesystem::exists(above / SftpTemporaryName("not-ours.htm")))
        << "a folder above the site is not swept";
    ASSERT_TRUE(Walk(*site, "album").Ok());
    EXPECT_FALSE(std::filesystem::exists(above / "site" / "album" / SftpTemporaryName("bild.jpg")));
    EXPECT_TRUE(Walk(*site, "neu/tiefer").Ok());
    EXPECT_TRUE(std::filesystem::is_directory(above / "site" / "album" / "neu" / "tiefer"));

    // Relative to the login folder; a file where a folder of the path should be stops the walk.
    settings_.remoteRoot = "plain.txt/site";
    auto relative = Site();
    ASSERT_TRUE(Connect(*relative).Ok());
    const TRemoteResult blocked = Walk(*relative, settings_.remoteRoot);
    EXPECT_EQ(blocked.failure, TRemoteFailure::Refused) << blocked.detail;
    EXPECT_EQ(relative->Folder(), server_->Root().string());
    settings_.remoteRoot = "above/missing";
    auto missing = Site();
    ASSERT_TRUE(Connect(*missing).Ok());
    ASSERT_TRUE(Await([&](TRemoteDone d) { missing->EnterFolder("above", d); }).Ok());
    EXPECT_EQ(Await([&](TRemoteDone d) { missing->EnterFolder("missing", d); }).failure,
              TRemoteFailure::NotFound);
}

// Making the first missing folder on the way makes the rest down to the site with it (one round
// trip); the walk then goes down without asking again, and the site works as before.
TEST_F(SftpSite, MissingLevelsDownToTheSiteAreMadeAtOnce) {
    settings_.remoteRoot = "a/b/site";
    auto site = Site();
    ASSERT_TRUE(Connect(*site).Ok());
    ASSERT_TRUE(Await([&](TRemoteDone d) { site->MakeFolder("a", d); }).Ok()) << lines_;
    EXPECT_TRUE(std::filesystem::is_directory(server_->Root() / "a" / "b" / "site"));
    ASSERT_TRUE(Walk(*site, settings_.remoteRoot).Ok()) << lines_;
    EXPECT_EQ(site->Folder(), (server_->Root() / "a" / "b" / "site").string());
    ASSERT_TRUE(Walk(*site, "album").Ok());
    EXPECT_TRUE(std::filesystem::is_directory(server_->Root() / "a" / "b" / "site" / "album"));
}

TEST_F(SftpSite, BusyAndAbort) {
    auto site = Site();
    ASSERT_TRUE(Connect(*site).Ok());
    WriteBytes(local_ / "big.bin", std::string(20'000'000, 'x'));
    std::optional<TRemoteResult> first, second;
    site->Put(local_ / "big.bin", "big.bin", [&](const TRemoteResult& r) { first = r; });
    site->MakeFolder("x", [&](const TRemoteResult& r) { second = r; });
    EXPECT_FALSE(second) << "never inside the call";
    site->Abort();
    ASSERT_TRUE(RunUntil([&] { return first && second; }, 5000));
    EXPECT_EQ(second->failure, TRemoteFailure::Busy);
    EXPECT_EQ(first->failure, TRemoteFailure::Cancelled);
    EXPECT_FALSE(site->Connected());
    EXPECT_FALSE(std::filesystem::exists(server_->Root() / "big.bin"));
}

TEST_F(SftpSite, AbsoluteRootStartsAtTheServersRoot) {
    settings_.remoteRoot = "/tmp/x";
    auto site = Site();
    ASSERT_TRUE(Connect(*site).Ok());
    EXPECT_EQ(site->Folder(), "/");
    settings_.remoteRoot = "web";
    auto relative = Site();
    ASSERT_TRUE(Connect(*relative).Ok());
    EXPECT_EQ(relative->Folder(), server_->Root().string());
}

} // namespace
