#include "program/site_run.h"
#include "site_fixture.h"

#include "common/atomic_file.h"
#include "common/line_file.h"
#include "common/text_utils.h"
#include "site_generator/style_files.h"

using namespace vistrel;
using namespace vistrel::testing;
namespace fs = std::filesystem;

namespace {

const std::string kThumbs = "/#ALLTHUMBS#/[/#THUMBURL#/]/#ENDALLTHUMBS#/\r\n";
const std::string kImages = "/#IMAGEURL#/ /#IMAGEPAGENUMBER#/\r\n";

// The page as written, without the five head lines: what the template made of it.
std::vector<std::string> Body(const fs::path& file) {
    std::vector<std::string> lines;
    ReadLineFile(file, lines);
    const THeadLines& head = ProgramHeadLines();
    std::erase_if(lines, [&](const std::string& l) {
        return l == head.copyright || l == head.author || l == head.legal || l == head.generatorComment ||
               l == head.copyrightComment;
    });
    return lines;
}

} // namespace

TEST_F(SiteTest, TwentyFivePicturesTwelvePerPage) {
    AddAlbum("Urlaub", 25, true);
    StyleFile("thumbs.html", kThumbs);
    StyleFile("images.html", kImages);
    Setting("edNoOfThumbs_Text=12");
    TSiteResult result = Generate();
    fs::path album = galleries / "Urlaub";
    std::vector<int> perPage;
    for (int i = 0; i < 3; ++i)
        perPage.push_back(Count(ReadBytes(album / ThumbPageName(i)), "[thumbs/"));
    EXPECT_EQ(perPage, (std::vector<int>{12, 12, 1}));
    EXPECT_FALSE(fs::exists(album / "thumbpage3.html"));
    EXPECT_EQ(ReadBytes(album / "index.html"), ReadBytes(album / "thumbpage0.html"));
    EXPECT_EQ(Body(album / "imagepage0.html"), (std::vector<std::string>{"images/p100.jpg 1", ""}));
    EXPECT_EQ(Body(album / "imagepage24.html"), (std::vector<std::string>{"images/p124.jpg 25", ""}));
    EXPECT_FALSE(fs::exists(album / "imagepage25.html"));
    // Without a root index.html the album's overview is the start page, and Preview opens it.
    EXPECT_TRUE(result.startPageExists);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.startPage, album / "index.html");
    EXPECT_EQ(host.opened, (std::vector<fs::path>{album / "index.html"}));
    EXPECT_EQ(host.locks, 1);
    EXPECT_EQ(host.unlocks, 1);
    EXPECT_EQ(progress.closes, 1);
}

TEST_F(SiteTest, SixFileStyle) {
    AddAlbum("A", 2, true);
    AddAlbum("B", 1, true);
    AddAlbum("C", 3, false);
    StyleFile("index.html", "<html>/#GALLERYPAGEURL#/\r\n");
    StyleFile("thumbs.html", kThumbs);
    StyleFile("images.html", kImages);
    StyleFile("style.css", "body{}\r\n/#SITETITLE#/");
    StyleFile("style.jpg", "jpeg");
    StyleFile("logo.gif", std::string("GIF\0\r\n", 6));
    TSiteResult result = Generate();
    EXPECT_EQ(Files(galleries),
              (std::vector<std::string>{"index.html", "info.txt", "logo.gif", "style.css"}));
    EXPECT_EQ(Files(galleries / "A"),
              (std::vector<std::string>{"imagepage0.html", "imagepage1.html", "index.html", "logo.gif",
                                        "style.css", "thumbpage0.html"}));
    EXPECT_EQ(Files(galleries / "B").size(), 5u);
    EXPECT_TRUE(Files(galleries / "C").empty());
    // Copies are byte copies: no expansion, no head lines, no change of line ends.
    EXPECT_EQ(ReadBytes(galleries / "A" / "logo.gif"), std::string("GIF\0\r\n", 6));
    EXPECT_EQ(ReadBytes(galleries / "style.css"), "body{}\r\n/#SITETITLE#/");
    EXPECT_EQ(ReadBytes(galleries / "A" / "index.html"), ReadBytes(galleries / "A" / "thumbpage0.html"));
    // The root page is expanded in root mode (album links without "../") and is the start page.
    std::vector<std::string> root = Body(galleries / "index.html");
    EXPECT_EQ(root, (std::vector<std::string>{"<html>B/index.html", ""}));
    EXPECT_EQ(result.startPage, galleries / "index.html");
    EXPECT_EQ(host.opened, (std::vector<fs::path>{galleries / "index.html"}));
}

