// The SFTP session against Debian's OpenSSH server: host keys as ssh-keygen shows them, every way
// of logging in, the folder requests and the pipelined upload.
#include "net/run_until.h"
#include "publishing/sftp_channel.h"
#include "publishing/sftp_error.h"
#include "publishing/sftp_session.h"
#include "sftp_integration/ssh_server.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>
#include <set>

#include <sys/resource.h>

using namespace vistrel;
using namespace vistrel::testing;

namespace {

class SftpSession : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        keys_ = new TempDir;
        MakeKey(*keys_ / "host_ed25519", "ed25519");
        for (const char* type : {"ed25519", "ecdsa", "rsa"})
            MakeKey(*keys_ / (std::string("id_") + type), type);
        MakeKey(*keys_ / "id_locked", "ed25519", "Passwort mit Leerzeichen");
        MakeKey(*keys_ / "id_stranger", "ed25519");
        std::string authorized;
        for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa", "id_locked"})
            authorized += ReadBytes(*keys_ / (std::string(name) + ".pub"));
        WriteBytes(*keys_ / "authorized_keys", authorized);
    }
    static void TearDownTestSuite() {
        delete keys_;
        keys_ = nullptr;
    }

    void SetUp() override {
        server_ = std::make_unique<TSshServer>(*keys_ / "host_ed25519", *keys_ / "authorized_keys");
        ASSERT_TRUE(server_->Start()) << server_->Log();
    }

    static std::filesystem::path Key(const std::string& name) { return *keys_ / name; }

    THostKey Connect(TSftpSession& session) {
        return session.Connect("127.0.0.1", server_->Port(), SshTestAccount().user);
    }

    void LogInWithKey(TSftpSession& session, const std::string& key = "id_ed25519") {
        Connect(session);
        session.ProbeMethods();
        ASSERT_EQ(session.LoadKey(Key(key)), TKeyLoad::Loaded);
        ASSERT_TRUE(session.LoginWithKey());
        session.StartSftp();
    }

    static inline TempDir* keys_ = nullptr;
    std::unique_ptr<TSshServer> server_;
    TempDir local_;
};

TEST_F(SftpSession, HostKeyIsShownAsSshKeygenShowsIt) {
    TSftpSession session;
    const THostKey key = Connect(session);
    EXPECT_EQ(key.type, "ssh-ed25519");
    EXPECT_EQ(HostKeyFingerprint(key.blob), KeygenFingerprint(Key("host_ed25519.pub")));
    EXPECT_FALSE(session.LoggedIn());
}

TEST_F(SftpSession, LogsInWithEveryKeyType) {
    for (const char* key : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
        SCOPED_TRACE(key);
        TSftpSession session;
        Connect(session);
        const TAuthMethods methods = session.ProbeMethods();
        EXPECT_TRUE(methods.publicKey);
        ASSERT_EQ(session.LoadKey(Key(key)), TKeyLoad::Loaded);
        EXPECT_TRUE(session.LoginWithKey());
    }
}

TEST_F(SftpSession, KeyOutsideAuthorizedKeysIsRefused) {
    TSftpSession session;
    Connect(session);
    session.ProbeMethods();
    ASSERT_EQ(session.LoadKey(Key("id_stranger")), TKeyLoad::Loaded);
    EXPECT_FALSE(session.LoginWithKey());
    EXPECT_FALSE(session.LoggedIn());
    EXPECT_EQ(session.LoadKey(Key("no_such_key")), TKeyLoad::Unreadable);
}

TEST_F(SftpSession, EncryptedKeyNeedsItsPassphrase) {
    TSftpSession session;
    Connect(session);
    session.ProbeMethods();
    EXPECT_EQ(session.LoadKey(Key("id_locked")), TKeyLoad::NeedsPassphrase);
    EXPECT_EQ(session.LoadKey(Key("id_locked"), "falsch"), TKeyLoad::NeedsPassphrase);
    ASSERT_EQ(session.LoadKey(Key("id_locked"), "Passwort mit Leerzeichen"), TKeyLoad::Loaded);
    EXPECT_TRUE(session.LoginWithKey());
}

TEST_F(SftpSession, PasswordLogin) {
    const TSshAccount& account = SshTestAccount();
    if (account.password.empty()) GTEST_SKIP() << "password logins need a test account (run as root)";
    TSftpSession wrong;
    Connect(wrong);
    EXPECT_TRUE(wrong.ProbeMethods().password);
    EXPECT_FALSE(wrong.LoginWithPassword("falsch"));
    TSftpSession right;
    Connect(right);
    right.ProbeMethods();
    EXPECT_TRUE(right.LoginWithPassword(account.password));
    right.StartSftp();
    EXPECT_EQ(right.RealPath("."), server_->Root().string());
}

