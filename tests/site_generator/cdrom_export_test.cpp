#include "program/site_run.h"
#include "site_fixture.h"

#include "settings/program_settings.h"
#include "site_generator/cdrom_export.h"

using namespace vistrel;
using namespace vistrel::testing;
namespace fs = std::filesystem;

namespace {

class CopyProgress : public CdromProgress {
public:
    void ShowFile(const fs::path& target) override { shown.push_back(target); }
    void FileCopied(int done, int total) override {
        counter = std::to_string(done) + " von " + std::to_string(total);
    }
    void ProcessEvents() override {
        if (cancelAfter > 0 && static_cast<int>(shown.size()) >= cancelAfter) cancelled = true;
    }
    bool Cancelled() const override { return cancelled; }
    std::vector<fs::path> shown;
    std::string counter;
    int cancelAfter = 0;
    bool cancelled = false;
};

struct CdromTest : SiteTest {
    // Two published albums of 10 pictures and an unpublished one, a style of six files, generated.
    std::unique_ptr<TProgramContext> GenerateTwoAlbums() {
        AddAlbum("Sommer", 10, true);
        AddAlbum("Privat", 4, false);
        AddAlbum("Winter", 10, true);
        StyleFile("index.html", "<html>");
        StyleFile("thumbs.html", "t");
        StyleFile("images.html", "i");
        StyleFile("style.css", "css");
        StyleFile("style.jpg", "jpg");
        StyleFile("logo.gif", "gif");
        auto context = Start();
        GenerateSite(SiteParamsOf(*context, TSiteMode::Publish), progress, host);
        return context;
    }
    TempDir cdFolder; // a CD target must lie outside the program folder
    fs::path target = cdFolder / "cd";
};

} // namespace

TEST_F(CdromTest, TwoPublishedAlbumsOfTenPictures) {
    auto context = GenerateTwoAlbums();
    TCdromFolderList list = BuildCdromFolderList(context->albums);
    EXPECT_EQ(list.folders,
              (std::vector<fs::path>{galleries / "", galleries / "Sommer/", galleries / "Sommer/images/",
                                     galleries / "Sommer/thumbs/", galleries / "Winter/",
                                     galleries / "Winter/images/", galleries / "Winter/thumbs/"}));
    TCdromSummary summary = CountCdromFiles(list);
    EXPECT_EQ(summary.folders, 7);
    // Root: index.html, logo.gif, style.css (never the album list info.txt); each album: logo.gif,
    // style.css, index.html, thumbpage0.html and ten picture pages, ten pictures and ten thumbnails.
    EXPECT_EQ(summary.files, 3 + 2 * (14 + 10 + 10));
    CopyProgress copy;
    std::string typed = target.string();
    EXPECT_EQ(CopyCdromFiles({list, typed, summary.files, context->settings}, copy).code,
              TCdromOutcome::Copied);
    EXPECT_EQ(copy.counter, "71 von 71");
    EXPECT_EQ(Files(target),
              (std::vector<std::string>{"AUTORUN.INF", "index.html", "logo.gif", "style.css"}));
    EXPECT_EQ(ReadBytes(target / "AUTORUN.INF"), "[autorun]\r\nOPEN=explorer.exe index.html\r\n");
    EXPECT_EQ(Files(target / "Sommer").size(), 14u);
    EXPECT_EQ(Files(target / "Winter" / "images").size(), 10u);
    EXPECT_EQ(ReadBytes(target / "Winter" / "thumbs" / "p109.jpg"), "thumb9");
    EXPECT_FALSE(fs::exists(target / "Privat"));
    EXPECT_EQ(context->settings.ReadCdromPath(), typed);
    EXPECT_EQ(
        CdromOutcomeMessage(TCdromOutcome::Copied, typed),
        "Alle ben\xF6tigten Dateien wurden zusammengestellt. Kopieren Sie die Dateien aus dem Verzeichnis " +
            typed + " in das Stammverzeichnis der CD.");
}

TEST(CdromTarget, TrailingSeparatorsAlike) {
    EXPECT_EQ(CdromTargetFolder("/media/cd"), fs::path("/media/cd/"));
    EXPECT_EQ(CdromTargetFolder("/media/cd/"), fs::path("/media/cd/"));
    EXPECT_EQ(CdromTargetFolder("/media/cd\\"), fs::path("/media/cd/"));
    EXPECT_EQ(CdromTargetFolder("/"), fs::path("/"));
    EXPECT_EQ(CdromTargetFolder("/media/Gr\xFC\xDF"
                                "e"),
              fs::path("/media/Grüße/"));
}

