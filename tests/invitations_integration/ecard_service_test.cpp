// End to end: vistrel-cli invite against the shipped sendpostcard.pl, run as a CGI behind Python's
// HTTP server, with a stand-in sendmail that writes every mail into a folder.
#include "cli/cli.h"
#include "common/cp1252.h"
#include "invitations/http_client.h"
#include "python_server.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace vistrel;
using vistrel::testing::PythonHttpServer;
using vistrel::testing::ReadBytes;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

// The script with its settings block pointed at the test's folders.
std::string ConfiguredScript(const fs::path& root) {
    std::string script = ReadBytes(VISTREL_SOURCE_DIR "/data/sendpostcard.pl");
    auto replaceLine = [&](const std::string& prefix, const std::string& line) {
        size_t start = script.find("\n" + prefix);
        EXPECT_NE(start, std::string::npos) << prefix;
        size_t end = script.find('\n', start + 1);
        script.replace(start + 1, end - start - 1, line);
    };
    replaceLine("my @SITES =", "my @SITES = ('http://www.example.org/alben/');");
    replaceLine("my $SENDMAIL =", "my $SENDMAIL = '" + (root / "sendmail").string() + "';");
    replaceLine("my $COUNTER_FILE =", "my $COUNTER_FILE = '" + (root / "count").string() + "';");
    return script;
}

class EcardServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(web_ / "cgi-bin");
        fs::create_directories(mails_);
        WriteBytes(web_ / "cgi-bin" / "sendpostcard.pl", ConfiguredScript(temp_.path()));
        WriteBytes(temp_ / "sendmail", "#!/bin/sh\n"
                                       "echo \"$@\" > \"" +
                                           (mails_ / "args").string() +
                                           "\"\n"
                                           "cat > \"" +
                                           mails_.string() + "/mail-$$.txt\"\n");
        for (const fs::path& file : {web_ / "cgi-bin" / "sendpostcard.pl", temp_ / "sendmail"})
            fs::permissions(file, fs::perms::owner_all);
        server_ = std::make_unique<PythonHttpServer>(
            QStringList{QStringLiteral("cgi"), QString::fromStdString(web_.string())});
        ASSERT_TRUE(server_->Started());

        fs::create_directories(program_ / "styles" / "Standard");
        fs::create_directories(program_ / "galleries" / "Urlaub_2003" / "thumbs");
        WriteBytes(program_ / "galleries" / "Urlaub_2003" / "thumbs" / "strand.jpg", "");
        WriteBytes(program_ / "vistrel.ini",
                   "[TSettingsForm]\r\nedEmail_Text=anna@example.org\r\n"
                   "[TInviteForm]\r\nedSender_Text=" +
                       Utf8ToAnsi("Anna Müller") +
                       "\r\nedUrl_Text=http://www.example.org/alben\r\n"
                       "ServiceHost_Text=" +
                       server_->Host() +
                       "\r\n[TInviteForm.edText_Lines]\r\nCount=2\r\nItem0=Hallo\r\n"
                       "Item1=" +
                       Utf8ToAnsi("Tschüss") + "\r\n");
    }

    int Invite(std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-folder", program_.string(), "invite"});
        out_.str("");
        err_.str("");
        return cli::RunCliWith(args, program_.string(), out_, err_);
    }

    std::vector<std::string> Mails() {
        std::vector<std::string> mails;
        for (const auto& entry : fs::directory_iterator(mails_))
            if (entry.path().filename().string().rfind("mail-", 0) == 0)
                mails.push_back(ReadBytes(entry.path()));
        std::sort(mails.begin(), mails.end());
        return mails;
    }

    TempDir temp_;
    fs::path web_ = temp_ / "web";
    fs::path mails_ = temp_ / "mails";
    fs::path program_ = temp_ / "program";
    std::unique_ptr<PythonHttpServer> server_;
    std::ostringstream out_;
    std::ostringstream err_;
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(EcardServiceTest, OneMailPerRecipient) {
    ASSERT_EQ(Invite({"Urlaub_2003", "strand.jpg", "--to", "bernd@example.net", "--to", "clara@example.com"}),
              0)
        << out_.str() << err_.str();
    EXPECT_TRUE(Contains(out_.str(), "Einladungen verschickt!")) << out_.str();
    std::vector<std::string> mails = Mails();
    ASSERT_EQ(mails.size(), 2u);
    std::string all = mails[0] + mails[1];
    EXPECT_TRUE(Contains(all, "To: bernd@example.net\n"));
    EXPECT_TRUE(Contains(all, "To: clara@example.com\n"));
    for (const std::string& mail : mails) {
        EXPECT_TRUE(Contains(mail, "Reply-To: anna@example.org\n")) << mail;
        EXPECT_TRUE(Contains(mail, "Subject: Sie haben eine Postkarte erhalten!\n")) << mail;
        EXPECT_TRUE(Contains(mail, Utf8ToAnsi("Anna Müller hat Ihnen eine Postkarte geschickt."))) << mail;
        EXPECT_TRUE(Contains(mail, Utf8ToAnsi("Hallo\nTschüss\n"))) << mail;
        EXPECT_TRUE(Contains(mail, "Zur Postkarte: http://www.example.org/alben/Urlaub_2003/postcard.htm\n"))
            << mail;
        EXPECT_TRUE(Contains(mail, "Das Bild: http://www.example.org/alben/Urlaub_2003/images/strand.jpg\n"))
            << mail;
    }
    EXPECT_EQ(ReadBytes(mails_ / "args"), "-t -i\n");

    // The test invitation by index goes to the user's own address.
    ASSERT_EQ(Invite({"0", "0", "--test"}), 0) << err_.str();
    EXPECT_TRUE(Contains(out_.str(), "Die Testeinladung wurde an anna@example.org verschickt."))
        << out_.str();
    EXPECT_EQ(Mails().size(), 3u);
}

