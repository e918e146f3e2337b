#include "app/main_window.h"
#include "settings/program_settings.h"
#include "settings/ui/settings_form.h"
#include "support/temp_program_folder.h"
#include "support/test_support.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::TempProgramFolder;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

struct SettingsFormTest : ::testing::Test, TempProgramFolder {
    std::unique_ptr<TSettingsForm> form;

    // The dialog as the main window shows it, active so that focus moves and leaves fields.
    void Open(int page = -1) {
        if (!form) form = std::make_unique<TSettingsForm>(settings, prompts);
        if (page >= 0) form->PageControl->setCurrentIndex(page);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // The settings as a fresh start of the program would find them in the file.
    TProgramSettings Reloaded() {
        TProgramSettings stored(folders, prompts);
        stored.Load();
        return stored;
    }

    std::string File() { return fs::exists(folders.SettingsFile()) ? ReadBytes(folders.SettingsFile()) : ""; }
};

constexpr int kImportPage = static_cast<int>(TSettingsPage::ImageImport);
constexpr int kPublishPage = static_cast<int>(TSettingsPage::Publish);
constexpr int kOtherPage = static_cast<int>(TSettingsPage::Other);

} // namespace

TEST_F(SettingsFormTest, LeavingTheThumbnailCountRepairsItsText) {
    Open(kOtherPage);
    struct Case {
        const char* typed;
        const char* after;
    };
    for (Case c : {Case{"0", "1"}, Case{"-3", "1"}, Case{"abc", "1"}, Case{"", "1"}, Case{"7", "7"}}) {
        SCOPED_TRACE(c.typed);
        form->edNoOfThumbs->setFocus();
        form->edNoOfThumbs->setText(QString::fromLatin1(c.typed));
        EXPECT_EQ(settings.edNoOfThumbs, c.typed); // the model follows every change
        form->rgOverwriteFiles->Item(0)->setFocus();
        EXPECT_EQ(form->edNoOfThumbs->text(), QString::fromLatin1(c.after));
        EXPECT_EQ(settings.edNoOfThumbs, c.after);
    }
}

TEST_F(SettingsFormTest, ThumbnailCountIsRepairedBeforeOkByTheReturnKey) {
    Open(kOtherPage);
    ASSERT_EQ(QApplication::focusWidget(), form->edNoOfThumbs);
    form->edNoOfThumbs->setText("0");
    QTest::keyClick(form->edNoOfThumbs, Qt::Key_Return);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(Reloaded().edNoOfThumbs, "1");
}

TEST_F(SettingsFormTest, GammaFieldEnablesApplyByClickNotByTyping) {
    Open(kImportPage);
    EXPECT_FALSE(form->btnApply->isEnabled());
    form->edGamma->setFocus();
    form->edGamma->selectAll();
    QTest::keyClicks(form->edGamma, "2,2");
    EXPECT_EQ(settings.edGamma, "2,2");
    EXPECT_FALSE(form->btnApply->isEnabled());
    QTest::mouseClick(form->edGamma, Qt::LeftButton);
    EXPECT_TRUE(form->btnApply->isEnabled());

    // Any other text field enables it as its text changes.
    form->btnApply->click();
    EXPECT_FALSE(form->btnApply->isEnabled());
    QTest::keyClicks(form->edMaxWidth, "0");
    EXPECT_EQ(settings.edMaxWidth, "5000");
    EXPECT_TRUE(form->btnApply->isEnabled());
}

TEST_F(SettingsFormTest, InvitationAndServerCheckSwitchesLeaveApplyDisabledButOkSavesThem) {
    Open(kOtherPage);
    QTest::mouseClick(form->cbAllowInvitations, Qt::LeftButton, {},
                      QPoint(5, form->cbAllowInvitations->height() / 2));
    EXPECT_FALSE(settings.cbAllowInvitations);
    form->PageControl->setCurrentIndex(kPublishPage);
    form->cbCheckServer->click();
    EXPECT_FALSE(settings.cbCheckServer);
    EXPECT_FALSE(form->btnApply->isEnabled());

    form->btnOk->click();
    EXPECT_FALSE(form->isVisible());
    TProgramSettings stored = Reloaded();
    EXPECT_FALSE(stored.cbAllowInvitations);
    EXPECT_FALSE(stored.cbCheckServer);

    // Every other check box, radio button and choice does enable it.
    Open(kImportPage);
    form->cbDontEnlarge->click();
    EXPECT_TRUE(form->btnApply->isEnabled());
    form->btnApply->click();
    form->rgQuality->Item(2)->click();
    EXPECT_EQ(settings.rgQuality, 2);
    EXPECT_TRUE(form->btnApply->isEnabled());
}

