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

struct Operations : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    fs::path root = dir / "galleries";
    TAlbumList albums{root, prompts};

    Operations() { fs::create_directories(root); }

    // An album with pictures p0.jpg..p{n-1}.jpg whose files hold their names.
    int MakeAlbum(const std::string& title, int n) {
        int index = albums.CreateAlbumFolder(title);
        TPictureList pictures;
        for (int i = 0; i < n; ++i) {
            std::string name = "p" + std::to_string(i) + ".jpg";
            WriteBytes(albums.ImagesPath(index) / name, "image " + name);
            WriteBytes(albums.ThumbsPath(index) / name, "thumb " + name);
            pictures.push_back(TPictureEntry({name, "Titel " + name, "Text"}));
        }
        albums.SavePictureList(index, pictures);
        return index;
    }

    static std::vector<std::string> Names(const TPictureList& pictures) {
        std::vector<std::string> names;
        for (const auto& p : pictures)
            names.push_back(p.FileName());
        return names;
    }
};

} // namespace

TEST_F(Operations, NewAlbumWithEmptyNameIsNeuesAlbum) {
    EXPECT_EQ(NewAlbumTitle(""), "Neues Album");
    EXPECT_EQ(NewAlbumTitle(" Urlaub"), "Neues Album");
    EXPECT_EQ(NewAlbumTitle("!"), "!");
    int first = CreateNewAlbum(albums, "", "Info", "Text");
    int second = CreateNewAlbum(albums, "", "", "");
    EXPECT_EQ(albums[first].FolderName, "Neues_Album");
    EXPECT_EQ(albums[second].FolderName, "Neues_Album(1)");
    EXPECT_EQ(albums[second].Title, "Neues Album");
    EXPECT_EQ(albums[first].Info, "Info");
    EXPECT_FALSE(albums[first].Published);
    EXPECT_EQ(albums.Current(), second);
}

TEST_F(Operations, DeletingTheOnlyAlbumLeavesANewEmptyOne) {
    MakeAlbum("Urlaub", 2);
    DeleteAlbum(albums, 0);
    ASSERT_EQ(albums.Count(), 1);
    EXPECT_EQ(albums[0].Title, "Neues Album");
    EXPECT_FALSE(fs::exists(root / "Urlaub"));
    EXPECT_TRUE(albums.LoadPictureList(0).empty());
}

TEST_F(Operations, EditAlbumInfoRenamesOnlyOnATitleChange) {
    MakeAlbum("Urlaub", 0);
    ApplyAlbumInfo(albums, 0, "Urlaub", "neue Info", "");
    EXPECT_EQ(albums[0].FolderName, "Urlaub");
    ApplyAlbumInfo(albums, 0, "Sommer f\xFCr alle", "", "");
    EXPECT_EQ(albums[0].FolderName, "Sommer_fuer_alle");
    EXPECT_EQ(albums[0].Title, "Sommer f\xFCr alle");
    EXPECT_TRUE(fs::is_directory(root / "Sommer_fuer_alle" / "images"));
}

TEST_F(Operations, MovingAlbumsKeepsMarksAndCurrent) {
    MakeAlbum("A", 0);
    MakeAlbum("B", 0);
    MakeAlbum("C", 0);
    albums[0].Published = true;
    albums.SetCurrent(0);
    EXPECT_FALSE(MoveAlbum(albums, 0, -1)) << "the first album cannot move up";
    EXPECT_FALSE(MoveAlbum(albums, 2, 3)) << "the last album cannot move down";
    EXPECT_TRUE(MoveAlbum(albums, 0, 2));
    EXPECT_EQ(albums[2].FolderName, "A");
    EXPECT_TRUE(albums[2].Published);
    EXPECT_EQ(albums.Current(), 2);
    albums.SetCurrent(0); // B
    EXPECT_TRUE(MoveAlbum(albums, 2, 1));
    EXPECT_EQ(albums[albums.Current()].FolderName, "B");
}

TEST_F(Operations, DeleteQuestionTexts) {
    EXPECT_EQ(DeletePicturesQuestion(1), "Soll das gew\xE4hlte Bild wirklich gel\xF6scht werden?");
    EXPECT_EQ(DeletePicturesQuestion(3), "Sollen diese 3 Bilder wirklich gel\xF6scht werden?");
}

