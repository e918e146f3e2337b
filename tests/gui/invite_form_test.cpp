// The invitation dialog offscreen: captions, the recipient and text rules with their focus, storing
// on "Schließen" only, the test invitation and "Abbrechen" in the status window against a real
// HTTP server on 127.0.0.1.
#include "album_library/ui/thumb_frame.h"
#include "album_library/ui/thumb_grid.h"
#include "app/main_window.h"
#include "common/cp1252.h"
#include "invitations/ui/invite_form.h"
#include "invitations/ui/invite_status_form.h"
#include "invitations_integration/python_server.h"
#include "program/program_context.h"
#include "support/test_support.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::PythonHttpServer;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

namespace {

class InviteFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(dir_ / "styles" / "Standard" / "index.html", "");
        WriteBytes(dir_ / "vistrel.ini", "[TSettingsForm]\r\nedFTPServer_Text=ftp.example.org\r\n"
                                         "edFTPDirectory_Text=/alben/\r\nedEmail_Text=anna@example.org\r\n");
        context_.Start();
        form_.Prepare("Urlaub 2003", "strand.jpg");
        form_.show();
        QApplication::setActiveWindow(&form_);
    }

    std::string Ini() { return ReadBytes(dir_ / "vistrel.ini"); }

    TempDir dir_;
    ScriptedPrompts prompts_;
    TProgramContext context_{dir_.path(), prompts_};
    TInviteForm form_{context_};
};

TEST_F(InviteFormTest, CaptionsTabsAndTheSuggestedAddress) {
    EXPECT_EQ(form_.windowTitle(), QStringLiteral("Einladungen per E-Mail verschicken"));
    ASSERT_EQ(form_.PageControl->count(), 2);
    EXPECT_EQ(form_.PageControl->tabText(0), QStringLiteral("Einladung"));
    EXPECT_EQ(form_.PageControl->tabText(1), QStringLiteral("Empf\u00e4nger"));
    EXPECT_TRUE(form_.lbExplanation->text().contains(QStringLiteral("'Testeinladung...'  Knopf")));
    EXPECT_TRUE(
        form_.lbExplanation->text().contains(QStringLiteral("ver\u00f6ffentlicht sein.\n\nZu Testzwecken")));
    EXPECT_EQ(form_.btnSend->text(), QStringLiteral("Einladungen verschicken..."));
    EXPECT_TRUE(form_.btnSend->isDefault());
    EXPECT_EQ(form_.btnTest->text(), QStringLiteral("Testeinladung..."));
    EXPECT_EQ(form_.btnClose->text(), QStringLiteral("Schlie\u00dfen"));
    EXPECT_EQ(form_.btnAdd->text(), QStringLiteral("Hinzuf\u00fcgen"));
    EXPECT_EQ(form_.btnDelete->text(), QStringLiteral("Markierte L\u00f6schen"));
    EXPECT_EQ(form_.edUrl->text(), QStringLiteral("http://ftp.example.org/alben"));
}

TEST_F(InviteFormTest, RecipientsWithMessagesAndFocus) {
    form_.PageControl->setCurrentIndex(1);
    form_.edEMail->setText(QStringLiteral("bernd@example.net"));
    form_.btnAdd->click();
    EXPECT_EQ(form_.lbAddresses->count(), 1);
    EXPECT_TRUE(form_.edEMail->text().isEmpty());
    form_.edEMail->setText(QStringLiteral("bernd@localhost"));
    form_.btnDelete->setFocus();
    form_.btnAdd->click();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0], Utf8ToAnsi("bernd@localhost ist keine gültige E-Mail Adresse."));
    EXPECT_TRUE(form_.edEMail->hasFocus());
    form_.edEMail->setText(QStringLiteral("BERND@example.net"));
    form_.btnAdd->click();
    EXPECT_EQ(prompts_.messages.back(), "BERND@example.net ist bereits in der Liste.");
    EXPECT_EQ(form_.lbAddresses->count(), 1);
    form_.edEMail->clear();
    form_.btnAdd->click();
    EXPECT_EQ(prompts_.messages.size(), 2u) << "an empty field adds nothing and says nothing";

    form_.lbAddresses->addItem(QStringLiteral("clara@example.com"));
    form_.lbAddresses->addItem(QStringLiteral("dora@example.com"));
    form_.lbAddresses->item(0)->setSelected(true);
    form_.lbAddresses->item(2)->setSelected(true);
    form_.btnDelete->click();
    ASSERT_EQ(form_.lbAddresses->count(), 1);
    EXPECT_EQ(form_.lbAddresses->item(0)->text(), QStringLiteral("clara@example.com"));
}

TEST_F(InviteFormTest, PastingTooMuchTextKeepsTheFirst1000) {
    form_.btnSend->setFocus();
    form_.edText->insertPlainText(QString(1200, QLatin1Char('x')));
    EXPECT_EQ(form_.edText->toPlainText().size(), 1000);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0],
              Utf8ToAnsi("Die Länge des Textes darf 1000 Zeichen nicht überschreiten."));
    EXPECT_TRUE(form_.edText->hasFocus());
}

