#include "album_library/album_list.h"
#include "support/test_support.h"

#include <QByteArray>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

struct AlbumStore : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    fs::path albums = dir / "galleries";
    TAlbumList list{albums, prompts};

    AlbumStore() { fs::create_directories(albums); }
    void MakeAlbum(const std::string& name) { fs::create_directories(albums / name / "thumbs"); }
};

} // namespace

TEST(WebSafeName, Rules) {
    struct Row {
        const char* name;
        std::string text;
        std::string expected;
    };
    const Row rows[] = {
        {"umlauts and ampersand", "Fotos f\xFCr Oma & Opa", "Fotos_fuer_Oma___Opa"},
        {"capital umlauts and sharp s", "\xC4\xD6\xDC\xDF", "AeOeUess"},
        {"allowed punctuation stays", "a(1)-b.c_d", "a(1)-b.c_d"},
        {"slashes and dots cannot escape", "../x/y\\z", "_.._x_y_z"},
        {"a leading dot never makes a hidden file", "..jpg", "_..jpg"},
        {"three dots", "...jpg", "_...jpg"},
        {"dot later stays", "a..jpg", "a..jpg"},
        {"other Latin-1 letters", "Caf\xE9", "Caf_"},
        {"empty", "", ""},
        {"already safe stays unchanged", "Neues_Album(1)", "Neues_Album(1)"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(WebSafeName(row.text), row.expected) << row.name;
    EXPECT_EQ(WebSafeName(std::string(70, 'a')).size(), 70u) << "never shortened";
}

TEST_F(AlbumStore, LoadReconcilesFileAndFolders) {
    MakeAlbum("Urlaub");
    MakeAlbum("zebra");
    MakeAlbum("Neu");
    WriteBytes(albums / "info.txt", "urlaub\tInfo\tZeile1\x01Zeile2\tbild.jpg\tUrlaub 2026\ttrue\r\n"
                                    "Weg\t\t\t\tWeg\ttrue\r\n"
                                    "zebra\t\t\t\tZebra\tTRUE\r\n"
                                    "\t\t\t\tLeer\ttrue\r\n");
    list.LoadAlbumList();
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Current(), 0);
    // "urlaub" (written on a system without case) takes the spelling of its folder "Urlaub".
    EXPECT_EQ(list[0].FolderName, "Urlaub");
    EXPECT_EQ(list[0].Title, "Urlaub 2026");
    EXPECT_TRUE(list[0].Published);
    EXPECT_EQ(list[1].FolderName, "zebra");
    EXPECT_FALSE(list[1].Published) << "only lower-case true publishes";
    EXPECT_EQ(list[2].FolderName, "Neu") << "a folder the file does not list is appended";
    EXPECT_EQ(list[2].Title, "Neu");
    EXPECT_FALSE(list[2].Published);
}

TEST_F(AlbumStore, FieldsRoundTripWithPaddingAndLineBreaks) {
    MakeAlbum("A");
    MakeAlbum("B");
    WriteBytes(albums / "info.txt", "A\tKurz\tZeile 1\x01Zeile 2\tp.jpg\tTitel A\ttrue\textra\r\nB\r\n");
    list.LoadAlbumList();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0].Text, "Zeile 1\r\nZeile 2");
    EXPECT_TRUE(list[0].Published);
    EXPECT_EQ(list[1].Title, "");
    list[1].Info = "Tab\tim Feld";
    ASSERT_TRUE(list.SaveAlbumList());
    EXPECT_EQ(ReadBytes(albums / "info.txt"),
              "A\tKurz\tZeile 1\x01Zeile 2\tp.jpg\tTitel A\ttrue\r\nB\tTab im Feld\t\t\t\tfalse\r\n");
}

TEST_F(AlbumStore, PictureListKeepsExtraFieldsAndAddsThumbnails) {
    MakeAlbum("A");
    WriteBytes(albums / "A/info.txt", "b.jpg\tTitel\tText\x01zwei\tf4\tf5\r\n\r\nweg.jpg\r\n");
    WriteBytes(albums / "A/thumbs/a.JPG", "x");
    WriteBytes(albums / "A/thumbs/B.jpg", "x");
    WriteBytes(albums / "A/thumbs/notiz.txt", "x");
    list.LoadAlbumList();
    TPictureList pictures = list.LoadPictureList(0);
    ASSERT_EQ(pictures.size(), 4u);
    EXPECT_EQ(pictures[0].Fields().size(), 5u);
    EXPECT_EQ(pictures[0].Text(), "Text\r\nzwei");
    EXPECT_TRUE(pictures[1].Fields().empty()) << "an empty line is an entry without fields";
    EXPECT_EQ(pictures[2].FileName(), "weg.jpg") << "listed pictures stay although their files are gone";
    EXPECT_EQ(pictures[3].FileName(), "a.JPG") << "B.jpg matches b.jpg without regard to case";
    ASSERT_TRUE(list.SavePictureList(0, pictures));
    EXPECT_EQ(ReadBytes(albums / "A/info.txt"), "b.jpg\tTitel\tText\x01zwei\tf4\tf5\r\nweg.jpg\r\na.JPG\r\n");
}

TEST_F(AlbumStore, PictureCaptionNeedsATitleAboveExclamationMark) {
    EXPECT_EQ(TPictureEntry({"a.jpg", "!"}).Caption(), "a.jpg");
    EXPECT_EQ(TPictureEntry({"a.jpg", " Titel"}).Caption(), "a.jpg");
    EXPECT_EQ(TPictureEntry({"a.jpg", "\"Titel\""}).Caption(), "\"Titel\"");
    EXPECT_EQ(TPictureEntry({"a.jpg"}).Caption(), "a.jpg");
}

