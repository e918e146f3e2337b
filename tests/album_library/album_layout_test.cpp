// The files of one picture move together: delete, copy under a new name, cut and paste between
// albums, and what the album store and the site folder lists make of the large versions.
#include "album_library/album_layout.h"
#include "album_library/album_operations.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

struct PictureFiles : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    fs::path root = dir / "galleries";
    TAlbumList albums{root, prompts};

    PictureFiles() { fs::create_directories(root); }

    // A picture whose every file holds its kind and name; without the large version when asked.
    static void AddPicture(const TAlbumLayout& album, const std::string& name, bool large = true) {
        WriteBytes(album.PathOf(TPictureFile::Picture, name), "image " + name);
        WriteBytes(album.PathOf(TPictureFile::Thumbnail, name), "thumb " + name);
        if (large) WriteBytes(album.PathOf(TPictureFile::Large, name), "large " + name);
    }
};

} // namespace

TEST_F(PictureFiles, FoldersAndPathsOfOnePicture) {
    TAlbumLayout album(root / "Urlaub");
    EXPECT_EQ(album.PathOf(TPictureFile::Picture, "a.jpg"), root / "Urlaub" / "images" / "a.jpg");
    EXPECT_EQ(album.PathOf(TPictureFile::Thumbnail, "a.jpg"), root / "Urlaub" / "thumbs" / "a.jpg");
    EXPECT_EQ(album.PathOf(TPictureFile::Large, "a.jpg"), root / "Urlaub" / "large" / "a.jpg");
    EXPECT_EQ(album.Renditions(), root / "Urlaub" / "renditions");
    // The site takes the large version when there is one, else the stored picture.
    EXPECT_EQ(album.LargestVersionOf("a.jpg"), album.PathOf(TPictureFile::Picture, "a.jpg"));
    AddPicture(album, "a.jpg");
    EXPECT_EQ(album.LargestVersionOf("a.jpg"), album.PathOf(TPictureFile::Large, "a.jpg"));
    for (const char* bad : {"", ".", "..", "../a.jpg", "a/b.jpg", "a\\b.jpg"})
        EXPECT_FALSE(TAlbumLayout::IsPictureFileName(bad)) << bad;
}

TEST_F(PictureFiles, DeletingAPictureDeletesEveryFileButNoOther) {
    int a = albums.CreateAlbumFolder("A");
    TAlbumLayout album = albums.Layout(a);
    AddPicture(album, "p.jpg");
    AddPicture(album, "q.jpg");
    WriteBytes(root / "large", "outside");
    albums.DeletePictureFiles("p.jpg");
    for (TPictureFile kind : TAlbumLayout::kPictureFiles) {
        EXPECT_FALSE(fs::exists(album.PathOf(kind, "p.jpg")));
        EXPECT_TRUE(fs::exists(album.PathOf(kind, "q.jpg")));
    }
    album.DeletePictureFiles("..");
    album.DeletePictureFiles("../../large");
    EXPECT_TRUE(fs::exists(root / "large"));
    EXPECT_TRUE(fs::exists(album.Large()));
}

TEST_F(PictureFiles, CopyUnderANewNameKeepsTheFilesInStep) {
    TAlbumLayout from(root / "A"), to(root / "B");
    from.CreatePictureFolders();
    to.CreatePictureFolders();
    AddPicture(from, "p.jpg");
    AddPicture(from, "small.jpg", false);
    // A large version left by an earlier picture of the target name must not stay with the copy.
    WriteBytes(to.PathOf(TPictureFile::Large, "s.jpg"), "stale");

    to.CopyPictureFiles(from, "p.jpg", "p(1).jpg");
    to.CopyPictureFiles(from, "small.jpg", "s.jpg");
    EXPECT_EQ(ReadBytes(to.PathOf(TPictureFile::Picture, "p(1).jpg")), "image p.jpg");
    EXPECT_EQ(ReadBytes(to.PathOf(TPictureFile::Thumbnail, "p(1).jpg")), "thumb p.jpg");
    EXPECT_EQ(ReadBytes(to.PathOf(TPictureFile::Large, "p(1).jpg")), "large p.jpg");
    EXPECT_EQ(ReadBytes(to.PathOf(TPictureFile::Picture, "s.jpg")), "image small.jpg");
    EXPECT_FALSE(fs::exists(to.PathOf(TPictureFile::Large, "s.jpg")));

    // A link in the source album would turn a file from outside into one of the target album.
    WriteBytes(dir / "outside.txt", "secret");
    fs::create_symlink(dir / "outside.txt", from.PathOf(TPictureFile::Picture, "link.jpg"));
    WriteBytes(from.PathOf(TPictureFile::Thumbnail, "link.jpg"), "thumb");
    to.CopyPictureFiles(from, "link.jpg", "link.jpg");
    EXPECT_FALSE(fs::exists(to.PathOf(TPictureFile::Picture, "link.jpg")));
    EXPECT_TRUE(fs::exists(to.PathOf(TPictureFile::Thumbnail, "link.jpg")));
}

TEST_F(PictureFiles, CutAndPasteMovesTheLargeVersionsBetweenAlbums) {
    int a = albums.CreateAlbumFolder("A");
    int b = albums.CreateAlbumFolder("B");
    AddPicture(albums.Layout(a), "p.jpg");
    AddPicture(albums.Layout(b), "p.jpg", false);
    albums.SavePictureList(a, {TPictureEntry::WithFileName("p.jpg")});
    TPictureList target = {TPictureEntry::WithFileName("p.jpg")};
    albums.SavePictureList(b, target);

    albums.SetCurrent(a);
    TPictureClipboard clipboard;
    CopyToClipboard(clipboard, albums, albums.LoadPictureList(a), {0}, TClipboardMode::Cut);
    PastePictures(albums, b, target, clipboard, std::nullopt);

    TAlbumLayout source = albums.Layout(a), pasted = albums.Layout(b);
    for (TPictureFile kind : TAlbumLayout::kPictureFiles)
        EXPECT_FALSE(fs::exists(source.PathOf(kind, "p.jpg")));
    EXPECT_EQ(ReadBytes(pasted.PathOf(TPictureFile::Large, "p(1).jpg")), "large p.jpg");
    EXPECT_FALSE(fs::exists(pasted.PathOf(TPictureFile::Large, "p.jpg")));
}

TEST_F(PictureFiles, TheAlbumStoreShowsNoLargeVersionOrRenditionAsAPicture) {
    int a = albums.CreateAlbumFolder("A");
    TAlbumLayout album = albums.Layout(a);
    AddPicture(album, "p.jpg");
    WriteBytes(album.PathOf(TPictureFile::Large, "nur_gross.jpg"), "large");
    WriteBytes(album.Renditions() / "p-800.jpg", "rendition");
    TPictureList pictures = albums.OpenPictureList(a);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].FileName(), "p.jpg");
    // Opening the album tidies it: a large version whose picture is gone goes too.
    EXPECT_FALSE(fs::exists(album.PathOf(TPictureFile::Large, "nur_gross.jpg")));
    EXPECT_TRUE(fs::exists(album.PathOf(TPictureFile::Large, "p.jpg")));
    EXPECT_TRUE(fs::exists(album.Renditions() / "p-800.jpg"));
}
