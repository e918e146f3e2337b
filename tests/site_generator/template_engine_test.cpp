// The engine's rules: tag splitting, line structure, loops, skipping and conditionals.
#include "template_fixture.h"

using namespace vistrel;
using Lines = std::vector<std::string>;

namespace {

struct TemplateEngine : vistrel::testing::TemplateTest {};

TEST_F(TemplateEngine, TagSplitting) {
    struct Row {
        const char* name;
        const char* text;
        const char* expected;
    };
    const Row rows[] = {
        {"comment wrapper goes with the tag", "<!--/#SITETITLE#/-->", "Site"},
        {"bare tag", "a/#SITETITLE#/b", "aSiteb"},
        {"blanks break the wrapper", "<!-- /#SITETITLE#/ -->", "<!-- Site -->"},
        {"earlier comment in the same stretch", "<!-- x <!--/#SITETITLE#/-->", "<!-- x <!--Site-->"},
        {"wrapper needs both halves", "<!--/#SITETITLE#/ -->", "<!--Site -->"},
        {"each tag has its own stretch", "<!--/#SITETITLE#/--><!--/#SITETITLE#/-->", "SiteSite"},
        {"lower case keyword", "/#sitetitle#/", "Site"},
        {"mixed case keyword", "/#SiteTitle#/", "Site"},
        {"blanks inside the keyword", "[/# SITETITLE #/]", "[]"},
        {"close marker before the open marker", "a #/ b /#SITETITLE#/", "a #/ b /#SITETITLE#/"},
        {"unknown keyword vanishes with its wrapper", "x<!--/#NOSUCHTAG#/-->y", "xy"},
        {"empty keyword keeps its wrapper", "x<!--/##/-->y", "x<!---->y"},
        {"one hash serves both markers", "a/#/b", "ab"},
        {"open marker without close", "a/#SITETITLE", "a/#SITETITLE"},
        {"BREAK prefix", "a<!--/#BREAK here#/-->b", "ab"},
        {"prefix must be at the start", "a/#NOBREAK#/b", "ab"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ExpandLine(row.text), row.expected) << row.name;
}

TEST_F(TemplateEngine, EveryTemplateLineEndsItsOutputLine) {
    struct Row {
        const char* name;
        const char* text;
        Lines expected;
    };
    const Row rows[] = {
        {"empty template", "", {}},
        {"one line", "a", {"a", ""}},
        {"LF and CR end lines too", "a\nb\rc\r\n", {"a", "b", "c", ""}},
        {"empty first line opens the first output line", "\r\nb", {"b", ""}},
        {"empty line in the middle", "a\r\n\r\nb", {"a", "", "b", ""}},
        {"line that holds only a tag", "a\r\n/#BREAK#/\r\nb", {"a", "", "b", ""}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Expand(row.text), row.expected) << row.name;
}

TEST_F(TemplateEngine, UnreadableFileGivesNoLines) {
    Lines output;
    ExpandTemplate(state, dir / "missing.html", output);
    EXPECT_TRUE(output.empty());
}

TEST_F(TemplateEngine, ReadsTemplateFileAsBytes) {
    vistrel::testing::WriteBytes(dir / "page.html", "caf\xE9 /#sitetitle#/\r\nend\r\n");
    Lines output;
    ExpandTemplate(state, dir / "page.html", output);
    EXPECT_EQ(output, (Lines{"caf\xE9 Site", "end", ""}));
}

TEST_F(TemplateEngine, OneLineLoopStaysOnOneLine) {
    SetAlbumPhase(0, 3, 12);
    EXPECT_EQ(Expand("/#ALLTHUMBS#/x/#ENDALLTHUMBS#/"), (Lines{"xxx", ""}));
}

TEST_F(TemplateEngine, ThreeLineLoopRepeatsItsLines) {
    SetAlbumPhase(0, 3, 12);
    EXPECT_EQ(Expand("/#ALLTHUMBS#/\r\nx\r\n/#ENDALLTHUMBS#/"), (Lines{"", "x", "", "x", "", "x", "", ""}));
}

TEST_F(TemplateEngine, LoopBodyRunsOnceForAnEmptyRange) {
    SetAlbumPhase(0, 0, 12);
    EXPECT_EQ(ExpandLine("[/#ALLTHUMBS#/x/#ENDALLTHUMBS#/]"), "[x]");
    EXPECT_EQ(ExpandLine("[/#ALLIMAGEPAGES#/y/#ENDALLIMAGEPAGES#/]"), "[y]");
}

TEST_F(TemplateEngine, LoopsCountFromTheirScope) {
    SetOverviewPhase(25, 12, 1);
    EXPECT_EQ(ExpandLine("/#ALLTHUMBS#//#THUMBNUMBER#/,/#ENDALLTHUMBS#/"),
              "12,13,14,15,16,17,18,19,20,21,22,23,");
    SetPicturePhase(4, 2);
    EXPECT_EQ(ExpandLine("/#ALLIMAGES#//#IMAGEURL#//#ENDALLIMAGES#/"), "images/p2.jpg");
    state.ImagePageCount = 3;
    EXPECT_EQ(ExpandLine("/#ALLIMAGEPAGES#/i/#ENDALLIMAGEPAGES#/"), "iii");
}

TEST_F(TemplateEngine, CursorsKeepTheirValueAfterTheExpansion) {
    SetAlbumPhase(0, 3, 12);
    Expand("/#ALLTHUMBS#//#ENDALLTHUMBS#/");
    EXPECT_EQ(state.CurrentThumb, 3);
    EXPECT_EQ(ExpandLine("/#THUMBNUMBER#/"), "3");
}

TEST_F(TemplateEngine, NextThumbShowsTwoPerPass) {
    SetAlbumPhase(0, 5, 12);
    EXPECT_EQ(
        ExpandLine("/#ALLTHUMBS#/<tr>/#THUMBNUMBER#/,/#NEXTTHUMB#//#THUMBNUMBER#/</tr>/#ENDALLTHUMBS#/end"),
        "<tr>0,1</tr><tr>2,3</tr><tr>4,end");
}

TEST_F(TemplateEngine, NextThumbOnTheLastThumbnailInsideAnEnclosingLoop) {
    SetAlbumPhase(0, 3, 12);
    state.ThumbPageCount = 2;
    EXPECT_EQ(ExpandLine("/#ALLTHUMBPAGES#/[/#ALLTHUMBS#//#THUMBNUMBER#//#NEXTTHUMB#//#THUMBNUMBER#/;"
                         "/#ENDALLTHUMBS#/]/#ENDALLTHUMBPAGES#/."),
              "[01;2][01;2].");
}

TEST_F(TemplateEngine, NextThumbAcrossLinesSkipsToTheEndTag) {
    SetAlbumPhase(0, 1, 12);
    EXPECT_EQ(Expand("/#ALLTHUMBS#/a/#NEXTTHUMB#/b\r\nc\r\nd/#ENDALLTHUMBS#/e"), (Lines{"ae", ""}));
}

TEST_F(TemplateEngine, NextImageLeavesItsLoop) {
    SetPicturePhase(4, 0);
    state.ImageScopeCount = 3;
    EXPECT_EQ(ExpandLine("/#ALLIMAGES#/(/#IMAGETITLE#//#NEXTIMAGE#//#IMAGETITLE#/)/#ENDALLIMAGES#/."),
              "(T0T1)(T2.");
}

TEST_F(TemplateEngine, AllGalleriesSkipsUnpublishedAlbums) {
    albums[1].Published = false;
    state.CurrentAlbum = 1;
    EXPECT_EQ(ExpandLine("/#ALLGALLERIES#//#GALLERYNUMBER#/:/#GALLERYTITLE#/;/#ENDALLGALLERIES#/"
                         "/#GALLERYTITLE#/"),
              "1:Berge;2:Dorf;See");
    EXPECT_EQ(state.CurrentAlbum, 1);
}

TEST_F(TemplateEngine, AllGalleriesWithoutPublishedAlbumRunsOnceWithoutValues) {
    for (auto& album : albums)
        album.Published = false;
    state.CurrentAlbum = 2;
    EXPECT_EQ(ExpandLine("/#ALLGALLERIES#/[/#GALLERYTITLE#/]/#ENDALLGALLERIES#/"), "[]");
    EXPECT_EQ(state.CurrentAlbum, 2);
}

TEST_F(TemplateEngine, NextGalleryShowsTwoAlbumsPerPass) {
    EXPECT_EQ(
        ExpandLine("/#ALLGALLERIES#//#GALLERYTITLE#/,/#NEXTGALLERY#//#GALLERYTITLE#/;/#ENDALLGALLERIES#/."),
        "Berge,See;Dorf,.");
    EXPECT_EQ(state.CurrentAlbum, 0);
}

TEST_F(TemplateEngine, EndTagWithEmptyLoopStackRestartsTheFile) {
    SetAlbumPhase(0, 3, 12);
    EXPECT_EQ(Expand("a/#THUMBNUMBER#/\r\n/#ENDALLTHUMBS#/b"), (Lines{"a0", "", "a1", "", "a2", "b", ""}));
}

TEST_F(TemplateEngine, EndTagWithEmptyLoopStackGoesOnWhenItsLoopIsDone) {
    SetAlbumPhase(0, 3, 12);
    state.CurrentThumb = 2;
    EXPECT_EQ(ExpandLine("a/#ENDALLTHUMBS#/b"), "ab");
}

TEST_F(TemplateEngine, FirstThumbPageConditional) {
    const char* text = "/#IFFIRSTTHUMBPAGE#/first/#ELSEIFFIRSTTHUMBPAGE#/other/#ENDIFFIRSTTHUMBPAGE#/.";
    SetOverviewPhase(25, 12, 0);
    EXPECT_EQ(ExpandLine(text), "first.");
    SetOverviewPhase(25, 12, 1);
    EXPECT_EQ(ExpandLine(text), "other.");
    SetPicturePhase(25, 0);
    EXPECT_EQ(ExpandLine(text), "firstother.") << "neither test skips on a picture page";
}

TEST_F(TemplateEngine, SkippedLinesGiveNoOutputLines) {
    const char* text = "A\r\n/#IFFIRSTTHUMBPAGE#/\r\nfirst\r\n/#ELSEIFFIRSTTHUMBPAGE#/\r\nother\r\n"
                       "/#ENDIFFIRSTTHUMBPAGE#/\r\nZ";
    SetOverviewPhase(25, 12, 0);
    EXPECT_EQ(Expand(text), (Lines{"A", "", "first", "", "Z", ""}));
    SetOverviewPhase(25, 12, 1);
    EXPECT_EQ(Expand(text), (Lines{"A", "", "other", "", "Z", ""}));
}

TEST_F(TemplateEngine, IfWithoutElseIfDropsTheRestWhenFalse) {
    const char* text = "a/#IFFIRSTTHUMBPAGE#/b/#ENDIFFIRSTTHUMBPAGE#/c\r\nd";
    SetOverviewPhase(25, 12, 0);
    EXPECT_EQ(Expand(text), (Lines{"abc", "d", ""}));
    SetOverviewPhase(25, 12, 1);
    EXPECT_EQ(Expand(text), (Lines{"a", ""}));
}

TEST_F(TemplateEngine, ElseIfAloneIsANegatedConditional) {
    const char* text = "[/#ELSEIFFIRSTTHUMBPAGE#/not first/#ENDIFFIRSTTHUMBPAGE#/]";
    SetOverviewPhase(25, 12, 0);
    EXPECT_EQ(ExpandLine(text), "[]");
    SetOverviewPhase(25, 12, 2);
    EXPECT_EQ(ExpandLine(text), "[not first]");
}

TEST_F(TemplateEngine, NestedConditionalsOfTheSameKindEndAtTheInnerTag) {
    const char* text = "/#IFFIRSTTHUMBPAGE#/A/#IFFIRSTTHUMBPAGE#/B/#ELSEIFFIRSTTHUMBPAGE#/C"
                       "/#ENDIFFIRSTTHUMBPAGE#/D/#ELSEIFFIRSTTHUMBPAGE#/E/#ENDIFFIRSTTHUMBPAGE#/F";
    SetOverviewPhase(25, 12, 0);
    EXPECT_EQ(ExpandLine(text), "ABDF");
    SetOverviewPhase(25, 12, 1);
    EXPECT_EQ(ExpandLine(text), "CDEF");
}

TEST_F(TemplateEngine, PageConditionals) {
    struct Row {
        const char* name;
        const char* tag;
        int page;
        const char* expected;
    };
    const Row rows[] = {
        {"last overview page, first", "LASTTHUMBPAGE", 0, "no"},
        {"last overview page, last", "LASTTHUMBPAGE", 2, "yes"},
        {"first picture page, first", "FIRSTIMAGEPAGE", 0, "yes"},
        {"first picture page, second", "FIRSTIMAGEPAGE", 1, "no"},
        {"last picture page, third", "LASTIMAGEPAGE", 2, "no"},
        {"last picture page, last", "LASTIMAGEPAGE", 3, "yes"},
    };
    for (const auto& row : rows) {
        const std::string t = row.tag;
        if (t.find("THUMB") != std::string::npos) {
            SetOverviewPhase(25, 12, row.page);
        } else {
            SetPicturePhase(4, row.page);
        }
        EXPECT_EQ(ExpandLine("/#IF" + t + "#/yes/#ELSEIF" + t + "#/no/#ENDIF" + t + "#/"), row.expected)
            << row.name;
    }
}

// A skip ends on the ELSEIF tag without running it: the else branch follows a false IF, whatever
// the ELSEIF's own test would say.
TEST_F(TemplateEngine, LastImagePageTestsBeyondTheLastPage) {
    SetPicturePhase(4, 3);
    state.ImagePageIndex = 7;
    EXPECT_EQ(ExpandLine("/#IFLASTIMAGEPAGE#/a/#ELSEIFLASTIMAGEPAGE#/b/#ENDIFLASTIMAGEPAGE#/."), "b.");
    EXPECT_EQ(ExpandLine("[/#ELSEIFLASTIMAGEPAGE#/b/#ENDIFLASTIMAGEPAGE#/]"), "[]");
}

TEST_F(TemplateEngine, EcardConditionalFollowsTheSetting) {
    const char* text = "[/#IFECARD#/send/#ENDIFECARD#/]";
    settings.cbAllowInvitations = true;
    EXPECT_EQ(ExpandLine(text), "[send]");
    settings.cbAllowInvitations = false;
    EXPECT_EQ(ExpandLine(text), "[]");
}

// Loops nested the wrong way round keep restarting each other without end.
TEST_F(TemplateEngine, WorkLimitStopsATemplateThatNeverEnds) {
    SetAlbumPhase(0, 2, 12);
    state.WorkLimit = 100000;
    Lines output = Expand("/#ALLTHUMBS#//#ALLIMAGES#//#ENDALLTHUMBS#//#ENDALLIMAGES#/");
    EXPECT_TRUE(state.WorkLimitReached);
}

TEST_F(TemplateEngine, WorkLimitBoundsTheOutput) {
    state.ImagePageCount = 1000000;
    state.WorkLimit = 100000;
    Lines output = Expand("/#ALLIMAGEPAGES#/0123456789/#ENDALLIMAGEPAGES#/");
    EXPECT_TRUE(state.WorkLimitReached);
    size_t bytes = 0;
    for (const auto& line : output)
        bytes += line.size();
    EXPECT_LE(bytes, 100000u);
}

TEST_F(TemplateEngine, ProperPageStaysWithinTheWorkLimit) {
    SetAlbumPhase(0, 25, 12);
    Expand("/#ALLTHUMBPAGES#//#ALLTHUMBS#/<img src=\"/#THUMBURL#/\">/#ENDALLTHUMBS#//#ENDALLTHUMBPAGES#/");
    EXPECT_FALSE(state.WorkLimitReached);
}

} // namespace