TEST_F(CdromTest, TargetTypedWithTrailingSeparatorCopiesToTheSamePlace) {
    auto context = GenerateTwoAlbums();
    TCdromFolderList list = BuildCdromFolderList(context->albums);
    CopyProgress copy;
    std::string typed = target.string() + "\\";
    ASSERT_EQ(CopyCdromFiles({list, typed, 0, context->settings}, copy).code, TCdromOutcome::Copied);
    EXPECT_TRUE(fs::exists(target / "Winter" / "thumbs" / "p100.jpg"));
    EXPECT_EQ(context->settings.ReadCdromPath(), typed);
    EXPECT_NE(CdromOutcomeMessage(TCdromOutcome::Copied, typed).find(" " + typed + " "), std::string::npos);
}

TEST_F(CdromTest, HiddenFilesAreNeitherCountedNorCopied) {
    auto context = GenerateTwoAlbums();
    TCdromFolderList list = BuildCdromFolderList(context->albums);
    int before = CountCdromFiles(list).files;
    WriteBytes(galleries / "Sommer" / ".hidden", "secret");
    fs::create_directories(galleries / "Sommer" / "sub");
    EXPECT_EQ(CountCdromFiles(list).files, before);
    CopyProgress copy;
    ASSERT_EQ(CopyCdromFiles({list, target.string(), before, context->settings}, copy).code,
              TCdromOutcome::Copied);
    EXPECT_FALSE(fs::exists(target / "Sommer" / ".hidden"));
    EXPECT_FALSE(fs::exists(target / "Sommer" / "sub"));
}

// The album list names unpublished albums with their texts, a picture list every title: neither
// goes onto the CD, and a style's own "info.txt" never replaces them.
TEST_F(CdromTest, ProgramListsStayAtHome) {
    StyleFile("INFO.TXT", "from the style");
    auto context = GenerateTwoAlbums();
    WriteBytes(galleries / "Sommer" / "info.txt", "p100.jpg\tGeheim\r\n");
    EXPECT_NE(ReadBytes(galleries / "info.txt"), "from the style");
    EXPECT_FALSE(fs::exists(galleries / "INFO.TXT"));
    TCdromFolderList list = BuildCdromFolderList(context->albums);
    CopyProgress copy;
    ASSERT_EQ(CopyCdromFiles({list, target.string(), 0, context->settings}, copy).code,
              TCdromOutcome::Copied);
    EXPECT_FALSE(fs::exists(target / "info.txt"));
    EXPECT_FALSE(fs::exists(target / "Sommer" / "info.txt"));
    EXPECT_TRUE(fs::exists(target / "Sommer" / "index.html"));
}

TEST_F(CdromTest, CancelStopsAfterTheCurrentFile) {
    auto context = GenerateTwoAlbums();
    context->settings.WriteCdromPath("/old/path");
    TCdromFolderList list = BuildCdromFolderList(context->albums);
    CopyProgress copy;
    copy.cancelAfter = 3;
    EXPECT_EQ(CopyCdromFiles({list, target.string(), 72, context->settings}, copy).code,
              TCdromOutcome::Cancelled);
    EXPECT_EQ(copy.shown.size(), 3u);
    EXPECT_EQ(Files(target).size(), 3u);
    EXPECT_FALSE(fs::exists(target / "AUTORUN.INF"));
    EXPECT_EQ(context->settings.ReadCdromPath(), "/old/path");
    EXPECT_EQ(CdromOutcomeMessage(TCdromOutcome::Cancelled, target.string()), "");
}

TEST_F(CdromTest, EmptyTargetCopiesNothing) {
    auto context = GenerateTwoAlbums();
    CopyProgress copy;
    EXPECT_EQ(CopyCdromFiles({BuildCdromFolderList(context->albums), "", 72, context->settings}, copy).code,
              TCdromOutcome::NoTarget);
    EXPECT_TRUE(copy.shown.empty());
    EXPECT_EQ(CdromOutcomeMessage(TCdromOutcome::NoTarget, ""), "Bitte geben Sie ein Ausgabeverzeichnis an!");
}

