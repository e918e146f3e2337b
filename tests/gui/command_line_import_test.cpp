#include "album_library/ui/thumb_grid.h"
#include "app/application.h"
#include "app/main_window.h"
#include "support/test_support.h"

#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

void WritePicture(const fs::path& file) {
    fs::create_directories(file.parent_path());
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(30, 90, 160));
    image.save(Q(file));
}

struct CommandLineImportTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<TMainWindow> window;

    void Start() {
        fs::create_directories(dir / "styles" / "Atelier");
        window = std::make_unique<TMainWindow>(dir.path(), &prompts);
        window->show();
        window->StartUp(false);
    }
};

} // namespace

TEST(CommandLineFiles, SkipsTheProgramAndMakesPathsAbsolute) {
    QString current = QDir::currentPath();
    QStringList files = CommandLineFiles({QStringLiteral("vistrel"), QStringLiteral("urlaub/a.jpg"),
                                          QString(), QStringLiteral("/fotos/../bilder/b.png"),
                                          QStringLiteral("file:///fotos/Sommer%202024.jpg")});
    EXPECT_EQ(files, QStringList({current + QStringLiteral("/urlaub/a.jpg"), QStringLiteral("/bilder/b.png"),
                                  QStringLiteral("/fotos/Sommer 2024.jpg")}));
    EXPECT_TRUE(CommandLineFiles({QStringLiteral("vistrel")}).isEmpty());
}

TEST_F(CommandLineImportTest, FilesGoIntoTheOpenAlbumLikeADrop) {
    fs::create_directories(dir / "galleries" / "Album" / "images");
    WritePicture(dir / "in" / "a.png");
    WritePicture(dir / "in" / "b.bmp");
    fs::create_directories(dir / "in" / "folder.jpg");
    Start();
    ImportCommandLineFiles(*window,
                           {Q(dir / "in" / "a.png"), Q(dir / "in" / "folder.jpg"), Q(dir / "in" / "b.bmp")});
    ASSERT_EQ(window->Pictures().size(), 2u);
    EXPECT_EQ(window->Grid()->count(), 2);
    EXPECT_TRUE(fs::exists(dir / "galleries" / "Album" / "images" / "a.jpg"));
    EXPECT_TRUE(window->IsReady());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(CommandLineImportTest, WithoutAnAlbumItSaysSoAndImportsNothing) {
    // Start-up gives every album folder a first album; only one that cannot be made stays empty.
    vistrel::testing::WriteBytes(dir / "galleries", "not a folder");
    WritePicture(dir / "in" / "a.png");
    Start();
    prompts.messages.clear();
    ImportCommandLineFiles(*window, {});
    EXPECT_TRUE(prompts.messages.empty());
    ImportCommandLineFiles(*window, {Q(dir / "in" / "a.png")});
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].rfind("Es ist kein Fotoalbum ge\xf6"
                                        "ffnet.",
                                        0),
              0u);
    EXPECT_TRUE(window->IsReady());
}