TEST_F(AlbumStore, CreateFindsFreeNames) {
    EXPECT_EQ(list.CreateAlbumFolder("Neues Album"), 0);
    EXPECT_EQ(list.CreateAlbumFolder("Neues Album"), 1);
    EXPECT_EQ(list[1].FolderName, "Neues_Album(1)");
    EXPECT_EQ(list[1].Title, "Neues Album");
    EXPECT_EQ(list.Current(), 1);
    EXPECT_TRUE(fs::is_directory(albums / "Neues_Album(1)" / "images"));
    EXPECT_TRUE(fs::is_directory(albums / "Neues_Album(1)" / "thumbs"));
    list.CreateAlbumFolder(std::string(70, 'T'));
    EXPECT_EQ(list[2].FolderName.size(), 70u);
    list.CreateAlbumFolder("");
    EXPECT_EQ(list[3].FolderName, "(1)") << "the empty name is the album folder itself";
}

TEST_F(AlbumStore, CreateFailureIsReportedAndTheAlbumListedAnyway) {
    WriteBytes(albums / "Blockiert", "a file where the folder should go");
    list.CreateAlbumFolder("Blockiert");
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0].FolderName, "Blockiert(1)") << "a file of that name also takes the name";
    WriteBytes(dir / "nofolder", "x");
    TAlbumList broken(dir / "nofolder" / "galleries", prompts);
    broken.CreateAlbumFolder("X");
    EXPECT_EQ(broken.Count(), 1);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].rfind(
                  "Das Verzeichnis " + (dir / "nofolder" / "galleries").string() + " X konnte", 0),
              0u);
}

TEST_F(AlbumStore, RenameFollowsTheTitle) {
    list.CreateAlbumFolder("Urlaub");
    list.CreateAlbumFolder("Sommer");
    list.RenameAlbumFolder(1, "Sommer");
    EXPECT_EQ(list[1].FolderName, "Sommer");
    list.RenameAlbumFolder(1, "Urlaub");
    EXPECT_EQ(list[1].FolderName, "Urlaub(1)");
    EXPECT_TRUE(fs::is_directory(albums / "Urlaub(1)" / "thumbs"));
    EXPECT_FALSE(fs::exists(albums / "Sommer"));
    list.RenameAlbumFolder(1, "");
    EXPECT_EQ(list[1].FolderName, "(1)");
}

TEST_F(AlbumStore, DeleteRemovesTheTreeButNeverFollowsLinks) {
    list.CreateAlbumFolder("A");
    TempDir outside;
    WriteBytes(outside / "wertvoll.jpg", "x");
    fs::create_directory_symlink(outside.path(), albums / "A" / "images" / "link");
    WriteBytes(albums / "A/thumbs/t.jpg", "x");
    EXPECT_TRUE(list.DeleteAlbumFolder(0));
    EXPECT_FALSE(fs::exists(albums / "A"));
    EXPECT_TRUE(fs::exists(outside / "wertvoll.jpg"));
    fs::path trash = fs::path(qgetenv("XDG_DATA_HOME").toStdString()) / "Trash" / "files";
    EXPECT_TRUE(fs::exists(trash / "A" / "thumbs" / "t.jpg")) << "a deleted album can be taken back";
}

TEST_F(AlbumStore, EntriesThatDoNotNameASubfolderAreDropped) {
    // An empty folder name would make the album folder itself an album, and deleting that album
    // would delete every album; a name with ".." would reach outside.
    MakeAlbum("A");
    WriteBytes(albums / "info.txt",
               "\t\t\t\tAlles\ttrue\r\n..\t\t\t\tDarueber\ttrue\r\nA/../A\t\t\t\tx\tfalse\r\nA\r\n");
    list.LoadAlbumList();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0].FolderName, "A");
}

TEST_F(AlbumStore, DeletePictureFilesOnlyInsideTheCurrentAlbum) {
    list.CreateAlbumFolder("A");
    WriteBytes(albums / "A/images/p.jpg", "x");
    WriteBytes(albums / "A/thumbs/p.jpg", "x");
    WriteBytes(albums / "A/info.txt", "x");
    list.DeletePictureFiles("p.jpg");
    list.DeletePictureFiles("../info.txt");
    EXPECT_FALSE(fs::exists(albums / "A/images/p.jpg"));
    EXPECT_FALSE(fs::exists(albums / "A/thumbs/p.jpg"));
    EXPECT_TRUE(fs::exists(albums / "A/info.txt"));
}

TEST_F(AlbumStore, WriteFailureShowsTheMessageAndKeepsTheOldFile) {
    list.CreateAlbumFolder("A");
    fs::create_directories(albums / "A" / "info.txt" / "blocker");
    EXPECT_FALSE(list.SavePictureList(0, {TPictureEntry::WithFileName("x.jpg")}));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0],
              "Fehler beim Schreiben der Info-Datei " + (albums / "A" / "info.txt").string() + "!");
}

TEST_F(AlbumStore, EnsureOneAlbumCreatesNeuesAlbum) {
    list.LoadAlbumList();
    list.EnsureOneAlbum();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0].FolderName, "Neues_Album");
    EXPECT_EQ(list[0].Title, "Neues Album");
    list.EnsureOneAlbum();
    EXPECT_EQ(list.Count(), 1);
}
