// Styles, album folders and program folders come from outside (downloads, archives): links in them
// must never carry an outside file into the site or the CD folder, nor let the builder clean or
// write a folder elsewhere.
#include "site_fixture.h"

#include "site_generator/cdrom_export.h"
#include "site_generator/style_files.h"

using namespace vistrel;
using namespace vistrel::testing;
namespace fs = std::filesystem;

namespace {

struct ContainmentTest : SiteTest {
    TempDir outside;
    fs::path secret = outside / "secret.txt";

    ContainmentTest() {
        WriteBytes(secret, "PRIVATE KEY");
        StyleFile("index.html", "<html>/#GALLERYTITLE#/</html>");
        StyleFile("thumbs.html", "t");
        StyleFile("images.html", "i");
    }
    static bool AnyFileHolds(const fs::path& folder, const std::string& text) {
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file() && ReadBytes(entry.path()).find(text) != std::string::npos)
                return true;
        return false;
    }
};

class NoCopyProgress : public CdromProgress {
public:
    void ShowFile(const fs::path&) override {}
    void FileCopied(int, int) override {}
    void ProcessEvents() override {}
    bool Cancelled() const override { return false; }
};

} // namespace

TEST_F(ContainmentTest, StyleLinksToOutsideFilesAreLeftOut) {
    AddAlbum("Urlaub", 2, true);
    fs::create_symlink(secret, style / "secret.txt");
    fs::create_symlink(secret, style / "passwd.html");
    // A link that stays inside the style is an ordinary style file.
    StyleFile("real.css", "body{}");
    fs::create_symlink(style / "real.css", style / "alias.css");
    Generate(TSiteMode::Publish);
    EXPECT_FALSE(AnyFileHolds(galleries, "PRIVATE KEY"));
    EXPECT_FALSE(fs::exists(galleries / "secret.txt"));
    EXPECT_FALSE(fs::exists(galleries / "Urlaub" / "passwd.html"));
    EXPECT_EQ(ReadBytes(galleries / "Urlaub" / "alias.css"), "body{}");
    EXPECT_EQ(TStyleFiles(style).Find("secret.txt"), "");
}

TEST_F(ContainmentTest, AlbumFolderLinkedElsewhereIsNeitherCleanedNorFilled) {
    AddAlbum("Echt", 1, true);
    albumLines += "Fremd\tInfo\t\t\tFremd\ttrue\r\n";
    WriteBytes(galleries / "info.txt", albumLines);
    WriteBytes(outside / "elsewhere" / "notes.doc", "mine");
    WriteBytes(outside / "elsewhere" / "images" / "x.jpg", "x");
    fs::create_symlink(outside / "elsewhere", galleries / "Fremd");
    TSiteResult result = Generate(TSiteMode::Publish);
    EXPECT_TRUE(result.startPageExists);
    EXPECT_EQ(ReadBytes(outside / "elsewhere" / "notes.doc"), "mine");
    EXPECT_FALSE(fs::exists(outside / "elsewhere" / "index.html"));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("\x84"
                                       "Fremd\x93"),
              std::string::npos);

    auto context = Start();
    TCdromFolderList list = BuildCdromFolderList(context->albums);
    for (const fs::path& folder : list.folders)
        EXPECT_EQ(folder.string().find("Fremd"), std::string::npos);
}

TEST_F(ContainmentTest, CdExportTakesOnlyFilesInsideTheAlbum) {
    AddAlbum("Urlaub", 1, true);
    auto context = Start();
    GenerateSite(SiteParamsOf(*context, TSiteMode::Publish), progress, host);
    fs::create_symlink(secret, galleries / "Urlaub" / "images" / "leak.jpg");
    fs::create_symlink(secret, galleries / "Urlaub" / "thumbs" / "leak.jpg");
    EXPECT_EQ(context->albums.LoadPictureList(0).size(), 1u)
        << "a linked thumbnail is no picture of the album";
    fs::create_symlink(galleries / "Urlaub" / "images" / "p100.jpg",
                       galleries / "Urlaub" / "images" / "copy.jpg");
    TCdromFolderList list = BuildCdromFolderList(context->albums);
    TempDir cd;
    NoCopyProgress copy;
    ASSERT_EQ(CopyCdromFiles({list, cd.path().string(), 10, context->settings}, copy).code,
              TCdromOutcome::Copied);
    EXPECT_FALSE(fs::exists(cd / "Urlaub" / "images" / "leak.jpg"));
    EXPECT_EQ(ReadBytes(cd / "Urlaub" / "images" / "copy.jpg"), "image0");
    EXPECT_FALSE(AnyFileHolds(cd.path(), "PRIVATE KEY"));
}