TEST_F(InviteFormTest, FieldsAreStoredOnSchliessenOnly) {
    form_.edSender->setText(QStringLiteral("Anna M\u00fcller"));
    form_.edText->setPlainText(QStringLiteral("Hallo\nbis bald"));
    form_.lbAddresses->addItem(QStringLiteral("bernd@example.net"));
    form_.close(); // the title bar's close button
    EXPECT_EQ(Ini().find("TInviteForm"), std::string::npos);

    form_.show();
    form_.btnClose->click();
    EXPECT_FALSE(form_.isVisible());
    std::string ini = Ini();
    EXPECT_NE(ini.find("edSender_Text=Anna M\xfcller\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("[TInviteForm.edText_Lines]\r\nCount=2\r\nItem0=Hallo\r\nItem1=bis bald\r\n"),
              std::string::npos)
        << ini;
    EXPECT_NE(ini.find("edUrl_Text=http://ftp.example.org/alben\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("[TInviteForm.lbAddresses_Items]\r\nCount=1\r\nItem0=bernd@example.net\r\n"),
              std::string::npos);

    // The next show restores them.
    form_.edSender->clear();
    form_.Prepare("Urlaub 2003", "strand.jpg");
    EXPECT_EQ(form_.edSender->text(), QStringLiteral("Anna M\u00fcller"));
    EXPECT_EQ(form_.lbAddresses->count(), 1);
}

TEST_F(InviteFormTest, ChecksBeforeSending) {
    form_.btnSend->click();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].rfind(Utf8ToAnsi("Bitte tragen Sie auf der Seite ''Empfänger''"), 0), 0u);
    EXPECT_EQ(form_.edUrl->text(), QStringLiteral("http://ftp.example.org/alben")) << "nothing was prepared";
}

TEST_F(InviteFormTest, TestInvitationAndCancelAgainstAServer) {
    PythonHttpServer server;
    ASSERT_TRUE(server.Started());
    form_.edServiceHost->setText(QString::fromStdString(server.Host()));

    form_.btnTest->click();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].rfind("Die Testeinladung wurde an anna@example.org verschickt.", 0), 0u);
    EXPECT_EQ(form_.edUrl->text(), QStringLiteral("http://ftp.example.org/alben/"));
    EXPECT_NE(server.NextRequest().path.find("recipient=anna@example.org&"), std::string::npos);

    for (const char* address : {"eins@example.org", "zwei@example.org", "drei@example.org"})
        form_.lbAddresses->addItem(QString::fromLatin1(address));
    bool disabledDuringRun = false;
    QTimer::singleShot(0, &form_, [&] {
        disabledDuringRun = !form_.isEnabled() && form_.StatusForm().isVisible();
        EXPECT_TRUE(form_.StatusForm().btnCancel->isEnabled());
        QTest::mouseClick(form_.StatusForm().btnCancel, Qt::LeftButton);
    });
    form_.btnSend->click();
    EXPECT_TRUE(disabledDuringRun);
    EXPECT_NE(server.NextRequest().path.find("recipient=eins@example.org&"), std::string::npos);
    EXPECT_TRUE(server.NoMoreRequests()) << "the run went on after the current card";
    EXPECT_EQ(prompts_.messages.size(), 1u) << "no success message after Abbrechen";
    EXPECT_FALSE(form_.StatusForm().isVisible());
    EXPECT_TRUE(form_.isEnabled());

    // Without Abbrechen all three go out and the bar counted them.
    form_.btnSend->click();
    for (const char* address : {"eins", "zwei", "drei"})
        EXPECT_NE(server.NextRequest().path.find(std::string("recipient=") + address + "@"),
                  std::string::npos);
    EXPECT_EQ(prompts_.messages.back(), "Einladungen verschickt!");
    EXPECT_EQ(form_.StatusForm().pbProgress->value(), 2);
    EXPECT_EQ(form_.StatusForm().pbProgress->maximum(), 3);
}

// The main window's "Einladungen verschicken..." for the first selected picture of the open album.
TEST(InviteAction, SendsForTheFirstSelectedPictureOfTheOpenAlbum) {
    namespace fs = std::filesystem;
    PythonHttpServer server;
    ASSERT_TRUE(server.Started());
    TempDir dir;
    ScriptedPrompts prompts;
    fs::create_directories(dir / "styles" / "Klassisch");
    for (const char* name : {"p0.jpg", "p1.jpg", "p2.jpg"}) {
        fs::create_directories(dir / "galleries" / "Urlaub_2003" / "thumbs");
        QImage thumb(120, 90, QImage::Format_RGB32);
        thumb.fill(Qt::darkGreen);
        thumb.save(QString::fromStdString((dir / "galleries" / "Urlaub_2003" / "thumbs" / name).string()),
                   "JPG");
    }
    WriteBytes(dir / "vistrel.ini", "[TSettingsForm]\r\nedEmail_Text=anna@example.org\r\n[TInviteForm]\r\n"
                                    "edUrl_Text=http://www.example.org/\r\nServiceHost_Text=" +
                                        server.Host() + "\r\n");
    TMainWindow window(dir.path(), &prompts);
    window.resize(900, 600);
    window.show();
    window.StartUp(false);
    ASSERT_TRUE(window.Grid()->waitForThumbnails(10000));
    EXPECT_FALSE(window.Action("actInvite")->isEnabled());
    QTest::mouseClick(window.Grid()->tile(2), Qt::LeftButton, {}, QPoint(64, 80));
    QTest::mouseClick(window.Grid()->tile(1), Qt::LeftButton, Qt::ControlModifier, QPoint(64, 80));
    ASSERT_TRUE(window.Action("actInvite")->isEnabled());

    bool shown = false;
    QTimer::singleShot(0, &window, [&] {
        TInviteForm* form = window.InviteForm();
        shown = form->isVisible();
        form->btnTest->click();
        form->btnClose->click();
    });
    window.Action("actInvite")->trigger();
    EXPECT_TRUE(shown);
    std::string path = server.NextRequest().path;
    EXPECT_NE(path.find("&imagepath=p1.jpg&"), std::string::npos)
        << "the first selected in grid order" << path;
    EXPECT_NE(path.find("postcardurl=http%3a%2f%2fwww.example.org%2fUrlaub_2003%2fpostcard.htm&"),
              std::string::npos)
        << path;
}

} // namespace