TEST_F(SiteTest, StyleFileNamesIgnoreCase) {
    AddAlbum("A", 3, true);
    StyleFile("Thumbs.HTML", kThumbs);
    StyleFile("IMAGES.html", kImages);
    StyleFile("Style.JPG", "jpeg");
    Generate();
    EXPECT_EQ(Files(galleries / "A"),
              (std::vector<std::string>{"imagepage0.html", "imagepage1.html", "imagepage2.html", "index.html",
                                        "thumbpage0.html"}));
    EXPECT_EQ(Count(ReadBytes(galleries / "A" / "thumbpage0.html"), "[thumbs/"), 3);
}

TEST_F(SiteTest, ScriptTemplateGetsTheHeadLinesToo) {
    AddAlbum("A", 1, true);
    StyleFile("script.js", "var a = 1;\r\nvar b = '/#IMAGECOUNT#/';\r\n");
    StyleFile("readme", "/#IMAGECOUNT#/");
    Generate();
    const THeadLines& head = ProgramHeadLines();
    std::vector<std::string> lines;
    ReadLineFile(galleries / "A" / "script.js", lines);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"var a = 1;", head.copyright, head.author, head.legal, "var b = '1';",
                                        "", head.generatorComment, head.copyrightComment}));
    EXPECT_EQ(ReadBytes(galleries / "A" / "readme"), "/#IMAGECOUNT#/");
}

TEST_F(SiteTest, ExactBytesOfAnOverviewPage) {
    AddAlbum("A", 2, true);
    StyleFile("thumbs.html",
              "<html>\r\n<head><title>/#GALLERYTITLE#/</title></head>\r\n"
              "<!--/#ALLTHUMBS#/--><img src=\"<!--/#THUMBURL#/-->\"><!--/#ENDALLTHUMBS#/-->\r\n");
    Generate();
    const THeadLines& head = ProgramHeadLines();
    EXPECT_EQ(ReadBytes(galleries / "A" / "thumbpage0.html"),
              "<html>\r\n<head><title>A</title></head>\r\n" + head.copyright + "\r\n" + head.author + "\r\n" +
                  head.legal + "\r\n<img src=\"thumbs/p100.jpg\"><img src=\"thumbs/p101.jpg\">\r\n\r\n" +
                  head.generatorComment + "\r\n" + head.copyrightComment + "\r\n");
}

TEST(HeadLines, TextsNameTheProgramAndItsVersion) {
    const THeadLines& head = ProgramHeadLines();
    EXPECT_TRUE(StartsWith(head.copyright, "<meta NAME=\"Copyright\" CONTENT=\""));
    EXPECT_NE(head.copyright.find("Version " VISTREL_VERSION " "), std::string::npos);
    EXPECT_EQ(head.author, "<meta NAME=\"Author\" CONTENT=\"Vantro\xAE Vistrel\">");
    EXPECT_TRUE(StartsWith(head.legal, "<meta NAME=\"Legal\" CONTENT=\""));
    EXPECT_TRUE(StartsWith(head.generatorComment, "<!--"));
    EXPECT_NE(head.generatorComment.find("Vantro\xAE Vistrel Version " VISTREL_VERSION " "),
              std::string::npos);
    EXPECT_TRUE(StartsWith(head.copyrightComment, "<!--"));
}