TEST_F(ContainmentTest, CdTargetInOrAroundTheProgramFolderIsRefused) {
    AddAlbum("Urlaub", 1, true);
    auto context = Start();
    GenerateSite(SiteParamsOf(*context, TSiteMode::Publish), progress, host);
    TCdromFolderList list = BuildCdromFolderList(context->albums);
    std::string pictureList = ReadBytes(galleries / "Urlaub" / "info.txt");
    NoCopyProgress copy;
    for (const fs::path& target : {galleries / "Urlaub", galleries, dir.path(), dir.path().parent_path()}) {
        EXPECT_EQ(CopyCdromFiles({list, target.string(), 10, context->settings}, copy).code,
                  TCdromOutcome::TargetNotAllowed)
            << target;
    }
    EXPECT_EQ(ReadBytes(galleries / "Urlaub" / "info.txt"), pictureList);
    EXPECT_FALSE(fs::exists(dir / "AUTORUN.INF"));
}

TEST_F(ContainmentTest, StyleNameMustBeAFolderInsideStyles) {
    AddAlbum("Urlaub", 1, true);
    for (const char* name : {"..", ".", "../styles/Test/..", "/etc"}) {
        settingsLines.clear();
        Setting(std::string("ActStyle=") + name);
        auto context = Start();
        EXPECT_EQ(context->settings.ActStyle, "Test") << name;
    }
    fs::create_symlink(outside.path(), dir / "styles" / "Aaa");
    settingsLines.clear();
    Setting("ActStyle=Aaa");
    EXPECT_EQ(Start()->settings.ActStyle, "Test") << "a style folder linked elsewhere is not a style";
}

TEST_F(ContainmentTest, ListFilesThatAreLinksCountAsMissing) {
    AddAlbum("Urlaub", 1, true);
    WriteBytes(outside / "list.txt", "p100.jpg\tGeheim\r\n");
    fs::remove(galleries / "Urlaub" / "info.txt");
    fs::create_symlink(outside / "list.txt", galleries / "Urlaub" / "info.txt");
    auto context = Start();
    // The link is not read: the picture is found in thumbs/ as for a missing list, without the title.
    TPictureList pictures = context->albums.LoadPictureList(0);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].Title(), "");
    context->albums.SavePictureList(0, {});
    EXPECT_FALSE(fs::is_symlink(galleries / "Urlaub" / "info.txt"));
    EXPECT_EQ(ReadBytes(outside / "list.txt"), "p100.jpg\tGeheim\r\n");
}

TEST_F(ContainmentTest, PageCutByTheWorkLimitIsReported) {
    AddAlbum("Urlaub", 2, true);
    // Loops nested the wrong way round restart each other until the work limit cuts the page.
    StyleFile("thumbs.html", "/#ALLTHUMBS#//#ALLIMAGES#//#ENDALLTHUMBS#//#ENDALLIMAGES#/");
    auto context = Start();
    TSiteParams params = SiteParamsOf(*context, TSiteMode::Publish);
    params.workLimit = 100000;
    TSiteResult result = GenerateSite(params, progress, host);
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_EQ(result.warnings[0], PageCutWarning("Test", "thumbpage0.html"));
    EXPECT_NE(result.warnings[0].find("\x84Test\x93"), std::string::npos);
    EXPECT_NE(result.warnings[0].find("thumbpage0.html"), std::string::npos);
}