TEST_F(EcardServiceTest, HeaderInjectionAndForeignSitesAreRefused) {
    std::string ini = ReadBytes(program_ / "vistrel.ini");
    // A CR LF in the sender name cannot come from the settings file; the request is made by hand.
    std::string injected = server_->Url(
        "/cgi-bin/sendpostcard.pl?sendername=Anna%0d%0aBcc%3a+x%40evil.example&recipient=bernd@example.net"
        "&language=en&message=Hallo&postcardurl=http%3a%2f%2fwww.example.org%2falben%2fA%2fpostcard.htm"
        "&imagepath=a.jpg&subject=Hallo&galleryemail=anna@example.org");
    THttpClient client;
    client.URL = injected;
    try {
        client.Get();
        ADD_FAILURE() << "the injected request was accepted";
    } catch (const EHttpException& error) {
        EXPECT_EQ(error.ErrorCode, 400);
    }
    // A postcard on a site the script does not serve.
    WriteBytes(program_ / "vistrel.ini",
               ini.replace(ini.find("http://www.example.org/alben"), 28, "http://evil.example/alben"));
    EXPECT_EQ(Invite({"Urlaub_2003", "strand.jpg", "--to", "bernd@example.net"}), 1);
    EXPECT_TRUE(Contains(err_.str(), "Die Einladung(en) konnte(n) nicht verschickt werden.")) << err_.str();
    EXPECT_TRUE(Mails().empty());
}

TEST_F(EcardServiceTest, RefusedAddressesSendNothing) {
    EXPECT_EQ(Invite({"Urlaub_2003", "strand.jpg", "--to", "bernd@example.net", "--to", "BERND@example.net"}),
              1);
    EXPECT_TRUE(Contains(err_.str(), "BERND@example.net ist bereits in der Liste.")) << err_.str();
    EXPECT_EQ(Invite({"Urlaub_2003", "strand.jpg", "--to", "bernd@localhost"}), 1);
    EXPECT_TRUE(Contains(err_.str(), "bernd@localhost ist keine gültige E-Mail Adresse.")) << err_.str();
    EXPECT_EQ(Invite({"Urlaub_2003", "strand.jpg"}), 1) << "no stored recipients";
    EXPECT_TRUE(Contains(err_.str(), "Bitte tragen Sie auf der Seite ''Empfänger''")) << err_.str();
    EXPECT_EQ(Invite({"Urlaub_2003"}), 2);
    EXPECT_EQ(Invite({"Urlaub_2003", "fehlt.jpg", "--to", "bernd@example.net"}), 1);
    EXPECT_TRUE(Mails().empty());
    EXPECT_TRUE(server_->NoMoreRequests());
}

} // namespace