TEST(HeadLines, PlacementRule) {
    const THeadLines head{"1", "2", "3", "4", "5"};
    struct Case {
        const char* name;
        std::vector<std::string> page;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"meta first",
         {"<html>", "<head>", "<META charset=x>", "<title>t</title>"},
         {"<html>", "<head>", "<META charset=x>", "1", "2", "3", "<title>t</title>", "4", "5"}},
        {"title before head",
         {"<HTML>", "x <TITLE>t", "<head>"},
         {"<HTML>", "x <TITLE>t", "1", "2", "3", "<head>", "4", "5"}},
        {"head",
         {"a", "<html lang=de>", "<Head>"},
         {"a", "<html lang=de>", "<Head>", "1", "2", "3", "4", "5"}},
        {"html needs its bracket",
         {"a", "<html lang=de>", "b <html>"},
         {"a", "<html lang=de>", "b <html>", "1", "2", "3", "4", "5"}},
        {"none of them", {"a", "<title >", "c"}, {"a", "1", "2", "3", "<title >", "c", "4", "5"}},
        {"empty page", {}, {"1", "2", "3", "4", "5"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> page = c.page;
        InsertHeadLines(page, head);
        EXPECT_EQ(page, c.expected) << c.name;
    }
}

TEST(StyleFiles, TemplateExtensions) {
    struct Case {
        const char* name;
        bool isTemplate;
    };
    const Case cases[] = {
        {"a.htm", true},  {"a.HTML", true},  {"a.xhtml", true}, {"a.xml", true},    {"a.php", true},
        {"a.php3", true}, {"a.php4", true},  {"a.js", true},    {"a.asp", true},    {"postcard.htm", true},
        {"a.ht", true},   {"a.p", true},     {"a.x", true},     {"a.css", false},   {"a.gif", false},
        {"a.jpg", false}, {"a.php5", false}, {"README", false}, {"a.tar.js", true}, {"a.js.bak", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsTemplateName(c.name), c.isTemplate) << c.name;
}

TEST(ThumbsPerPage, SettingText) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {{"12", 12}, {"5", 5},  {"1", 1},   {"abc", 12},
                          {"", 12},   {"0", 12}, {"-3", 12}, {"7x", 12}};
    for (const Case& c : cases)
        EXPECT_EQ(ThumbsPerPageSetting(c.text), c.expected) << c.text;
}

TEST_F(SiteTest, ThumbsPerPageNotANumberGivesTwelve) {
    AddAlbum("A", 25, true);
    StyleFile("thumbs.html", kThumbs);
    Setting("edNoOfThumbs_Text=abc");
    Generate();
    EXPECT_TRUE(fs::exists(galleries / "A" / "thumbpage2.html"));
    EXPECT_FALSE(fs::exists(galleries / "A" / "thumbpage3.html"));
    EXPECT_EQ(Count(ReadBytes(galleries / "A" / "thumbpage1.html"), "[thumbs/"), 12);
}

TEST_F(SiteTest, FirstPublishedAlbumWithoutPictures) {
    AddAlbum("Leer", 0, true);
    AddAlbum("Voll", 2, true);
    StyleFile("thumbs.html", kThumbs);
    WriteBytes(galleries / "Leer" / "old.html", "old");
    TSiteResult result = Generate();
    EXPECT_EQ(result.startPage, galleries / "Voll" / "index.html");
    // The empty album is cleaned but receives nothing.
    EXPECT_TRUE(Files(galleries / "Leer").empty());
}

TEST_F(SiteTest, RootIndexIsTheStartPageEvenAfterAnEmptyAlbum) {
    AddAlbum("Leer", 0, true);
    AddAlbum("Voll", 2, true);
    StyleFile("index.html", "/#ALLGALLERIES#/x/#ENDALLGALLERIES#/");
    TSiteResult result = Generate();
    EXPECT_EQ(result.startPage, galleries / "index.html");
    EXPECT_TRUE(result.result.Ok());
}

TEST_F(SiteTest, CancelDuringTheSecondAlbumsOverviewPages) {
    AddAlbum("A", 3, true);
    AddAlbum("B", 30, true);
    StyleFile("index.html", "root");
    StyleFile("thumbs.html", kThumbs);
    StyleFile("images.html", kImages);
    Setting("edNoOfThumbs_Text=10");
    progress.cancelWhen = [&](const RecordingProgress&, const fs::path& file) {
        return file == galleries / "B" / "thumbpage0.html";
    };
    TSiteResult result = Generate();
    // The page loop does not look at the flag: all overview pages of B are written, then nothing more.
    EXPECT_TRUE(fs::exists(galleries / "B" / "thumbpage2.html"));
    EXPECT_FALSE(fs::exists(galleries / "B" / "imagepage0.html"));
    EXPECT_FALSE(fs::exists(galleries / "index.html"));
    EXPECT_TRUE(result.startPageExists);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.result.code, TSiteCode::Cancelled);
    EXPECT_EQ(SiteMessage(result.result), "");
    EXPECT_TRUE(host.opened.empty());
    EXPECT_EQ(host.unlocks, 1);
}