TEST_F(CdromTest, TargetThatCannotBeCreatedFails) {
    auto context = GenerateTwoAlbums();
    context->settings.WriteCdromPath("/old/path");
    WriteBytes(target, "a file in the way");
    CopyProgress copy;
    EXPECT_EQ(
        CopyCdromFiles({BuildCdromFolderList(context->albums), target.string(), 72, context->settings}, copy)
            .code,
        TCdromOutcome::CopyFailed);
    EXPECT_EQ(context->settings.ReadCdromPath(), "/old/path");
    // Only a full disk is blamed on the free space; here a file stands in the way.
    EXPECT_EQ(CdromOutcomeMessage(TCdromOutcome::CopyFailed, "/cd"),
              "Beim Kopieren der Dateien ist ein Fehler aufgetreten. Bitte pr\xFC"
              "fen Sie, ob im Verzeichnis /cd "
              "Ordner und Dateien angelegt werden k\xF6nnen.");
    EXPECT_EQ(
        CdromOutcomeMessage(TCdromOutcome::NoSpace, ""),
        "Beim Kopieren der Dateien ist ein Fehler aufgetreten. Bitte stellen Sie sicher, dass gen\xFCgend "
        "Speicherplatz vorhanden ist.");
}

TEST_F(CdromTest, PublishedAlbumWithoutPicturesIsListedAndUnreadableFoldersCountEmpty) {
    AddAlbum("Leer", 0, true);
    auto context = Start();
    TCdromFolderList list = BuildCdromFolderList(context->albums);
    EXPECT_EQ(list.folders.size(), 4u);
    TCdromSummary summary = CountCdromFiles(list);
    EXPECT_EQ(summary.folders, 4);
    // "images" and "thumbs" do not exist, and the album list is the program's own: it stays at home.
    EXPECT_EQ(summary.files, 0);
}

TEST(CdromSummary, Text) {
    struct Case {
        uint64_t bytes;
        char separator;
        const char* megabytes;
    };
    const Case cases[] = {
        {0, ',', "0,0"}, {1572864, ',', "1,5"}, {1572864, '.', "1.5"}, {uint64_t{5} << 31, ',', "10240,0"}};
    for (const Case& c : cases) {
        TCdromSummary summary{7, 74, c.bytes};
        EXPECT_EQ(CdromSummaryText(summary, c.separator), std::string("7 Verzeichnisse mit 74 Dateien und ") +
                                                              c.megabytes + " MBytes werden kopiert.");
    }
}

// The large versions and the site's renditions travel with the album where it has them; an album
// without them keeps the folder list it always had.
TEST_F(CdromTest, LargeVersionsAndRenditionsAreCopiedWhereTheyExist) {
    auto context = GenerateTwoAlbums();
    TAlbumLayout sommer(galleries / "Sommer");
    WriteBytes(sommer.PathOf(TPictureFile::Large, "p0.jpg"), "large");
    WriteBytes(sommer.Renditions() / "p0-800.webp", "webp");
    TCdromFolderList list = BuildCdromFolderList(context->albums);
    EXPECT_EQ(list.folders,
              (std::vector<fs::path>{galleries / "", galleries / "Sommer/", galleries / "Sommer/images/",
                                     galleries / "Sommer/thumbs/", galleries / "Sommer/large/",
                                     galleries / "Sommer/renditions/", galleries / "Winter/",
                                     galleries / "Winter/images/", galleries / "Winter/thumbs/"}));
    CopyProgress copy;
    ASSERT_TRUE(CopyCdromFiles({list, target.string(), 0, context->settings}, copy).Ok());
    EXPECT_EQ(ReadBytes(target / "Sommer" / "large" / "p0.jpg"), "large");
    EXPECT_EQ(ReadBytes(target / "Sommer" / "renditions" / "p0-800.webp"), "webp");
    EXPECT_FALSE(fs::exists(target / "Winter" / "large"));
}

TEST_F(CdromTest, AFailedCopyNamesTheFileInItsDetail) {
    auto context = GenerateTwoAlbums();
    fs::create_directories(target / "Sommer" / "index.html"); // a folder in the way of a page
    CopyProgress copy;
    TCdromResult result =
        CopyCdromFiles({BuildCdromFolderList(context->albums), target.string(), 0, context->settings}, copy);
    EXPECT_EQ(result.code, TCdromOutcome::CopyFailed);
    EXPECT_NE(result.detail.find("Sommer/index.html"), std::string::npos) << result.detail;
}
