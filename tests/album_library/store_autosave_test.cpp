#include "album_library/store_autosave.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
namespace fs = std::filesystem;

namespace {

struct AutosaveTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    TAlbumList albums{dir / "galleries", prompts};
    TPictureList pictures{TPictureEntry::WithFileName("a.jpg"), TPictureEntry::WithFileName("b.jpg")};
    TStoreAutosave autosave{albums};

    void SetUp() override {
        fs::create_directories(dir / "galleries" / "A");
        fs::create_directories(dir / "galleries" / "B");
        albums.LoadAlbumList();
        autosave.SetOpenPictures(0, &pictures);
    }

    bool RunUntilSaved(int limitMs = 5000) {
        QElapsedTimer timer;
        timer.start();
        while (autosave.Pending() && timer.elapsed() < limitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return !autosave.Pending();
    }
};

} // namespace

TEST_F(AutosaveTest, ChangesReachTheFilesOnTheNextTurnOfTheEventLoop) {
    albums[1].Published = true;
    autosave.AlbumsChanged();
    pictures[1].SetTitle("Zweites");
    autosave.PicturesChanged();
    EXPECT_FALSE(fs::exists(dir / "galleries" / "info.txt")) << "nothing is written inside the handler";
    ASSERT_TRUE(RunUntilSaved());
    EXPECT_EQ(ReadBytes(dir / "galleries" / "info.txt"), "A\t\t\t\tA\tfalse\r\nB\t\t\t\tB\ttrue\r\n");
    EXPECT_EQ(ReadBytes(dir / "galleries" / "A" / "info.txt"), "a.jpg\r\nb.jpg\tZweites\r\n");

    // A burst right after a write waits out the pause, then goes in one write with its last state.
    std::swap(pictures[0], pictures[1]);
    autosave.PicturesChanged();
    pictures.pop_back();
    autosave.PicturesChanged();
    ASSERT_TRUE(RunUntilSaved());
    EXPECT_EQ(ReadBytes(dir / "galleries" / "A" / "info.txt"), "b.jpg\tZweites\r\n");
}

TEST_F(AutosaveTest, ClosingTheAlbumDropsItsPendingWriteAndAMoveKeepsIt) {
    pictures[0].SetTitle("vergessen");
    autosave.PicturesChanged();
    autosave.SetOpenPictures(TAlbumList::kNone, nullptr); // the caller saved or discarded the list
    EXPECT_FALSE(autosave.Pending());
    autosave.PicturesChanged();
    EXPECT_FALSE(autosave.Pending()) << "no open album, nothing to write";

    autosave.SetOpenPictures(0, &pictures);
    autosave.PicturesChanged();
    std::swap(albums.Albums()[0], albums.Albums()[1]);
    autosave.OpenAlbumMoved(1);
    autosave.Flush();
    EXPECT_FALSE(autosave.Pending());
    EXPECT_EQ(ReadBytes(dir / "galleries" / "A" / "info.txt"), "a.jpg\tvergessen\r\nb.jpg\r\n");
    EXPECT_FALSE(fs::exists(dir / "galleries" / "B" / "info.txt"));
}
