// The keywords that give renditions, sizes, attribute texts and the window of page links, with and
// without renditions, on album and root pages.
#include "site_generator/template_picture_keywords.h"
#include "template_fixture.h"

using namespace vistrel;

namespace {

struct PictureKeywords : vistrel::testing::TemplateTest {
    // Renditions for pictures p0 (3000 x 2000) and p1 (1365 x 2048); p2 could not be read.
    void SetRenditions() {
        state.Renditions = {PlanRenditions("p0.jpg", 3000, 2000), PlanRenditions("p1.jpg", 1365, 2048),
                            PlanRenditions("p2.jpg", 0, 0)};
        state.Renditions[0].ready = state.Renditions[1].ready = true;
    }
};

struct Row {
    const char* name;
    int cursor;
    const char* text;
    const char* expected;
};

TEST_F(PictureKeywords, PicturePageValuesComeFromTheLadder) {
    const Row rows[] = {
        {"size of the largest rendition", 0, "/#IMAGEWIDTH#/x/#IMAGEHEIGHT#/", "2048x1365"},
        {"a portrait keeps its own width", 1, "/#IMAGEWIDTH#/x/#IMAGEHEIGHT#/", "1365x2048"},
        {"plain src is the rung at or below 1200", 0, "/#IMAGESRC#/", "renditions/p0-1200.jpg"},
        {"jpeg ladder", 1, "/#IMAGESRCSET#/",
         "renditions/p1-480.jpg 480w, renditions/p1-800.jpg 800w, renditions/p1-1200.jpg 1200w, "
         "renditions/p1-1365.jpg 1365w"},
        {"webp ladder", 0, "/#IMAGESRCSETWEBP#/",
         "renditions/p0-480.webp 480w, renditions/p0-800.webp 800w, renditions/p0-1200.webp 1200w, "
         "renditions/p0-1600.webp 1600w, renditions/p0-2048.webp 2048w"},
        {"viewer source is the largest webp", 1, "/#IMAGEFULLSRC#/", "renditions/p1-1365.webp"},
        {"unreadable picture falls back to the stored one", 2,
         "[/#IMAGESRC#/|/#IMAGESRCSETWEBP#/|/#IMAGEWIDTH#/]", "[images/p2.jpg|images/p2.jpg|]"},
        {"alt is the title", 0, "/#IMAGEALT#/", "T0"},
    };
    for (const Row& row : rows) {
        SetPicturePhase(3, row.cursor);
        SetRenditions();
        EXPECT_EQ(ExpandLine(row.text), row.expected) << row.name;
    }
}

TEST_F(PictureKeywords, OverviewValuesOfferThumbnailDensitiesAndSmallRungs) {
    const Row rows[] = {
        {"1x size", 0, "/#ALLTHUMBS#//#THUMBWIDTH#/x/#THUMBHEIGHT#/ /#ENDALLTHUMBS#/", "120x80 80x120 x "},
        {"densities and rungs up to 1200", 0,
         "/#ALLTHUMBS#//#THUMBSRCSET#/|/#NEXTTHUMB#//#NEXTTHUMB#//#ENDALLTHUMBS#/",
         "renditions/p0-120.jpg 120w, renditions/p0-240.jpg 240w, renditions/p0-360.jpg 360w, "
         "renditions/p0-480.jpg 480w, renditions/p0-800.jpg 800w, renditions/p0-1200.jpg 1200w|"},
        {"portrait densities by width", 0,
         "/#ALLTHUMBS#//#NEXTTHUMB#//#THUMBSRCSETWEBP#/|/#NEXTTHUMB#//#ENDALLTHUMBS#/",
         "renditions/p1-80.webp 80w, renditions/p1-160.webp 160w, renditions/p1-240.webp 240w, "
         "renditions/p1-480.webp 480w, renditions/p1-800.webp 800w, renditions/p1-1200.webp 1200w|"},
        {"1x src, viewer values", 0,
         "/#ALLTHUMBS#//#THUMBSRC#/ /#THUMBFULLSRC#/ "
         "/#THUMBFULLWIDTH#/x/#THUMBFULLHEIGHT#/|/#NEXTTHUMB#//#NEXTTHUMB#//#ENDALLTHUMBS#/",
         "renditions/p0-120.jpg renditions/p0-2048.webp 2048x1365|"},
        {"fallback to the stored thumbnail and picture", 0,
         "/#ALLTHUMBS#//#NEXTTHUMB#//#NEXTTHUMB#//#THUMBSRC#/ /#THUMBSRCSET#/ /#THUMBFULLSRC#/ "
         "/#THUMBFULLSRCSETWEBP#//#ENDALLTHUMBS#/",
         "thumbs/p2.jpg thumbs/p2.jpg images/p2.jpg images/p2.jpg"},
        {"box", 0, "/#THUMBBOX#/", "120"},
    };
    for (const Row& row : rows) {
        SetOverviewPhase(3, 12, row.cursor);
        SetRenditions();
        EXPECT_EQ(ExpandLine(row.text), row.expected) << row.name;
    }
}

TEST_F(PictureKeywords, FirstTilesLoadAtOnceAndTheRestLazily) {
    SetOverviewPhase(20, 8, 1);
    EXPECT_EQ(ExpandLine("/#ALLTHUMBS#//#THUMBLOADING#/ /#ENDALLTHUMBS#/"),
              "eager eager eager eager eager eager lazy lazy ");
    SetAlbumPhase(0, 1, 12);
    EXPECT_EQ(ExpandLine("/#ALLGALLERIES#//#GALLERYLOADING#/ /#ENDALLGALLERIES#/"), "eager eager eager ");
}

TEST_F(PictureKeywords, CoverValuesLinkIntoTheAlbumFromRootAndAlbumPages) {
    state.CoverRenditions[1] = PlanRenditions("b0.jpg", 800, 600);
    state.CoverRenditions[1].ready = true;
    const char* text = "/#ALLGALLERIES#//#GALLERYIMAGESRC#/ "
                       "/#GALLERYIMAGEWIDTH#/x/#GALLERYIMAGEHEIGHT#/;/#ENDALLGALLERIES#/";
    state.RootMode = true;
    EXPECT_EQ(ExpandLine(text),
              "Alpen/thumbs/a0.jpg x;Bodensee/renditions/b0-120.jpg 120x90;Chiemgau/thumbs/c0.jpg x;");
    state.RootMode = false;
    state.CurrentAlbum = 1;
    EXPECT_EQ(ExpandLine("/#GALLERYIMAGESRCSETWEBP#/"),
              "../Bodensee/renditions/b0-120.webp 120w, ../Bodensee/renditions/b0-240.webp 240w, "
              "../Bodensee/renditions/b0-360.webp 360w, ../Bodensee/renditions/b0-480.webp 480w, "
              "../Bodensee/renditions/b0-800.webp 800w");
}

TEST_F(PictureKeywords, AltTextNamesAPictureWithoutTitleAndIsSafeInAnAttribute) {
    SetOverviewPhase(3, 12, 0);
    state.Pictures[0] = TPictureEntry({"p0.jpg", "", ""});
    state.Pictures[1] = TPictureEntry({"p1.jpg", "Der \"Hafen\" <b>bei</b> Nacht", ""});
    EXPECT_EQ(ExpandLine("/#ALLTHUMBS#/[/#THUMBALT#/]/#ENDALLTHUMBS#/"),
              "[Bild 1 von 3][Der &quot;Hafen&quot; bei Nacht][T2]");
}

TEST_F(PictureKeywords, DescriptionTakesTheAlbumsOrTheSitesText) {
    SetAlbumPhase(0, 3, 12);
    EXPECT_EQ(ExpandLine("/#PAGEDESCRIPTION#/"), "Info A");
    albums[0].Info = "";
    EXPECT_EQ(ExpandLine("/#PAGEDESCRIPTION#/"), "Text A");
    albums[0].Text = "";
    EXPECT_EQ(ExpandLine("/#PAGEDESCRIPTION#/"), "Berge");
    state.RootMode = true;
    settings.edIndexText1 = {"Reisen und", "St\xe4"
                                           "dte"};
    EXPECT_EQ(ExpandLine("/#PAGEDESCRIPTION#/"), "Reisen und St\xe4"
                                                 "dte");
    settings.edIndexText1 = {};
    EXPECT_EQ(ExpandLine("/#PAGEDESCRIPTION#/"), "Site");
    settings.edSiteTitle = "";
    EXPECT_EQ(ExpandLine("/#PAGEDESCRIPTION#/"), "Fotoalben");
}

TEST_F(PictureKeywords, PageLinksShowAWindowAroundTheCurrentPage) {
    struct PagesRow {
        const char* name;
        int pictures;
        int page;
        const char* expected;
    };
    const PagesRow rows[] = {
        {"one page", 5, 0, "<a href=\"thumbpage0.html\" aria-current=\"page\">1</a>"},
        {"three pages, all shown", 30, 1,
         "<a href=\"thumbpage0.html\">1</a> <a href=\"thumbpage1.html\" aria-current=\"page\">2</a> "
         "<a href=\"thumbpage2.html\">3</a>"},
        {"167 pages, in the middle", 2000, 80,
         "<a href=\"thumbpage0.html\">1</a> <span class=\"gap\" aria-hidden=\"true\">&hellip;</span> "
         "<a href=\"thumbpage78.html\">79</a> <a href=\"thumbpage79.html\">80</a> "
         "<a href=\"thumbpage80.html\" aria-current=\"page\">81</a> <a href=\"thumbpage81.html\">82</a> "
         "<a href=\"thumbpage82.html\">83</a> <span class=\"gap\" aria-hidden=\"true\">&hellip;</span> "
         "<a href=\"thumbpage166.html\">167</a>"},
        {"167 pages, at the start", 2000, 0,
         "<a href=\"thumbpage0.html\" aria-current=\"page\">1</a> <a href=\"thumbpage1.html\">2</a> "
         "<a href=\"thumbpage2.html\">3</a> <span class=\"gap\" aria-hidden=\"true\">&hellip;</span> "
         "<a href=\"thumbpage166.html\">167</a>"},
        {"neighbour of the first page joins without a gap", 2000, 3,
         "<a href=\"thumbpage0.html\">1</a> <a href=\"thumbpage1.html\">2</a> <a "
         "href=\"thumbpage2.html\">3</a> "
         "<a href=\"thumbpage3.html\" aria-current=\"page\">4</a> <a href=\"thumbpage4.html\">5</a> "
         "<a href=\"thumbpage5.html\">6</a> <span class=\"gap\" aria-hidden=\"true\">&hellip;</span> "
         "<a href=\"thumbpage166.html\">167</a>"},
    };
    for (const PagesRow& row : rows) {
        SetOverviewPhase(row.pictures, 12, row.page);
        EXPECT_EQ(ExpandLine("/#THUMBPAGELINKS#/"), row.expected) << row.name;
    }
}

TEST_F(PictureKeywords, RenditionsOfAnotherAlbumAreNeverUsed) {
    SetRenditions();
    SetPictures(0);
    EXPECT_EQ(ExpandLine("[/#THUMBSRCSET#/|/#IMAGEWIDTH#/]"), "[|]");
    SetPictures(2);
    EXPECT_EQ(ExpandLine("[/#IMAGESRC#/]"), "[images/p0.jpg]");
}

TEST(PictureKeywordNeeds, OnlyRenditionKeywordsInATagCount) {
    using picture_keywords::TemplateNeedsRenditions;
    EXPECT_TRUE(TemplateNeedsRenditions("<img srcset=\"<!--/#ThumbSrcSet#/-->\">"));
    EXPECT_TRUE(TemplateNeedsRenditions("x /#GALLERYIMAGEWIDTH#/"));
    EXPECT_FALSE(TemplateNeedsRenditions("<img src=\"<!--/#THUMBURL#/-->\"> IMAGESRCSET /#THUMBALT#/"));
    EXPECT_FALSE(TemplateNeedsRenditions("/#IMAGEWIDTH"));
}

} // namespace
