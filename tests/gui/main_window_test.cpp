#include "album_library/ui/album_tree.h"
#include "album_library/ui/thumb_frame.h"
#include "album_library/ui/thumb_grid.h"
#include "app/main_window.h"
#include "gui/app_font.h"
#include "support/test_support.h"

#include <QAction>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
namespace fs = std::filesystem;

namespace {

void WritePicture(const fs::path& file, int width, int height, QColor color) {
    fs::create_directories(file.parent_path());
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    image.save(QString::fromStdString(file.string()), "JPG", 90);
}

struct MainWindowTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<TMainWindow> window;

    void MakeAlbum(const std::string& name, int pictures) {
        fs::path album = dir / "galleries" / name;
        fs::create_directories(album / "images");
        fs::create_directories(album / "thumbs");
        for (int i = 0; i < pictures; ++i) {
            std::string file = "p" + std::to_string(i) + ".jpg";
            WritePicture(album / "images" / file, 160, 120, QColor::fromHsv(i * 30 % 360, 200, 200));
            WritePicture(album / "thumbs" / file, 120, 90, QColor::fromHsv(i * 30 % 360, 200, 200));
        }
    }

    void Start(int width = 700) {
        fs::create_directories(dir / "styles" / "Klassisch");
        window = std::make_unique<TMainWindow>(dir.path(), &prompts);
        window->resize(width + 240, 600);
        window->show();
        window->StartUp(false);
        ASSERT_TRUE(window->Grid()->waitForThumbnails(10000));
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& p : window->Pictures())
            names.push_back(p.FileName());
        return names;
    }

    void ClickTile(int index, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(window->Grid()->tile(index), Qt::LeftButton, modifiers, QPoint(64, 80));
    }
};

} // namespace

TEST_F(MainWindowTest, GridLayoutFollowsTheWidth) {
    vistrel::testing::TAppFont font(vistrel::testing::TAppFont::Unscaled());
    MakeAlbum("A", 8);
    Start();
    TThumbGrid* grid = window->Grid();
    ASSERT_EQ(grid->scale(), 1.0);
    grid->resize(700 + (grid->width() - grid->viewport()->width()), 400);
    QApplication::processEvents();
    ASSERT_EQ(grid->viewport()->width(), 700);
    EXPECT_EQ(grid->columns(), 4);
    EXPECT_EQ(grid->tile(5)->pos(), QPoint(144, 184));
    grid->resize(160 + (grid->width() - grid->viewport()->width()), 400);
    QApplication::processEvents();
    EXPECT_EQ(grid->columns(), 1);
    EXPECT_EQ(grid->tile(5)->pos(), QPoint(8, 5 * 174 + 10));
}

