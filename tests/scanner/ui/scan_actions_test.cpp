#include "album_library/ui/thumb_grid.h"
#include "app/main_window.h"
#include "sane_config.h"
#include "scanner/ui/scan_actions.h"
#include "scanner/ui/scan_form.h"
#include "scanner/ui/scan_source_form.h"
#include "support/test_support.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::UseNoSaneDevice;
using vistrel::testing::UseSaneTestBackend;
namespace fs = std::filesystem;

namespace {

void WhenShown(QWidget* dialog, std::function<void()> script) {
    auto* poll = new QTimer(dialog);
    QObject::connect(poll, &QTimer::timeout, dialog, [dialog, poll, script] {
        if (!dialog->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        script();
    });
    poll->start(0);
}

struct ScanActionsTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<TMainWindow> window;
    TScanActions* scan = nullptr;
    std::vector<QString> questions;
    std::optional<QString> answer;
    QString statusDuringScan;

    void SetUp() override {
        fs::create_directories(dir / "styles" / "Klassisch");
        fs::create_directories(dir / "galleries" / "Album" / "images");
        window = std::make_unique<TMainWindow>(dir.path(), &prompts);
        window->show();
        window->StartUp(false);
        scan = window->ScanActions();
        ASSERT_NE(scan, nullptr);
        scan->AskFileName = [this]() {
            questions.push_back(QStringLiteral("?"));
            return answer;
        };
    }

    void Trigger(const char* action) { window->findChild<QAction*>(QString::fromLatin1(action))->trigger(); }
    // Presses "Scannen" once the dialog shows, noting the first status panel meanwhile.
    void ScanWhenShown() {
        WhenShown(scan->ScanForm(), [this] {
            statusDuringScan = window->statusBar()->findChildren<QLabel*>().value(0)->text();
            scan->ScanForm()->btnScan->click();
        });
    }
    fs::path Images() const { return dir / "galleries" / "Album" / "images"; }
};

TEST_F(ScanActionsTest, WithoutDeviceBothActionsSayOnlyThatNoneIsFound) {
    UseNoSaneDevice();
    Trigger("actImportTwain");
    Trigger("actTwainSource");
    EXPECT_EQ(prompts.messages, (std::vector<std::string>{"TWAIN Schnittstelle nicht gefunden",
                                                          "TWAIN Schnittstelle nicht gefunden"}));
    EXPECT_TRUE(questions.empty());
}

TEST_F(ScanActionsTest, TheScannedPictureIsImportedUnderTheAnsweredName) {
    UseSaneTestBackend();
    answer = QStringLiteral("scan.JPG");
    ScanWhenShown();
    Trigger("actImportTwain");
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(statusDuringScan, QStringLiteral("TWAIN-Schnittstelle wird aufgerufen..."));
    EXPECT_TRUE(fs::exists(Images() / "scan.jpg"));
    EXPECT_TRUE(fs::exists(dir / "galleries" / "Album" / "thumbs" / "scan.jpg"));
    ASSERT_EQ(window->Pictures().size(), 1u);
    EXPECT_EQ(window->Pictures()[0].FileName(), "scan.jpg");
    EXPECT_TRUE(window->IsReady());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // An empty answer or a cancelled question imports nothing.
    for (std::optional<QString> none : {std::optional(QString()), std::optional<QString>()}) {
        answer = none;
        ScanWhenShown();
        Trigger("actImportTwain");
        EXPECT_EQ(window->Pictures().size(), 1u);
    }
    EXPECT_EQ(questions.size(), 3u);
}

TEST_F(ScanActionsTest, AbbrechenInTheDialogAsksNothingAndTheChosenDeviceIsRemembered) {
    UseSaneTestBackend("number_of_devices 2\n");
    WhenShown(scan->ScanForm(), [this] { scan->ScanForm()->btnCancel->click(); });
    Trigger("actImportTwain");
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(window->Pictures().empty());
    EXPECT_TRUE(window->IsReady());

    WhenShown(scan->SourceForm(), [this] {
        TScanSourceForm* form = scan->SourceForm();
        form->lbSources->setCurrentItem(form->lbSources->topLevelItem(1));
        form->btnSelect->click();
    });
    Trigger("actTwainSource");
    EXPECT_NE(ReadBytes(dir / "vistrel.ini").find("Device=test:1"), std::string::npos);
}

} // namespace