TEST_F(SftpSession, FoldersAreMadeListedAndRemoved) {
    TSftpSession session;
    LogInWithKey(session);
    const std::string root = session.RealPath(".");
    EXPECT_EQ(session.MakeDir(root + "/Urlaub"), sftp_status::Ok);
    EXPECT_NE(session.MakeDir(root + "/Urlaub"), sftp_status::Ok) << "exists already";
    WriteBytes(server_->Root() / "Urlaub" / ".htaccess", "x");
    std::filesystem::create_symlink("/etc", server_->Root() / "Urlaub" / "link");
    server_->GiveToAccount();
    std::map<std::string, TSftpName> names;
    for (const auto& entry : session.List(root + "/Urlaub"))
        names[entry.name] = entry;
    ASSERT_EQ(names.size(), 2u);
    EXPECT_TRUE(names[".htaccess"].hasPermissions);
    EXPECT_FALSE(names[".htaccess"].IsFolder());
    EXPECT_TRUE(names["link"].IsLink()) << "links are listed as links, not as what they point to";
    EXPECT_EQ(session.RemoveFile(root + "/Urlaub/link"), sftp_status::Ok);
    EXPECT_TRUE(std::filesystem::exists("/etc/hostname") || std::filesystem::exists("/etc"));
    EXPECT_EQ(session.RemoveFile(root + "/Urlaub/.htaccess"), sftp_status::Ok);
    EXPECT_EQ(session.RemoveDir(root + "/Urlaub"), sftp_status::Ok);
    EXPECT_FALSE(std::filesystem::exists(server_->Root() / "Urlaub"));
    EXPECT_THROW(session.List(root + "/Urlaub"), ESftpError);
}

TEST_F(SftpSession, LargeFolderIsListedWhole) {
    TSftpSession session;
    LogInWithKey(session);
    const std::string root = session.RealPath(".");
    // OpenSSH answers a READDIR with up to 100 names: this takes more than the requests sent ahead.
    for (int i = 0; i < 1234; ++i)
        WriteBytes(server_->Root() / "many" / ("IMG_" + std::to_string(i) + ".jpg"), "");
    server_->GiveToAccount();
    std::set<std::string> names;
    for (const auto& entry : session.List(root + "/many"))
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name << " listed twice";
    EXPECT_EQ(names.size(), 1234u);
    EXPECT_EQ(names.count("IMG_1233.jpg"), 1u);
    // The folder's handle was closed: the session goes on.
    EXPECT_EQ(session.MakeDir(root + "/many/sub"), sftp_status::Ok);
}

std::string Pattern(size_t size, int salt) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + size_t(salt)) ^ (i >> 11));
    return bytes;
}

TEST_F(SftpSession, PipelinedUploadReplacesFilesWhole) {
    TSftpSession session;
    LogInWithKey(session);
    const std::string root = session.RealPath(".");
    WriteBytes(server_->Root() / "b.jpg", "an old version that is longer than nothing");
    server_->GiveToAccount();
    std::vector<TSftpPutItem> items;
    const std::vector<size_t> sizes = {0, 1, 32768, 32769, 3'000'000, 20000, 261120, 261121};
    for (size_t i = 0; i < sizes.size(); ++i) {
        const std::string name = std::string(1, char('a' + i)) + ".jpg";
        WriteBytes(local_ / name, Pattern(sizes[i], int(i)));
        items.push_back({local_ / name, root + "/" + name});
    }
    // OpenSSH names its limits: writes of up to 255 KB.
    const size_t writeSize = session.Channel().WriteSize();
    EXPECT_EQ(writeSize, 261120u);
    EXPECT_GT(session.Channel().MaxHandles(), 0u);
    for (const auto& [filesInFlight, chunk] :
         {std::pair<size_t, size_t>{1, 32768}, {8, 32768}, {8, writeSize}}) {
        SCOPED_TRACE(std::to_string(filesInFlight) + " files, writes of " + std::to_string(chunk));
        std::vector<size_t> sent;
        std::map<size_t, int64_t> progress;
        TSftpPutEvents events;
        events.sent = [&](size_t index) { sent.push_back(index); };
        events.failed = [&](size_t index, uint32_t, const std::string& why) {
            ADD_FAILURE() << index << why;
        };
        events.progress = [&](size_t index, int64_t bytes) { progress[index] = bytes; };
        session.PutFiles(items, {filesInFlight, 64, chunk}, events);
        EXPECT_EQ(sent.size(), items.size());
        EXPECT_EQ(progress[4], 3'000'000);
        for (size_t i = 0; i < items.size(); ++i)
            EXPECT_EQ(ReadBytes(server_->Root() / items[i].local.filename()), Pattern(sizes[i], int(i))) << i;
        for (const auto& entry : std::filesystem::directory_iterator(server_->Root()))
            EXPECT_FALSE(IsSftpTemporaryName(entry.path().filename().string())) << entry.path();
    }
}

