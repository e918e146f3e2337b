// A crash right after the user's edits loses none of them: a second process of this test program
// makes the edits through the main window, says when it is done and is then killed with SIGKILL;
// what it leaves on disk is read back here.
#include "album_library/ui/album_tree.h"
#include "album_library/ui/info_dialogs.h"
#include "album_library/ui/thumb_frame.h"
#include "album_library/ui/thumb_grid.h"
#include "app/main_window.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItem>
#include <gtest/gtest.h>

#include <cstdio>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr const char* kChildFolder = "VISTREL_CRASH_CHILD_FOLDER";

void WritePicture(const fs::path& file, QColor color) {
    fs::create_directories(file.parent_path());
    QImage image(file.parent_path().filename() == "thumbs" ? 120 : 160, 90, QImage::Format_RGB32);
    image.fill(color);
    image.save(QString::fromStdString(file.string()), "JPG", 90);
}

void MakeAlbum(const fs::path& programFolder, const std::string& name, int pictures) {
    for (int i = 0; i < pictures; ++i) {
        std::string file = "p" + std::to_string(i) + ".jpg";
        for (const char* sub : {"images", "thumbs"})
            WritePicture(programFolder / "galleries" / name / sub / file, QColor::fromHsv(i * 60, 200, 200));
    }
}

// Answers the next modal dialog from inside its own event loop.
template <typename Fill> void AnswerDialog(QDialog* dialog, Fill fill) {
    QTimer::singleShot(0, dialog, [dialog, fill] {
        fill();
        dialog->accept();
    });
}

void ClickTile(TMainWindow& window, int index) {
    QTest::mouseClick(window.Grid()->tile(index), Qt::LeftButton, {}, QPoint(64, 80));
}

} // namespace

// The child's part: runs only when the parent starts this program with the folder to work in.
TEST(CrashChild, EditsThenWaitsToBeKilled) {
    QByteArray folder = qgetenv(kChildFolder);
    if (folder.isEmpty()) GTEST_SKIP() << "started by CrashSafety only";
    ScriptedPrompts prompts;
    TMainWindow window(folder.toStdString(), &prompts);
    window.show();
    window.StartUp(false);
    ASSERT_TRUE(window.Grid()->waitForThumbnails(10000));

    TEditAlbumInfoForm* albumForm = window.EditAlbumInfoForm();
    AnswerDialog(albumForm, [albumForm] {
        albumForm->edGalleryName->setText(QStringLiteral("Sommer am See"));
        albumForm->edGalleryInfo->setText(QStringLiteral("Kurz"));
        albumForm->edGalleryText->setPlainText(QStringLiteral("Zeile 1\nZeile 2"));
    });
    window.actNewGalleryExecute();
    window.Tree()->topLevelItem(1)->setCheckState(0, Qt::Checked);

    window.SelectAlbumRow(0);
    ASSERT_TRUE(window.Grid()->waitForThumbnails(10000));
    ClickTile(window, 1);
    TEditInfoForm* infoForm = window.EditInfoForm();
    AnswerDialog(infoForm, [infoForm] {
        infoForm->Edit1->setText(QStringLiteral("Br\u00fccke"));
        infoForm->Memo1->setPlainText(QStringLiteral("Am Abend"));
    });
    window.actEditInfoExecute();
    window.MovePicture(2, 0); // p2 p0 p1
    ClickTile(window, 1);
    prompts.answers = {Answer::Yes};
    window.actDeleteImageExecute(); // p2 p1
    ClickTile(window, 0);
    window.actUseForGalleryExecute();
    window.MoveAlbumTo(1, 0);

    // The writes wait for the event loop; the parent kills this process once they had their turn.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Autosave().Pending(); }, 5000));
    std::fputs("edited\n", stdout);
    std::fflush(stdout);
    QTest::qWait(60000);
    FAIL() << "was not killed";
}

TEST(CrashSafety, KillAfterEditsLosesNothing) {
    TempDir dir;
    fs::create_directories(dir / "styles" / "Klassisch");
    MakeAlbum(dir.path(), "A", 3);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildFolder), QString::fromStdString(dir.path().string()));
    // The child's own leak report would only be noise: it never gets to end.
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=CrashChild.EditsThenWaitsToBeKilled")});
    ASSERT_TRUE(child.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            child.waitForReadyRead(100);
            return child.state() != QProcess::Running || child.peek(4096).contains("edited\n");
        },
        60000))
        << "the child did not finish its edits in time";
    ASSERT_EQ(child.state(), QProcess::Running) << child.readAllStandardOutput().toStdString();
    child.kill(); // SIGKILL: no clean-up, no exit handlers
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    EXPECT_EQ(ReadBytes(dir / "galleries/info.txt"),
              "Sommer_am_See\tKurz\tZeile 1\x01Zeile 2\t\tSommer am See\ttrue\r\n"
              "A\t\t\tp2.jpg\tA\tfalse\r\n");
    EXPECT_EQ(ReadBytes(dir / "galleries/A/info.txt"), "p2.jpg\r\np1.jpg\tBr\xFC"
                                                       "cke\tAm Abend\r\n");
    EXPECT_FALSE(fs::exists(dir / "galleries/A/images/p0.jpg"));
}