TEST_F(MainWindowTest, ShiftAndCtrlClicks) {
    MakeAlbum("A", 10);
    Start();
    ClickTile(2);
    ClickTile(7, Qt::ShiftModifier);
    EXPECT_EQ(window->Grid()->selection().Selected(), (std::vector<int>{2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(window->Grid()->tile(4)->isSelected());
    ClickTile(4, Qt::ControlModifier);
    EXPECT_FALSE(window->Grid()->tile(4)->isSelected());
    ClickTile(9, Qt::ControlModifier);
    EXPECT_EQ(window->Grid()->selection().Selected(), (std::vector<int>{2, 3, 5, 6, 7, 9}));
}

TEST_F(MainWindowTest, PageDownOnTheLastRowStaysThere) {
    MakeAlbum("A", 10);
    Start();
    TThumbGrid* grid = window->Grid();
    ClickTile(9);
    QTest::keyClick(grid, Qt::Key_PageDown);
    EXPECT_EQ(grid->selection().Selected(), std::vector<int>{9});
    QTest::keyClick(grid, Qt::Key_Home);
    EXPECT_EQ(grid->selection().Selected(), std::vector<int>{0});
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(grid->selection().Selected(), std::vector<int>{0});
    QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(grid->selection().Selected(), (std::vector<int>{0, 1}));
}

TEST_F(MainWindowTest, DraggingPicturesReorders) {
    MakeAlbum("A", 7);
    Start();
    window->MovePicture(2, 5);
    EXPECT_EQ(Names(), (std::vector<std::string>{"p0.jpg", "p1.jpg", "p3.jpg", "p4.jpg", "p5.jpg", "p2.jpg",
                                                 "p6.jpg"}));
    EXPECT_EQ(window->Grid()->tile(5)->topCaption(), QStringLiteral("p2.jpg"));
    EXPECT_EQ(window->Grid()->tile(5)->objectName(), QStringLiteral("Thumb5"));
    window->MovePicture(5, 2);
    window->MovePicture(5, 2);
    EXPECT_EQ(Names(), (std::vector<std::string>{"p0.jpg", "p1.jpg", "p5.jpg", "p2.jpg", "p3.jpg", "p4.jpg",
                                                 "p6.jpg"}));
}

TEST_F(MainWindowTest, ReselectingTheOpenAlbumDoesNotReload) {
    MakeAlbum("A", 3);
    MakeAlbum("B", 1);
    Start();
    ClickTile(1);
    window->SelectAlbumRow(0);
    EXPECT_EQ(window->Grid()->selection().Selected(), std::vector<int>{1}) << "no reload keeps the selection";
    window->Tree()->setCurrentItem(window->Tree()->topLevelItem(1));
    EXPECT_EQ(window->OpenAlbumIndex(), 1);
    EXPECT_EQ(window->Grid()->count(), 1);
}

TEST_F(MainWindowTest, PictureActionsNeedASelection) {
    MakeAlbum("A", 3);
    Start();
    for (const char* name :
         {"actDeleteImage", "actEditInfo", "actCopy", "actCut", "actRotateLeft", "actInvite"})
        EXPECT_FALSE(window->Action(name)->isEnabled()) << name;
    EXPECT_FALSE(window->Action("actPaste")->isEnabled());
    ClickTile(0);
    EXPECT_TRUE(window->Action("actDeleteImage")->isEnabled());
    window->Action("actCopy")->trigger();
    QTest::mouseClick(window->Grid()->viewport(), Qt::LeftButton, {}, QPoint(690, 590));
    EXPECT_FALSE(window->Action("actDeleteImage")->isEnabled());
    EXPECT_TRUE(window->Action("actPaste")->isEnabled())
        << "Einfügen follows the clipboard, not the selection";
}

TEST_F(MainWindowTest, DeleteAsksForNPicturesAndNoKeepsEverything) {
    MakeAlbum("A", 5);
    Start();
    ClickTile(1);
    ClickTile(3, Qt::ShiftModifier);
    prompts.answers = {Answer::No};
    window->actDeleteImageExecute();
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0], "Sollen diese 3 Bilder wirklich gel\xF6scht werden?");
    EXPECT_EQ(window->Pictures().size(), 5u);
    window->actDeleteImageExecute();
    EXPECT_EQ(Names(), (std::vector<std::string>{"p0.jpg", "p4.jpg"}));
    EXPECT_FALSE(fs::exists(dir / "galleries/A/images/p2.jpg"));
    EXPECT_EQ(window->Grid()->tile(1)->objectName(), QStringLiteral("Thumb1"));
}

TEST_F(MainWindowTest, RotateRightThenLeftKeepsTheOrientation) {
    MakeAlbum("A", 1);
    Start();
    ClickTile(0);
    window->actRotateExecute(90);
    QImage turned(QString::fromStdString((dir / "galleries/A/images/p0.jpg").string()));
    EXPECT_EQ(turned.size(), QSize(120, 160));
    QImage thumb(QString::fromStdString((dir / "galleries/A/thumbs/p0.jpg").string()));
    EXPECT_EQ(thumb.size(), QSize(90, 120));
    window->actRotateExecute(-90);
    QImage back(QString::fromStdString((dir / "galleries/A/images/p0.jpg").string()));
    EXPECT_EQ(back.size(), QSize(160, 120));
    EXPECT_TRUE(prompts.messages.empty()) << (prompts.messages.empty() ? "" : prompts.messages[0]);
}

TEST_F(MainWindowTest, CutInAAndPasteIntoB) {
    MakeAlbum("A", 3);
    MakeAlbum("B", 0);
    Start();
    ClickTile(0);
    window->Action("actCut")->trigger();
    window->SelectAlbumRow(1);
    window->actPasteExecute();
    EXPECT_EQ(Names(), std::vector<std::string>{"p0.jpg"});
    EXPECT_EQ(window->Grid()->count(), 1);
    EXPECT_FALSE(window->Action("actPaste")->isEnabled());
    EXPECT_FALSE(fs::exists(dir / "galleries/A/images/p0.jpg"));
    EXPECT_TRUE(fs::exists(dir / "galleries/B/thumbs/p0.jpg"));
}

TEST_F(MainWindowTest, MovingTheFirstAlbumUpChangesNothing) {
    MakeAlbum("A", 1);
    MakeAlbum("B", 2);
    Start();
    window->actAlbumUpExecute();
    EXPECT_EQ(window->Context().albums[0].FolderName, "A");
    window->actAlbumDownExecute();
    EXPECT_EQ(window->Context().albums[1].FolderName, "A");
    EXPECT_EQ(window->Tree()->selectedRow(), 1);
    EXPECT_EQ(window->OpenAlbumIndex(), 1) << "the open album follows its row";
    EXPECT_EQ(window->Grid()->count(), 1);
}

TEST_F(MainWindowTest, ClosingSavesTheAlbumListAndPictureList) {
    MakeAlbum("A", 2);
    Start();
    window->MovePicture(0, 1);
    window->close();
    EXPECT_EQ(vistrel::testing::ReadBytes(dir / "galleries/A/info.txt"), "p1.jpg\r\np0.jpg\r\n");
    EXPECT_EQ(vistrel::testing::ReadBytes(dir / "galleries/info.txt"), "A\t\t\t\tA\tfalse\r\n");
}