TEST_F(SftpSession, ManyFilesOnTheirWayHoldFewDescriptors) {
    TSftpSession session;
    LogInWithKey(session);
    const std::string root = session.RealPath(".");
    std::vector<TSftpPutItem> items;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "IMG_" + std::to_string(i) + ".jpg";
        WriteBytes(local_ / name, Pattern(20000, i));
        items.push_back({local_ / name, root + "/" + name});
    }
    // Far fewer descriptors than files on their way: a program with several sessions of
    // hundreds of files each meets its limit just so.
    size_t open = 0;
    for ([[maybe_unused]] const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
        ++open;
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    rlimit low = old;
    low.rlim_cur = open + 40;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    size_t sent = 0;
    std::vector<std::string> failures;
    TSftpPutEvents events;
    events.sent = [&](size_t) { ++sent; };
    events.failed = [&](size_t index, uint32_t, const std::string& why) {
        failures.push_back(std::to_string(index) + ": " + why);
    };
    session.PutFiles(items, {300, 64, 32768}, events);
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(sent, items.size());
    EXPECT_TRUE(failures.empty()) << failures.front();
    EXPECT_EQ(ReadBytes(server_->Root() / "IMG_299.jpg"), Pattern(20000, 299));
}

TEST_F(SftpSession, RefusedFileIsReportedAndTheOthersGoOn) {
    TSftpSession session;
    LogInWithKey(session);
    const std::string root = session.RealPath(".");
    WriteBytes(local_ / "a.htm", "a");
    WriteBytes(local_ / "c.htm", "c");
    std::vector<TSftpPutItem> items = {{local_ / "a.htm", root + "/missing/a.htm"},
                                       {local_ / "gone.htm", root + "/gone.htm"},
                                       {local_ / "c.htm", root + "/c.htm"}};
    std::vector<size_t> sent;
    std::map<size_t, uint32_t> failed;
    TSftpPutEvents events;
    events.sent = [&](size_t index) { sent.push_back(index); };
    events.failed = [&](size_t index, uint32_t status, const std::string&) { failed[index] = status; };
    session.PutFiles(items, {4, 64, 32768}, events);
    EXPECT_EQ(sent, std::vector<size_t>{2});
    EXPECT_EQ(failed[0], sftp_status::NoSuchFile);
    EXPECT_EQ(failed[1], 0u) << "a local file that cannot be read";
    EXPECT_EQ(ReadBytes(server_->Root() / "c.htm"), "c");
}

TEST_F(SftpSession, SilentServerEndsWithinTheBound) {
    TSilentServer silent;
    TSftpSession session(300);
    QElapsedTimer timer;
    timer.start();
    try {
        session.Connect("127.0.0.1", silent.Port(), "nobody");
        ADD_FAILURE() << "connected to a server that never spoke";
    } catch (const ESftpError& error) {
        EXPECT_EQ(error.kind(), TSftpFailure::TimedOut) << error.what();
    }
    EXPECT_LT(timer.elapsed(), 3000);
}

TEST_F(SftpSession, RefusedConnectionSaysSo) {
    TSftpSession session(2000);
    try {
        session.Connect("127.0.0.1", 1, "nobody");
        ADD_FAILURE();
    } catch (const ESftpError& error) {
        EXPECT_EQ(error.kind(), TSftpFailure::Connect);
        EXPECT_NE(std::string(error.what()).find("10061"), std::string::npos) << error.what();
    }
}

TEST_F(SftpSession, CancelEndsAnUploadAtOnceAndLeavesNoTornFile) {
    TSftpSession session;
    LogInWithKey(session);
    const std::string root = session.RealPath(".");
    WriteBytes(server_->Root() / "big.bin", "old");
    server_->GiveToAccount();
    WriteBytes(local_ / "big.bin", Pattern(50'000'000, 3));
    TSftpPutEvents events;
    bool sent = false;
    events.sent = [&](size_t) { sent = true; };
    events.failed = [&](size_t, uint32_t, const std::string&) {};
    QElapsedTimer timer;
    events.progress = [&](size_t, int64_t bytes) {
        if (bytes < 1'000'000 || timer.isValid()) return;
        timer.start();
        session.Cancel();
    };
    try {
        session.PutFiles({{local_ / "big.bin", root + "/big.bin"}}, {}, events);
        ADD_FAILURE() << "not cancelled";
    } catch (const ESftpError& error) {
        EXPECT_EQ(error.kind(), TSftpFailure::Cancelled);
    }
    EXPECT_LT(timer.elapsed(), 1000) << "cancel is answered within a second";
    EXPECT_FALSE(sent);
    EXPECT_EQ(ReadBytes(server_->Root() / "big.bin"), "old");
    EXPECT_FALSE(session.Connected());
}

} // namespace
