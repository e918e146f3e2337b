// What a kill -9 during an import leaves behind, and how opening the album mends it.
#include "album_library/album_list.h"
#include "album_library/import_job.h"
#include "album_library/picture_files.h"
#include "common/atomic_file.h"
#include "image_processing/jpeg_graphic.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sys/inotify.h>
#include <unistd.h>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// A temporary file of an interrupted write must be hidden, so that no listing (CD, upload, folder
// import) takes it for a picture. inotify shows every file the write creates.
TEST(KilledImport, TemporaryFilesAreHidden) {
    TempDir dir;
    int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_CREATE | IN_MOVED_TO), 0);
    WriteFileAtomic(dir / "bild.jpg", "data");
    alignas(inotify_event) char buffer[4096];
    std::vector<std::string> created, renamed;
    for (ssize_t n; (n = read(watch, buffer, sizeof buffer)) > 0;)
        for (char* p = buffer; p < buffer + n;) {
            auto* event = reinterpret_cast<inotify_event*>(p);
            (event->mask & IN_CREATE ? created : renamed).push_back(event->name);
            p += sizeof(inotify_event) + event->len;
        }
    close(watch);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].rfind(".bild.jpg.tmp", 0), 0u) << created[0];
    EXPECT_EQ(renamed, std::vector<std::string>{"bild.jpg"});
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"bild.jpg"});
}

TEST(KilledImport, OpeningTheAlbumRemovesLeftoversAndHealsThumbnails) {
    TempDir dir;
    ScriptedPrompts prompts;
    fs::path albums = dir / "galleries";
    fs::create_directories(albums / "A" / "images");
    fs::create_directories(albums / "A" / "thumbs");
    TJpegGraphic picture;
    picture.NewImage(200, 100, ifRgb24);
    picture.WriteToFile(albums / "A" / "images" / "lost.jpg");
    picture.WriteToFile(albums / "A" / "images" / "kept.jpg");
    picture.WriteToFile(albums / "A" / "thumbs" / "kept.jpg");
    // Left by kills: the hidden temporary files of now, and the visible ones of earlier versions.
    WriteBytes(albums / "A" / "images" / ".next.jpg.tmpAb12Cd", "half");
    WriteBytes(albums / "A" / "thumbs" / "old.jpg.tmpXy9876", "half");
    WriteBytes(albums / "A" / ".info.txt.tmp0a1b2c", "half");
    // Not ours: other names stay.
    WriteBytes(albums / "A" / "images" / "notes.tmp", "mine");
    WriteBytes(albums / "A" / "images" / "broken.jpg", "not a picture");

    TAlbumList list{albums, prompts};
    list.LoadAlbumList();
    TPictureList pictures = list.OpenPictureList(0);

    EXPECT_EQ(Names(albums / "A" / "images"),
              (std::vector<std::string>{"broken.jpg", "kept.jpg", "lost.jpg", "notes.tmp"}));
    EXPECT_EQ(Names(albums / "A" / "thumbs"), (std::vector<std::string>{"kept.jpg", "lost.jpg"}));
    EXPECT_FALSE(fs::exists(albums / "A" / ".info.txt.tmp0a1b2c"));
    TJpegGraphic thumb;
    thumb.ReadFromFile(albums / "A" / "thumbs" / "lost.jpg");
    EXPECT_EQ(thumb.Width(), 120);
    EXPECT_EQ(thumb.Height(), 60);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[1].FileName(), "lost.jpg");
}

// A 320 x 240 JPEG padded to 6 GB (a sparse file) imports reading little more than the picture:
// /proc/self/io counts every byte the process reads; reading the whole file, as the import once did,
// counts gigabytes.
TEST(PaddedPicture, ImportReadsOnlyThePicture) {
    auto bytesRead = [] {
        std::ifstream io("/proc/self/io");
        std::string key;
        uint64_t value = 0;
        while (io >> key >> value)
            if (key == "rchar:") return value;
        return uint64_t(0);
    };
    TempDir dir;
    ScriptedPrompts prompts;
    TProgramSettings settings{TProgramFolders::For(dir.path()), prompts};
    ImportProgress progress;
    TPictureList pictures;
    TImportJob job{settings, progress, dir / "galleries" / "A", pictures};
    TJpegGraphic picture;
    picture.NewImage(320, 240, ifRgb24);
    fs::path padded = dir / "padded.jpg";
    picture.WriteToFile(padded);
    fs::resize_file(padded, uint64_t(6) << 30);
    uint64_t before = bytesRead();
    TImportResult outcome = job.ImportFiles({padded});
    ASSERT_EQ(ImportMessage(outcome), "");
    EXPECT_LT(bytesRead() - before, uint64_t(8) << 20);
    EXPECT_TRUE(fs::exists(dir / "galleries" / "A" / "thumbs" / "padded.jpg"));
}
