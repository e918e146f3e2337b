#include "album_library/ui/import_actions.h"
#include "album_library/ui/status_form.h"
#include "album_library/ui/thumb_frame.h"
#include "album_library/ui/thumb_grid.h"
#include "app/main_window.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/ui/image_editor.h"
#include "support/test_support.h"

#include <QAction>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
namespace fs = std::filesystem;

namespace {

void WriteJpeg(const fs::path& file, int width, int height, TColor color) {
    TJpegGraphic jpeg;
    jpeg.NewImage(width, height, ifRgb24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            jpeg.WritePixel(x, y, x < width / 2 ? color : 0xFFFFFF);
    jpeg.WriteToFile(file);
}

struct EditPictureTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<TMainWindow> window;
    fs::path album = dir / "galleries" / "Sommer";
    QByteArray home = qgetenv("HOME");

    void SetUp() override {
        // The editor keeps its placement in the user's configuration folder: here a folder of the test.
        qputenv("HOME", QByteArray::fromStdString(dir.path().string()));
        fs::create_directories(dir / "styles" / "Klassisch");
        fs::create_directories(album / "images");
        fs::create_directories(album / "thumbs");
        for (int i = 0; i < 3; ++i) {
            std::string name = "p" + std::to_string(i) + ".jpg";
            WriteJpeg(album / "images" / name, 160, 120, 0x2040C0);
            WriteJpeg(album / "thumbs" / name, 120, 90, 0x2040C0);
        }
        window = std::make_unique<TMainWindow>(dir.path(), &prompts);
        window->resize(900, 600);
        window->show();
        window->StartUp(false);
        ASSERT_TRUE(window->Grid()->waitForThumbnails(10000));
    }
    void TearDown() override {
        window.reset();
        qputenv("HOME", home);
    }

    // The editor runs modally: `steps` drive it from inside its own event loop.
    void WhenEditorShows(std::function<void(TImageEditor*)> steps) {
        QTimer::singleShot(0, window.get(), [this, steps] {
            TImageEditor* editor = window->ImageEditor();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
            steps(editor);
        });
    }
};

TEST_F(EditPictureTest, DoubleClickEditsAndAcceptWritesPictureAndThumbnail) {
    std::string untouched = ReadBytes(album / "images" / "p1.jpg");
    bool shown = false;
    WhenEditorShows([&](TImageEditor* editor) {
        shown = true;
        EXPECT_EQ(editor->Panels[0]->text(), QStringLiteral("p0.jpg"));
        QTest::keyClick(editor, Qt::Key_R, Qt::ControlModifier);
        QTest::keyClick(editor, Qt::Key_R, Qt::ControlModifier);
        QTest::keyClick(editor, Qt::Key_Backspace, Qt::AltModifier);
        editor->Action(QStringLiteral("actExit"))->trigger();
    });
    QTest::mouseDClick(window->Grid()->tile(0), Qt::LeftButton, {}, QPoint(64, 80));
    ASSERT_TRUE(shown);

    TJpegGraphic picture, thumb;
    picture.ReadFromFile(album / "images" / "p0.jpg");
    thumb.ReadFromFile(album / "thumbs" / "p0.jpg");
    EXPECT_EQ(picture.Width(), 120);
    EXPECT_EQ(picture.Height(), 160);
    EXPECT_EQ(thumb.Width(), 90);
    EXPECT_EQ(thumb.Height(), 120);
    // The colour half of the picture is on top now.
    EXPECT_NE(picture.ReadPixel(60, 10), 0xFFFFFFu);
    EXPECT_EQ(window->Grid()->tile(0)->thumbnail().size(), QSize(90, 120)) << "the tile shows it at once";
    EXPECT_EQ(ReadBytes(album / "images" / "p1.jpg"), untouched);
    TStatusForm* status = window->findChild<TImportActions*>()->StatusForm();
    EXPECT_EQ(status->lbVorgang->text(), QStringLiteral("Bild speichern"));
    EXPECT_FALSE(status->isVisible());
    EXPECT_TRUE(window->ImageEditor()->CurrentPicture().IsEmpty()) << "emptied after the write-back";
}

TEST_F(EditPictureTest, TheActionEditsTheFirstSelectedAndCancelWritesNothing) {
    std::string before = ReadBytes(album / "images" / "p1.jpg");
    QTest::mouseClick(window->Grid()->tile(1), Qt::LeftButton, {}, QPoint(64, 80));
    QTest::mouseClick(window->Grid()->tile(2), Qt::LeftButton, Qt::ControlModifier, QPoint(64, 80));
    ASSERT_TRUE(window->Action(QStringLiteral("actImageEdit"))->isEnabled());
    QString edited;
    WhenEditorShows([&](TImageEditor* editor) {
        edited = editor->Panels[0]->text();
        editor->ApplyChange(TEditAction::actBlackWhite);
        prompts.answers = {Answer::Yes};
        QTest::keyClick(editor, Qt::Key_Escape);
    });
    window->Action(QStringLiteral("actImageEdit"))->trigger();
    EXPECT_EQ(edited, QStringLiteral("p1.jpg"));
    EXPECT_EQ(prompts.questions, std::vector<std::string>{"Alle \xC4nderungen verwerfen?"});
    EXPECT_EQ(ReadBytes(album / "images" / "p1.jpg"), before);
    EXPECT_EQ(window->Grid()->selection().Selected(), (std::vector<int>{1, 2})) << "the selection stays";
}

} // namespace