TEST_F(SiteTest, CancelStopsBeforeTheNextStyleFile) {
    AddAlbum("A", 1, true);
    StyleFile("a.html", "a");
    StyleFile("b.html", "b");
    progress.cancelWhen = [](const RecordingProgress&, const fs::path& file) {
        return file.filename() == "a.html";
    };
    Generate();
    EXPECT_EQ(Files(galleries / "A"), (std::vector<std::string>{"a.html"}));
}

TEST_F(SiteTest, DeletesEarlierFilesButNotTheListsOrFolders) {
    AddAlbum("A", 1, true);
    AddAlbum("B", 1, false);
    StyleFile("new.html", "new");
    WriteBytes(galleries / "A" / "old.css", "old");
    WriteBytes(galleries / "A" / "info.txt", "p100.jpg\tTitel\r\n");
    WriteBytes(galleries / "B" / "old.css", "old");
    WriteBytes(galleries / "stale.html", "old");
    Generate();
    EXPECT_EQ(Files(galleries / "A"), (std::vector<std::string>{"info.txt", "new.html"}));
    EXPECT_EQ(ReadBytes(galleries / "A" / "info.txt"), "p100.jpg\tTitel\r\n");
    EXPECT_TRUE(fs::exists(galleries / "A" / "thumbs" / "p100.jpg"));
    EXPECT_TRUE(fs::exists(galleries / "B" / "old.css"));
    EXPECT_EQ(Files(galleries), (std::vector<std::string>{"info.txt", "new.html"}));
}

