#include "program/program_context.h"
#include "publishing/ui/ftp_windows.h"
#include "publishing/ui/publish_form.h"
#include "support/test_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

TEST(PublishForm, ShowsThePlanAndAsksForSettingsWithoutAHost) {
    TempDir dir;
    WriteBytes(dir / "galleries" / "info.txt", "Urlaub\t\t\t\tUrlaub\ttrue\r\n");
    WriteBytes(dir / "galleries" / "Urlaub" / "images" / "a.jpg", "12345");
    ScriptedPrompts prompts;
    TProgramContext context(dir.path(), prompts);
    context.Start();
    std::string typedPassword;
    TftpProtoForm protocol;
    protocol.AddLine("line of an earlier run");
    int settingsShown = 0;
    TPublishForm form(context, typedPassword, protocol, [&] { ++settingsShown; });
    form.Prepare(BuildUploadPlan(context.albums));

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Fotoalbum ver\u00f6ffentlichen"));
    EXPECT_EQ(form.btnTransmit->text(), QStringLiteral("Ver\u00f6ffentlichung starten"));
    EXPECT_TRUE(form.btnTransmit->isDefault());
    EXPECT_EQ(form.lbStatus->text(), QStringLiteral("nicht verbunden"));
    EXPECT_EQ(form.lbTotalFiles->text(), QStringLiteral("0 von 1"))
        << "the album list in the root is the program's own and stays at home";
    ASSERT_EQ(protocol.Memo->count(), 3) << "the protocol starts afresh with the plan's counts";
    EXPECT_EQ(protocol.Memo->item(0)->text(), QStringLiteral("Anzahl der Verzeichnisse: 4"));

    size_t before = prompts.messages.size();
    form.btnTransmit->click();
    ASSERT_EQ(prompts.messages.size(), before + 1);
    EXPECT_NE(prompts.messages.back().find("Einstellungen/Ver"), std::string::npos);
    EXPECT_EQ(settingsShown, 1);
    EXPECT_TRUE(form.btnTransmit->isEnabled());
}

TEST(FtpProtoForm, SavesItsLinesAsWindows1252WithCrLf) {
    TempDir dir;
    TftpProtoForm protocol;
    protocol.AddLine("\xDC"
                     "bertrage  a.jpg");
    protocol.AddLine("Ok");
    ASSERT_TRUE(protocol.SaveTo(QString::fromStdString((dir / "p.txt").string())));
    EXPECT_EQ(vistrel::testing::ReadBytes(dir / "p.txt"), "\xDC"
                                                          "bertrage  a.jpg\r\nOk\r\n");
}