TEST_F(SettingsFormTest, CancelAfterApplyKeepsWhatWasAppliedOnly) {
    Open();
    QTest::keyClicks(form->edSiteTitle, "Urlaub");
    form->btnApply->click();
    EXPECT_FALSE(form->btnApply->isEnabled());
    QTest::keyClicks(form->edSiteTitle, " 2003");
    form->PageControl->setCurrentIndex(kImportPage);
    form->cbAutoSize->click();
    EXPECT_EQ(settings.edSiteTitle, "Urlaub 2003"); // in effect before any save
    EXPECT_FALSE(settings.cbAutoSize);

    form->btnCancel->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(settings.edSiteTitle, "Urlaub");
    EXPECT_TRUE(settings.cbAutoSize);
    EXPECT_EQ(Reloaded().edSiteTitle, "Urlaub");
}

TEST_F(SettingsFormTest, EscapeRevertsLikeCancel) {
    WriteBytes(folders.SettingsFile(), "[TSettingsForm]\r\ncpUseFTP_Checked=False\r\n");
    settings.Load();
    Open(kPublishPage);
    EXPECT_FALSE(form->cpUseFTP->isChecked());
    form->cpUseFTP->click();
    EXPECT_TRUE(settings.cpUseFTP);
    QTest::keyClick(form->edFTPServer, Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(settings.cpUseFTP);
    // The lone radio button shows the re-read state, although Qt will not uncheck it by a click.
    Open();
    EXPECT_FALSE(form->cpUseFTP->isChecked());
}

TEST_F(SettingsFormTest, CloseBoxNeitherSavesNorReverts) {
    Open();
    QTest::keyClicks(form->edEmail, "a@b.de");
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(settings.edEmail, "a@b.de");
    EXPECT_EQ(File().find("a@b.de"), std::string::npos);
}

TEST_F(SettingsFormTest, OkStaysOpenWhenTheFileCannotBeWritten) {
    fs::create_directories(folders.SettingsFile()); // a folder where the file belongs cannot be replaced
    Open();
    QTest::keyClicks(form->edSiteTitle, "Titel");
    form->btnOk->click();
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0],
              "In " + folders.SettingsFile().string() + " kann nicht geschrieben werden");
    form->btnApply->click();
    EXPECT_TRUE(form->btnApply->isEnabled()); // nothing was applied
    EXPECT_EQ(settings.edSiteTitle, "Titel");
}

TEST_F(SettingsFormTest, LoadReplacesTheImprintLines) {
    settings.edImpressum = {"alt 1", "alt 2", "alt 3"};
    fs::path text = dir / "impressum.txt";
    WriteBytes(text, "Fotos: Gr\xFC\xDF"
                     "e\r\n\r\nBerlin\r\n");
    Open();
    EXPECT_EQ(form->edImpressum->toPlainText(), "alt 1\nalt 2\nalt 3");
    form->SetFileChooser([&](QWidget*) { return QString::fromStdString(text.string()); });
    form->btnLoadImpressum->click();
    EXPECT_EQ(form->edImpressum->toPlainText(), QStringLiteral("Fotos: Gr\u00fc\u00dfe\n\nBerlin"));
    EXPECT_EQ(settings.edImpressum, (std::vector<std::string>{"Fotos: Gr\xFC\xDF"
                                                              "e",
                                                              "", "Berlin"}));
    EXPECT_TRUE(form->btnApply->isEnabled());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(SettingsFormTest, UnreadableFileKeepsTheFieldAndShowsTheError) {
    settings.edIndexText1 = {"bleibt"};
    Open(static_cast<int>(TSettingsPage::MainPage));
    form->SetFileChooser([&](QWidget*) { return QString::fromStdString((dir / "fehlt.txt").string()); });
    form->btnLoadIndexText1->click();
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(form->edIndexText1->toPlainText(), "bleibt");
    EXPECT_EQ(settings.edIndexText1, std::vector<std::string>{"bleibt"});
    EXPECT_FALSE(form->btnApply->isEnabled());

    // Cancelling the file dialog changes nothing and says nothing.
    form->SetFileChooser([](QWidget*) { return QString(); });
    form->btnLoadIndexText2->click();
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_FALSE(form->btnApply->isEnabled());
}

TEST_F(SettingsFormTest, LinesAndTextKeepTheirCharactersThroughTheFields) {
    settings.edIndexText2 = {"erste", "", "dritte", ""};
    settings.edSiteTitle = "Gr\xFC\xDF"
                           "e &#321;\xF3"
                           "d\xBC";
    Open();
    EXPECT_EQ(form->edSiteTitle->text(), QStringLiteral("Gr\u00fc\u00dfe \u0141\u00f3d\u00bc"));
    form->edSiteTitle->insert(QStringLiteral("\u017a!")); // as an input method types it
    EXPECT_EQ(settings.edSiteTitle, "Gr\xFC\xDF"
                                    "e &#321;\xF3"
                                    "d\xBC&#378;!");
    form->PageControl->setCurrentIndex(static_cast<int>(TSettingsPage::MainPage));
    QTest::keyClicks(form->edIndexText2, "x");
    EXPECT_EQ(settings.edIndexText2, (std::vector<std::string>{"xerste", "", "dritte", ""}));
}

TEST_F(SettingsFormTest, FocusAndPageFollowTheVisiblePage) {
    Open();
    EXPECT_EQ(form->PageControl->currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), form->edImpressum);
    QWidget* first[] = {form->edImpressum, form->edIndexText1, form->cbAutoSize, form->edFTPServer,
                        form->edNoOfThumbs};
    for (int page = 4; page >= 0; --page) {
        form->PageControl->setCurrentIndex(page);
        EXPECT_EQ(QApplication::focusWidget(), first[page]) << page;
    }
    form->PageControl->setCurrentIndex(kPublishPage);
    form->btnOk->click();
    Open();
    EXPECT_EQ(form->PageControl->currentIndex(), kPublishPage);
    EXPECT_EQ(QApplication::focusWidget(), form->edFTPServer);
    EXPECT_FALSE(form->btnApply->isEnabled());
}

