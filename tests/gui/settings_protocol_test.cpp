// The protocol choice on the settings page "Veröffentlichen": which fields show, the usual port of
// each protocol, and that both settings reach the file under their stored names.
#include "settings/program_settings.h"
#include "settings/ui/settings_form.h"
#include "support/temp_program_folder.h"
#include "support/test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::TempProgramFolder;

namespace {

struct SettingsProtocolTest : ::testing::Test, TempProgramFolder {
    std::unique_ptr<TSettingsForm> form;

    void Open() {
        form = std::make_unique<TSettingsForm>(settings, prompts);
        form->PageControl->setCurrentIndex(static_cast<int>(TSettingsPage::Publish));
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    // A click as the button takes it; the publish page may reach beyond the offscreen window.
    void Choose(int protocol) { form->rgProtocol->Item(protocol)->click(); }
};

TEST_F(SettingsProtocolTest, SftpShowsTheKeyFieldAndHidesTheTlsBoxes) {
    Open();
    EXPECT_TRUE(form->cbUseTLS->isVisible());
    EXPECT_FALSE(form->edSSHKeyFile->isVisible());
    Choose(1);
    EXPECT_FALSE(form->cbUseTLS->isVisible());
    EXPECT_FALSE(form->cbRequireTLS->isVisible());
    EXPECT_TRUE(form->edSSHKeyFile->isVisible());
    EXPECT_EQ(settings.rgProtocol, 1);
    Choose(0);
    EXPECT_TRUE(form->cbUseTLS->isVisible());
    EXPECT_FALSE(form->edSSHKeyFile->isVisible());
}

TEST_F(SettingsProtocolTest, UsualPortFollowsTheProtocolButNotAChosenOne) {
    settings.edFTPPort = "21";
    Open();
    Choose(1);
    EXPECT_EQ(form->edFTPPort->text(), QStringLiteral("22"));
    Choose(0);
    EXPECT_EQ(form->edFTPPort->text(), QStringLiteral("21"));
    form->edFTPPort->setText(QStringLiteral("2222"));
    Choose(1);
    EXPECT_EQ(form->edFTPPort->text(), QStringLiteral("2222"));
    EXPECT_EQ(settings.edFTPPort, "2222");
}

TEST_F(SettingsProtocolTest, StoredUnderTheirNames) {
    Open();
    Choose(1);
    form->edSSHKeyFile->setText(QStringLiteral("/home/ich/.ssh/id_ed25519"));
    QTest::mouseClick(form->btnOk, Qt::LeftButton);
    const std::string file = ReadBytes(folders.SettingsFile());
    EXPECT_NE(file.find("rgProtocol_ItemIndex=1"), std::string::npos) << file;
    EXPECT_NE(file.find("edSSHKeyFile_Text=/home/ich/.ssh/id_ed25519"), std::string::npos) << file;
    TProgramSettings stored(folders, prompts);
    stored.Load();
    EXPECT_EQ(stored.rgProtocol, 1);
    EXPECT_EQ(stored.edSSHKeyFile, "/home/ich/.ssh/id_ed25519");
}

} // namespace
