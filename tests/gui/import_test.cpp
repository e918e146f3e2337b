#include "album_library/ui/import_actions.h"
#include "album_library/ui/status_form.h"
#include "album_library/ui/thumb_grid.h"
#include "app/main_window.h"
#include "support/test_support.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

void WritePicture(const fs::path& file, int width, int height) {
    fs::create_directories(file.parent_path());
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(200, 120, 40));
    image.save(QString::fromStdString(file.string()));
}

struct ImportWindowTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<TMainWindow> window;
    TImportActions* import = nullptr;

    void SetUp() override {
        fs::create_directories(dir / "styles" / "Klassisch");
        fs::create_directories(dir / "galleries" / "Album" / "images");
        window = std::make_unique<TMainWindow>(dir.path(), &prompts);
        window->show();
        window->StartUp(false);
        import = window->ImportActions();
        ASSERT_NE(import, nullptr);
    }

    QString In(const std::string& name) const { return QString::fromStdString((dir / "in" / name).string()); }
    fs::path Images() const { return dir / "galleries" / "Album" / "images"; }
};

} // namespace

TEST_F(ImportWindowTest, FileDialogImportAddsTilesAndUnlocks) {
    WritePicture(dir / "in" / "b.png", 160, 120);
    WritePicture(dir / "in" / "A.bmp", 120, 160);
    import->ImportFiles({In("b.png"), In("A.bmp")});
    ASSERT_EQ(window->Pictures().size(), 2u);
    EXPECT_EQ(window->Pictures()[0].FileName(), "A.jpg");
    EXPECT_EQ(window->Grid()->count(), 2);
    EXPECT_TRUE(window->IsReady());
    EXPECT_TRUE(window->Action("actImport")->isEnabled());
    EXPECT_FALSE(import->StatusForm()->isVisible());
    EXPECT_TRUE(prompts.messages.empty());

    // The same name again with overwriting: the entry keeps its place, no second tile.
    window->Context().settings.rgOverwriteFiles = 0;
    import->ImportFiles({In("b.png")});
    EXPECT_EQ(window->Grid()->count(), 2);
}

TEST_F(ImportWindowTest, BadFileIsNamedInOneSummaryAndTheRestImported) {
    WriteBytes(dir / "in" / "a.png", "kaputt");
    WritePicture(dir / "in" / "b.png", 40, 30);
    WriteBytes(dir / "in" / "c.png", "");
    WritePicture(dir / "in" / "d.png", 40, 30);
    import->ImportFiles({In("d.png"), In("c.png"), In("b.png"), In("a.png")});
    EXPECT_EQ(window->Grid()->count(), 2);
    ASSERT_EQ(prompts.messages.size(), 1u);
    // In German, naming each file; the readers' English detail only under "Details:".
    EXPECT_EQ(prompts.messages[0].rfind("Von 4 Dateien wurden 2 importiert.\r\n\r\nNicht importiert:\r\n"
                                        "- \"a.png\": Die Datei ist kein Bild in einem bekannten Format.\r\n"
                                        "- \"c.png\": Die Datei ist leer.\r\n\r\nDetails:\r\na.png: ",
                                        0),
              0u)
        << prompts.messages[0];
    EXPECT_TRUE(window->IsReady());
    EXPECT_FALSE(import->StatusForm()->isVisible());
}

TEST_F(ImportWindowTest, FolderWithoutPicturesAndDrop) {
    WriteBytes(dir / "in" / "notes.txt", "x");
    import->ImportFolder(In(""));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], NoPicturesMessage());

    WritePicture(dir / "in" / "c.jpg", 40, 30);
    fs::create_directories(dir / "in" / "sub.jpg");
    Q_EMIT window->Grid()->filesDropped({In("notes.txt"), In("sub.jpg"), In("c.jpg")});
    EXPECT_EQ(window->Grid()->count(), 1);
    EXPECT_TRUE(fs::exists(Images() / "c.jpg"));
}

TEST_F(ImportWindowTest, AbbrechenDuringThirdOfTenFiles) {
    for (int i = 0; i < 10; ++i)
        WritePicture(dir / "in" / ("p" + std::to_string(i) + ".png"), 40, 30);
    TStatusForm* form = import->StatusForm();
    bool lockedMeanwhile = false;
    // Runs whenever the import lets pending events through, as a user's click would arrive.
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (!form->isVisible()) return;
        lockedMeanwhile =
            lockedMeanwhile || (!window->IsReady() && !window->Action("actImport")->isEnabled());
        if (form->lbCount->text() == QStringLiteral("3 von 10")) form->btnCancel->click();
    });
    clicker.start(0);
    import->ImportFolder(In(""));
    EXPECT_TRUE(lockedMeanwhile);
    EXPECT_EQ(window->Pictures().size(), 3u);
    EXPECT_EQ(window->Grid()->count(), 3);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Bilder werden importiert"));
    EXPECT_TRUE(window->IsReady());
}

TEST(ImportFilters, RowsAndTheirPatterns) {
    QStringList rows = ImportFileFilters();
    ASSERT_EQ(rows.size(), 8);
    EXPECT_TRUE(rows[0].startsWith(
        QStringLiteral("Alle (*.png;*.jpeg;*.jpg;*.tiff;*.tif;*.gif;*.bmp;) (*.png *.jpeg")));
    EXPECT_TRUE(rows[0].contains(QStringLiteral("*.wmf")));
    EXPECT_EQ(rows[7], QStringLiteral("Bitmaps (*.bmp) (*.bmp *.BMP)"));
}