TEST_F(SiteTest, NoAlbumAtAll) {
    StyleFile("index.html", "x");
    auto context = Start();
    // Start-up always makes one album; a list emptied later is what this case is about.
    context->albums.Albums().clear();
    context->albums.SetCurrent(TAlbumList::kNone);
    TSiteResult result = GenerateSite(SiteParamsOf(*context, TSiteMode::Preview), progress, host);
    EXPECT_FALSE(result.startPageExists);
    EXPECT_EQ(result.result.code, TSiteCode::NoStartPage);
    EXPECT_EQ(SiteMessage(result.result), "Es wurde keine Seite erstellt: kein ver\xF6"
                                          "ffentlichtes Album enth\xE4lt Bilder.");
    EXPECT_EQ(prompts.messages, (std::vector<std::string>{"Es ist kein Album ausgew\xE4hlt."}));
    EXPECT_EQ(progress.starts, 0);
    EXPECT_EQ(host.unlocks, 1);
    EXPECT_FALSE(fs::exists(galleries / "index.html"));
    prompts.messages.clear();
    GenerateSite(SiteParamsOf(*context, TSiteMode::Publish), progress, host);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(SiteTest, NothingPublishedPublishesTheCurrentAlbum) {
    AddAlbum("A", 1, false);
    AddAlbum("B", 1, false);
    StyleFile("thumbs.html", kThumbs);
    TSiteResult result = Generate();
    EXPECT_EQ(host.published, (std::vector<int>{0}));
    EXPECT_TRUE(lastAlbums[0].Published);
    EXPECT_EQ(result.startPage, galleries / "A" / "index.html");
    EXPECT_FALSE(fs::exists(galleries / "B" / "index.html"));
}

TEST_F(SiteTest, NoPublishedAlbumHasPictures) {
    AddAlbum("A", 0, true);
    StyleFile("index.html", "root");
    TSiteResult result = Generate();
    EXPECT_FALSE(result.startPageExists);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(fs::exists(galleries / "index.html"));
    EXPECT_TRUE(host.opened.empty());
}

TEST_F(SiteTest, PreviewPictureRepair) {
    for (const char* name : {"Empty", "Blank", "Gone", "Good"})
        AddAlbum(name, 2, true);
    AddAlbum("NoPictures", 0, true);
    auto context = Start();
    const char* stored[] = {"", " p101.jpg", "p999.jpg", "p101.jpg", "p999.jpg"};
    for (int i = 0; i < 5; ++i)
        context->albums[i].PreviewPicture = stored[i];
    GenerateSite(SiteParamsOf(*context, TSiteMode::Publish), progress, host);
    std::vector<std::string> previews;
    for (const TAlbumEntry& album : context->albums.Albums())
        previews.push_back(album.PreviewPicture);
    EXPECT_EQ(previews,
              (std::vector<std::string>{"p100.jpg", "p100.jpg", "p100.jpg", "p101.jpg", "p999.jpg"}));
}

TEST_F(SiteTest, ProgressCountsAndSteps) {
    AddAlbum("A", 3, true);
    StyleFile("thumbs.html", kThumbs);
    StyleFile("images.html", kImages);
    StyleFile("x.html", "x");
    StyleFile("x.css", "x");
    Setting("edNoOfThumbs_Text=2");
    Generate();
    EXPECT_EQ(progress.total, 2 * (4 - 2) + 3);
    // x.css, x.html, two overview pages, three picture pages; then x.css and x.html for the root.
    EXPECT_EQ(progress.done, 2 + 2 + 3 + 2);
    EXPECT_EQ(progress.steps,
              (std::vector<std::string>{"Verarbeite Dateien der Stilvorlage",
                                        "Erzeuge \xDC"
                                        "bersichtsseiten",
                                        "Erzeuge Bildseiten", "Verarbeite Dateien der Stilvorlage"}));
}

TEST_F(SiteTest, PageThatCannotBeWrittenEndsTheRun) {
    AddAlbum("A", 2, true);
    StyleFile("thumbs.html", kThumbs);
    StyleFile("images.html", kImages);
    // A folder in the way of a page: the page cannot replace it.
    fs::create_directories(galleries / "A" / "imagepage1.html");
    auto context = Start();
    TSiteResult result = GenerateSite(SiteParamsOf(*context, TSiteMode::Preview), progress, host);
    EXPECT_EQ(result.result.code, TSiteCode::WriteFailed);
    EXPECT_NE(result.result.detail.find("imagepage1.html"), std::string::npos) << result.result.detail;
    EXPECT_FALSE(result.startPageExists);
    EXPECT_NE(SiteMessage(result.result).find(result.result.detail), std::string::npos);
    EXPECT_EQ(progress.closes, 1);
    EXPECT_EQ(host.unlocks, 1);
    EXPECT_TRUE(host.opened.empty());
    // The atomic write leaves no temporary file behind.
    EXPECT_EQ(Files(galleries / "A"),
              (std::vector<std::string>{"imagepage0.html", "index.html", "thumbpage0.html"}));
}

TEST_F(SiteTest, AlbumFolderOutsideTheAlbumFolderIsNotCleaned) {
    AddAlbum("A", 1, true);
    StyleFile("x.html", "x");
    WriteBytes(dir / "keep.txt", "mine");
    auto context = Start();
    context->albums[0].FolderName = "..";
    GenerateSite(SiteParamsOf(*context, TSiteMode::Publish), progress, host);
    EXPECT_EQ(ReadBytes(dir / "keep.txt"), "mine");
    EXPECT_FALSE(fs::exists(dir / "x.html"));
}

// A rebuild leaves a page that comes out as before untouched (its time too, so the upload sees
// nothing new), rewrites a changed one and still removes what an earlier style left behind. A link
// left in the site where a style file goes is replaced, never written through.
TEST_F(SiteTest, RebuildKeepsUnchangedPagesAndSweepsTheRest) {
    AddAlbum("A", 2, true);
    StyleFile("thumbs.html", kThumbs);
    StyleFile("images.html", kImages);
    StyleFile("style.css", "body {}");
    Generate();
    const fs::path album = galleries / "A";
    const std::vector<std::string> files = Files(album);
    const auto old = fs::last_write_time(album / "imagepage0.html") - std::chrono::hours(24);
    fs::last_write_time(album / "imagepage0.html", old);
    fs::last_write_time(album / "thumbpage0.html", old);
    WriteBytes(album / "earlier.html", "from another style");
    WriteBytes(dir / "secret.txt", "outside");
    fs::remove(album / "style.css");
    fs::create_symlink(dir / "secret.txt", album / "style.css");
    StyleFile("thumbs.html", "changed " + kThumbs);

    Generate();
    EXPECT_EQ(Files(album), files);
    EXPECT_EQ(fs::last_write_time(album / "imagepage0.html"), old);
    EXPECT_NE(fs::last_write_time(album / "thumbpage0.html"), old);
    EXPECT_EQ(Body(album / "thumbpage0.html").front().substr(0, 8), "changed ");
    EXPECT_EQ(ReadBytes(dir / "secret.txt"), "outside");
    EXPECT_FALSE(fs::is_symlink(album / "style.css"));
    EXPECT_EQ(ReadBytes(album / "style.css"), "body {}");
}
