// The value keywords: page links and counts of a paged album, text joining, album links, fallbacks.
#include "template_fixture.h"

using namespace vistrel;

namespace {

struct TemplateKeywords : vistrel::testing::TemplateTest {};

TEST_F(TemplateKeywords, OverviewPagesOf25PicturesWith12PerPage) {
    struct Row {
        const char* name;
        int page;
        const char* text;
        const char* expected;
    };
    const Row rows[] = {
        {"next from the first page", 0, "/#NEXTTHUMBURL#/", "thumbpage1.html"},
        {"no previous on the first page", 0, "[/#PREVTHUMBURL#/]", "[]"},
        {"no next on the last page", 2, "[/#NEXTTHUMBURL#/]", "[]"},
        {"previous from the last page", 2, "/#PREVTHUMBURL#/", "thumbpage1.html"},
        {"page count", 1, "/#THUMBPAGECOUNT#/", "3"},
        {"page number is 1-based", 2, "/#THUMBPAGENUMBER#/", "3"},
        {"picture count is the whole album", 2, "/#IMAGECOUNT#/", "25"},
        {"first thumbnail of the second page", 1,
         "/#ALLTHUMBS#//#THUMBNUMBER#/ /#IMAGEPAGEURL#/ /#THUMBURL#/ /#THUMBTITLE#/",
         "12 imagepage12.html thumbs/p12.jpg T12"},
        {"last page holds one thumbnail", 2, "/#ALLTHUMBS#//#THUMBNUMBER#/,/#ENDALLTHUMBS#/", "24,"},
    };
    for (const auto& row : rows) {
        SetOverviewPhase(25, 12, row.page);
        EXPECT_EQ(ExpandLine(row.text), row.expected) << row.name;
    }
}

TEST_F(TemplateKeywords, ThumbPageLoopOfTheAlbumTemplate) {
    const char* text =
        "/#ALLTHUMBPAGES#//#THUMBPAGEURL#/,/#THUMBPAGENAME#/,/#THUMBSPERPAGE#/;/#ENDALLTHUMBPAGES#/";
    SetAlbumPhase(0, 25, 12);
    EXPECT_EQ(ExpandLine(text), "thumbpage0.html,1,12;thumbpage1.html,2,12;thumbpage2.html,3,1;");
    SetAlbumPhase(0, 5, 12);
    EXPECT_EQ(ExpandLine(text), "thumbpage0.html,1,12;") << "fewer pictures than a page gives a full page";
    SetAlbumPhase(0, 24, 12);
    EXPECT_EQ(ExpandLine(text), "thumbpage0.html,1,12;thumbpage1.html,2,12;");
}

TEST_F(TemplateKeywords, ThumbsPerPageWithoutAPageSizeGivesNothing) {
    SetAlbumPhase(0, 25, 12);
    state.ThumbsPerPage = 0;
    EXPECT_EQ(ExpandLine("[/#THUMBSPERPAGE#/]"), "[]");
}

TEST_F(TemplateKeywords, LoopCountersOutsideTheirLoopStartAtZero) {
    EXPECT_EQ(ExpandLine("/#GALLERYNUMBER#/ /#THUMBPAGEURL#/ /#THUMBPAGENAME#/"), "0 thumbpage0.html 1");
}

TEST_F(TemplateKeywords, PicturePagesOfAFourPictureAlbum) {
    struct Row {
        const char* name;
        int page;
        const char* text;
        const char* expected;
    };
    const Row rows[] = {
        {"next wraps to the first from the last", 3, "/#NEXTIMAGEURL#/", "imagepage0.html"},
        {"previous of the first is the first", 0, "/#PREVIMAGEURL#/", "imagepage0.html"},
        {"next in the middle", 1, "/#NEXTIMAGEURL#/", "imagepage2.html"},
        {"previous in the middle", 1, "/#PREVIMAGEURL#/", "imagepage0.html"},
        {"previous of the last", 3, "/#PREVIMAGEURL#/", "imagepage2.html"},
        {"numbers", 2, "/#IMAGEPAGENUMBER#//#IMAGEPAGECOUNT#/", "34"},
        {"picture of the page", 2, "/#IMAGEURL#/ /#IMAGETITLE#/", "images/p2.jpg T2"},
    };
    for (const auto& row : rows) {
        SetPicturePhase(4, row.page);
        EXPECT_EQ(ExpandLine(row.text), row.expected) << row.name;
    }
}

TEST_F(TemplateKeywords, PictureValuesOutsideTheAlbum) {
    SetPictures(3);
    struct Row {
        const char* name;
        int cursor;
        const char* text;
        const char* expected;
    };
    const Row rows[] = {
        {"link past the end falls back to the first picture", 3, "/#THUMBURL#/", "thumbs/p0.jpg"},
        {"negative cursor falls back too", -1, "/#THUMBURL#/", "thumbs/p0.jpg"},
        {"title past the end is empty", 3, "[/#THUMBTITLE#/]", "[]"},
        {"negative title is empty", -1, "[/#THUMBTITLE#/]", "[]"},
        {"text past the end is empty", 3, "[/#THUMBTEXT#/]", "[]"},
    };
    for (const auto& row : rows) {
        state.CurrentThumb = row.cursor;
        EXPECT_EQ(ExpandLine(row.text), row.expected) << row.name;
    }
    state.Pictures.clear();
    state.CurrentImage = 0;
    EXPECT_EQ(ExpandLine("[/#IMAGEURL#/][/#THUMBURL#/]"), "[][]") << "no pictures: not even the folder";
}

TEST_F(TemplateKeywords, TextJoining) {
    SetPictures(1);
    state.CurrentThumb = state.CurrentImage = 0;
    settings.edIndexText1 = {"line1", "line2"};
    settings.edIndexText2 = {"only"};
    settings.edImpressum = {"line1", "line2"};
    settings.edFootnote = "f1\r\nf2";
    settings.edEmail = "a\r\nb";
    settings.edSiteTitle = "s1\r\ns2\ns3";
    albums[0].Text = "a1\nb1\r\n";
    albums[0].Info = "i1\r\ni2";
    struct Row {
        const char* name;
        const char* text;
        std::string pictureText;
        const char* expected;
    };
    const Row rows[] = {
        {"picture text: each line ended", "/#THUMBTEXT#/", "line1\r\nline2", "line1<br>line2<br>"},
        {"picture text: LF, CR and a final line end", "/#IMAGETEXT#/", "a\nb\rc\n", "a<br>b<br>c<br>"},
        {"empty picture text", "[/#IMAGETEXT#/]", "", "[]"},
        {"empty line inside a picture text", "/#IMAGETEXT#/", "a\r\n\r\nb", "a<br><br>b<br>"},
        {"picture text of one line end", "/#IMAGETEXT#/", "\n", "<br>"},
        {"index text joined", "/#INDEXTEXT1#/", "", "line1<br>line2"},
        {"one-line index text", "/#INDEXTEXT2#/", "", "only"},
        {"impressum: each line ended", "/#CONTACTINFO#/", "", "line1<br>line2<br>"},
        {"footnote: CR LF becomes <br>", "/#FOOTNOTE#/", "", "f1<br>f2"},
        {"email as is", "/#EMAIL#/", "", "a\r\nb"},
        {"site title: only CR LF pairs", "/#SITETITLE#/", "", "s1<br>s2\ns3"},
        {"album text joined", "/#GALLERYINFOTEXT#/", "", "a1<br>b1"},
        {"album info", "/#GALLERYINFO#/", "", "i1<br>i2"},
    };
    for (const auto& row : rows) {
        state.Pictures[0].SetText(row.pictureText);
        EXPECT_EQ(ExpandLine(row.text), row.expected) << row.name;
    }
}

TEST_F(TemplateKeywords, AlbumLinksDependOnRootMode) {
    state.CurrentAlbum = 1;
    state.RootMode = false;
    EXPECT_EQ(ExpandLine("/#GALLERYPAGEURL#/ /#GALLERYIMAGE#/"),
              "../Bodensee/index.html ../Bodensee/thumbs/b0.jpg");
    state.RootMode = true;
    EXPECT_EQ(ExpandLine("/#GALLERYPAGEURL#/ /#GALLERYIMAGE#/"),
              "Bodensee/index.html Bodensee/thumbs/b0.jpg");
}

TEST_F(TemplateKeywords, AlbumValuesOutOfRangeGiveNothing) {
    const char* text =
        "[/#GALLERYTITLE#//#GALLERYINFO#//#GALLERYINFOTEXT#//#GALLERYIMAGE#//#GALLERYPAGEURL#/]";
    state.CurrentAlbum = 3;
    EXPECT_EQ(ExpandLine(text), "[]");
    state.CurrentAlbum = -1;
    EXPECT_EQ(ExpandLine(text), "[]");
    state.Albums = nullptr;
    state.CurrentAlbum = 0;
    EXPECT_EQ(ExpandLine(text), "[]");
}

TEST_F(TemplateKeywords, MarkupIsInsertedUnescaped) {
    albums[0].Title = "<b>Berge & T\xE4ler</b>";
    SetPictures(1);
    state.Pictures[0].SetTitle("<i>x</i>");
    state.CurrentAlbum = state.CurrentThumb = 0;
    EXPECT_EQ(ExpandLine("/#GALLERYTITLE#/|/#THUMBTITLE#/"), "<b>Berge & T\xE4ler</b>|<i>x</i>");
}

TEST_F(TemplateKeywords, SettingsKeywordsWithoutSettingsGiveNothing) {
    state.Settings = nullptr;
    EXPECT_EQ(ExpandLine("[/#SITETITLE#//#EMAIL#//#CONTACTINFO#//#INDEXTEXT1#//#FOOTNOTE#/]"), "[]");
    EXPECT_EQ(ExpandLine("[/#IFECARD#/x/#ENDIFECARD#/]"), "[]");
}

TEST_F(TemplateKeywords, NumbersBeyondTheIntRangeDoNotOverflow) {
    state.ThumbPageIndex = 2147483647;
    state.ThumbPageCount = -2147483647 - 1;
    EXPECT_EQ(ExpandLine("/#THUMBPAGENUMBER#/|/#NEXTTHUMBURL#/|/#PREVTHUMBURL#/"),
              "2147483648||thumbpage2147483646.html");
}

} // namespace