TEST_F(Operations, CopyAndPasteInOneAlbumAppendsNumberedCopies) {
    int a = MakeAlbum("A", 3);
    TPictureList pictures = albums.LoadPictureList(a);
    TPictureClipboard clipboard;
    CopyToClipboard(clipboard, albums, pictures, {0, 2}, TClipboardMode::Copy);
    auto result = PastePictures(albums, a, pictures, clipboard, std::nullopt);
    EXPECT_EQ(Names(pictures),
              (std::vector<std::string>{"p0.jpg", "p1.jpg", "p2.jpg", "p0(1).jpg", "p2(1).jpg"}));
    EXPECT_EQ(result.appended, (std::vector<int>{3, 4}));
    EXPECT_EQ(pictures[3].Title(), "Titel p0.jpg");
    EXPECT_EQ(ReadBytes(albums.ImagesPath(a) / "p2(1).jpg"), "image p2.jpg");
    EXPECT_EQ(ReadBytes(albums.ThumbsPath(a) / "p2(1).jpg"), "thumb p2.jpg");
    EXPECT_TRUE(clipboard.CanPaste()) << "a paste of copies keeps the clipboard";
}

TEST_F(Operations, CutFromOneAlbumAndPasteIntoAnother) {
    int a = MakeAlbum("A", 3);
    int b = MakeAlbum("B", 1);
    albums.SetCurrent(a);
    TPictureList picturesA = albums.LoadPictureList(a);
    TPictureClipboard clipboard;
    CopyToClipboard(clipboard, albums, picturesA, {1, 2}, TClipboardMode::Cut);
    albums.SetCurrent(b);
    TPictureList picturesB = albums.LoadPictureList(b);
    PastePictures(albums, b, picturesB, clipboard, std::nullopt);
    EXPECT_EQ(Names(picturesB), (std::vector<std::string>{"p0.jpg", "p1.jpg", "p2.jpg"}));
    EXPECT_EQ(ReadBytes(albums.ImagesPath(b) / "p1.jpg"), "image p1.jpg");
    EXPECT_EQ(Names(albums.LoadPictureList(a)), std::vector<std::string>{"p0.jpg"});
    EXPECT_FALSE(fs::exists(albums.ImagesPath(a) / "p1.jpg"));
    EXPECT_FALSE(fs::exists(albums.ThumbsPath(a) / "p2.jpg"));
    EXPECT_FALSE(clipboard.CanPaste()) << "Einfügen is disabled after a cut was pasted";
}

TEST_F(Operations, CutAndPasteWithinOneAlbumMovesInFrontOfTheTarget) {
    int a = MakeAlbum("A", 5);
    TPictureList pictures = albums.LoadPictureList(a);
    TPictureClipboard clipboard;
    CopyToClipboard(clipboard, albums, pictures, {0, 1}, TClipboardMode::Cut);
    pictures[0].SetTitle("later edit");
    auto result = PastePictures(albums, a, pictures, clipboard, 3);
    EXPECT_TRUE(result.reopen);
    EXPECT_EQ(Names(pictures), (std::vector<std::string>{"p2.jpg", "p0.jpg", "p1.jpg", "p3.jpg", "p4.jpg"}));
    EXPECT_EQ(pictures[1].Title(), "Titel p0.jpg") << "the entry from the time of the cut comes back";
    // The album reopens; the first selected picture is now p3 at index 3 again. Pasting repeats the move.
    PastePictures(albums, a, pictures, clipboard, 3);
    EXPECT_EQ(Names(pictures), (std::vector<std::string>{"p2.jpg", "p0.jpg", "p1.jpg", "p3.jpg", "p4.jpg"}));
    PastePictures(albums, a, pictures, clipboard, 4);
    EXPECT_EQ(Names(pictures), (std::vector<std::string>{"p2.jpg", "p3.jpg", "p0.jpg", "p1.jpg", "p4.jpg"}));
    EXPECT_EQ(Names(albums.LoadPictureList(a)), Names(pictures)) << "the list is saved";
    EXPECT_TRUE(fs::exists(albums.ImagesPath(a) / "p0.jpg")) << "no file is touched";
    auto none = PastePictures(albums, a, pictures, clipboard, std::nullopt);
    EXPECT_FALSE(none.changed) << "a move without a target position does nothing";
}

TEST_F(Operations, PasteAtTargetInsertsAndAdvances) {
    int a = MakeAlbum("A", 3);
    TPictureList pictures = albums.LoadPictureList(a);
    TPictureClipboard clipboard;
    CopyToClipboard(clipboard, albums, pictures, {0, 1}, TClipboardMode::Copy);
    auto result = PastePictures(albums, a, pictures, clipboard, 1);
    EXPECT_EQ(Names(pictures),
              (std::vector<std::string>{"p0.jpg", "p0(1).jpg", "p1(1).jpg", "p1.jpg", "p2.jpg"}));
    EXPECT_EQ(result.scrollTo, 1);
    EXPECT_EQ(Names(albums.LoadPictureList(a)), Names(pictures));
}