TEST_F(SettingsFormTest, F1OpensHelpForTheVisiblePage) {
    std::vector<int> contexts;
    Open();
    form->SetHelpHandler([&](int context) { contexts.push_back(context); });
    for (int page = 0; page < 5; ++page) {
        form->PageControl->setCurrentIndex(page);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    }
    EXPECT_EQ(contexts, (std::vector<int>{800, 900, 700, 1100, 1000}));
}

TEST_F(SettingsFormTest, PasswordShowsStarsAndIsStoredScrambled) {
    Open(kPublishPage);
    QTest::keyClicks(form->edFTPPassword, "geheim");
    EXPECT_EQ(form->edFTPPassword->displayText(), "******");
    form->btnOk->click();
    EXPECT_EQ(File().find("geheim"), std::string::npos);
    EXPECT_EQ(Reloaded().edFTPPassword, "geheim");
}

TEST_F(SettingsFormTest, PositionIsSavedAndRestoredWithTheSettings) {
    Open();
    form->move(137, 91);
    QPoint saved = form->geometry().topLeft();
    form->btnOk->click();

    TProgramSettings stored(folders, prompts);
    stored.screen = settings.screen;
    stored.Load();
    TSettingsForm second(stored, prompts);
    second.show();
    EXPECT_EQ(second.geometry().topLeft(), saved);
}

// Every described setting has its control on its own page, and that control edits the setting.
TEST_F(SettingsFormTest, EverySettingIsBoundToAControlOnItsPage) {
    Open();
    for (const TSettingDescription& setting : SettingDescriptions()) {
        SCOPED_TRACE(setting.name);
        auto* control = form->findChild<QWidget*>(QString::fromLatin1(setting.name));
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(form->PageControl->widget(static_cast<int>(setting.page))->isAncestorOf(control));
        form->PageControl->setCurrentIndex(static_cast<int>(setting.page));
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            edit->setText(QStringLiteral("4711"));
            EXPECT_EQ(settings.*std::get<std::string TProgramSettings::*>(setting.member), "4711");
        } else if (auto* memo = qobject_cast<QPlainTextEdit*>(control)) {
            memo->setPlainText(QStringLiteral("a\nb"));
            EXPECT_EQ(settings.*std::get<std::vector<std::string> TProgramSettings::*>(setting.member),
                      (std::vector<std::string>{"a", "b"}));
        } else if (auto* group = qobject_cast<TRadioGroup*>(control)) {
            group->Item(0)->click();
            EXPECT_EQ(settings.*std::get<int TProgramSettings::*>(setting.member), 0);
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            // A switch that another one turned off ("Nur verschlüsselt") takes no clicks.
            if (!button->isEnabled()) continue;
            bool& flag = settings.*std::get<bool TProgramSettings::*>(setting.member);
            flag = !button->isChecked();
            button->click();
            EXPECT_EQ(flag, button->isChecked());
        } else {
            ADD_FAILURE() << "no kind of control the dialog binds";
        }
    }
}

TEST(SettingsFormWiring, MainWindowOpensTheDialogModally) {
    TempDir dir;
    ScriptedPrompts prompts;
    fs::create_directories(dir / "styles" / "Klassisch");
    TMainWindow window(dir.path(), &prompts);
    window.show();
    window.StartUp(false);
    QString caption;
    bool modal = false;
    QTimer::singleShot(0, &window, [&] {
        auto* form = qobject_cast<TSettingsForm*>(QApplication::activeModalWidget());
        if (!form) return;
        caption = form->windowTitle();
        modal = form->isModal();
        form->btnCancel->click();
    });
    window.Action("actSettings")->trigger();
    EXPECT_EQ(caption, "Einstellungen");
    EXPECT_TRUE(modal);
}
