// The control keywords: loops, advance tags, conditionals, BREAK and INCLUDE. Each acts on its own
// when the expansion reaches it; there is no pairing of tags. A loop's END tag repeats whatever loop
// is on top of the stack, and a conditional skips to the first tag of the wanted name, so templates
// that are not well formed repeat or drop text instead of failing.
#include "site_generator/template_keywords.h"

#include "settings/program_settings.h"

#include <algorithm>
#include <array>
#include <climits>

namespace vistrel {

namespace {

// Cursors only ever move forward; a template that keeps an END tag running must not wrap them into
// negative numbers (the work limit stops such a template long before).
int Advanced(int value) {
    return value == INT_MAX ? value : value + 1;
}

// The first published album at or after `index`, or -1.
int PublishedAlbumFrom(const TSiteState& s, int index) {
    if (!s.Albums) return -1;
    const int count = static_cast<int>(s.Albums->size());
    for (int i = std::max(index, 0); i < count; ++i) {
        if ((*s.Albums)[static_cast<size_t>(i)].Published) return i;
    }
    return -1;
}

int AlbumCount(const TSiteState& s) {
    return s.Albums ? static_cast<int>(s.Albums->size()) : 0;
}

// Ends the loop at once and continues behind its END tag, whose own handler does not run.
void LeaveLoop(TExpansion& e, std::string_view endTag) {
    e.DropLoop();
    e.SkipToTag(endTag);
}

void RepeatOrDrop(TExpansion& e, bool goesOn) {
    if (goesOn) {
        e.RepeatLoop();
    } else {
        e.DropLoop();
    }
}

int64_t ThumbScopeEnd(const TSiteState& s) {
    return int64_t{s.FirstThumb} + s.PictureCount;
}
int64_t ImageScopeEnd(const TSiteState& s) {
    return int64_t{s.FirstImage} + s.ImageScopeCount;
}

// Moves CurrentAlbum to the next published album; false (and CurrentAlbum restored) when there is none.
bool NextPublishedAlbum(TExpansion& e, TSiteState& s) {
    e.GalleryNumber = Advanced(e.GalleryNumber);
    const int next = PublishedAlbumFrom(s, Advanced(s.CurrentAlbum));
    if (next < 0) {
        s.CurrentAlbum = e.SavedAlbum;
        return false;
    }
    s.CurrentAlbum = next;
    return true;
}

// Loops.

void AllThumbPages(TExpansion& e, TSiteState&) {
    e.ThumbPageLoop = 0;
    e.PushLoop();
}
void EndAllThumbPages(TExpansion& e, TSiteState& s) {
    e.ThumbPageLoop = Advanced(e.ThumbPageLoop);
    RepeatOrDrop(e, e.ThumbPageLoop < s.ThumbPageCount);
}
void AllImagePages(TExpansion& e, TSiteState&) {
    e.ImagePageLoop = 0;
    e.PushLoop();
}
void EndAllImagePages(TExpansion& e, TSiteState& s) {
    e.ImagePageLoop = Advanced(e.ImagePageLoop);
    RepeatOrDrop(e, e.ImagePageLoop < s.ImagePageCount);
}
void AllThumbs(TExpansion& e, TSiteState& s) {
    s.CurrentThumb = s.FirstThumb;
    e.PushLoop();
}
void EndAllThumbs(TExpansion& e, TSiteState& s) {
    s.CurrentThumb = Advanced(s.CurrentThumb);
    RepeatOrDrop(e, s.CurrentThumb < ThumbScopeEnd(s));
}
void AllImages(TExpansion& e, TSiteState& s) {
    s.CurrentImage = s.FirstImage;
    e.PushLoop();
}
void EndAllImages(TExpansion& e, TSiteState& s) {
    s.CurrentImage = Advanced(s.CurrentImage);
    RepeatOrDrop(e, s.CurrentImage < ImageScopeEnd(s));
}
void AllGalleries(TExpansion& e, TSiteState& s) {
    e.SavedAlbum = s.CurrentAlbum;
    const int first = PublishedAlbumFrom(s, 0);
    s.CurrentAlbum = first < 0 ? AlbumCount(s) : first;
    e.GalleryNumber = 1;
    e.PushLoop();
}
void EndAllGalleries(TExpansion& e, TSiteState& s) {
    RepeatOrDrop(e, NextPublishedAlbum(e, s));
}

// Advance tags: one pass of a loop body shows two or more items.

void NextThumb(TExpansion& e, TSiteState& s) {
    s.CurrentThumb = Advanced(s.CurrentThumb);
    if (s.CurrentThumb >= ThumbScopeEnd(s)) LeaveLoop(e, "ENDALLTHUMBS");
}
void NextImage(TExpansion& e, TSiteState& s) {
    s.CurrentImage = Advanced(s.CurrentImage);
    if (s.CurrentImage >= ImageScopeEnd(s)) LeaveLoop(e, "ENDALLIMAGES");
}
void NextGallery(TExpansion& e, TSiteState& s) {
    if (!NextPublishedAlbum(e, s)) LeaveLoop(e, "ENDALLGALLERIES");
}

// Conditionals. A false IF skips to its ELSEIF (never straight to ENDIF); a reached ELSEIF skips to
// ENDIF when the IF branch was taken. The two tests are not complementary for every state: on a
// picture page (ThumbPageIndex -1) neither first-page tag skips, so both branches appear.

bool IsLastThumbPage(const TSiteState& s) {
    return int64_t{s.ThumbPageIndex} == int64_t{s.ThumbPageCount} - 1;
}

void IfFirstThumbPage(TExpansion& e, TSiteState& s) {
    if (s.ThumbPageIndex > 0) e.SkipToTag("ELSEIFFIRSTTHUMBPAGE");
}
void ElseIfFirstThumbPage(TExpansion& e, TSiteState& s) {
    if (s.ThumbPageIndex == 0) e.SkipToTag("ENDIFFIRSTTHUMBPAGE");
}
void IfLastThumbPage(TExpansion& e, TSiteState& s) {
    if (!IsLastThumbPage(s)) e.SkipToTag("ELSEIFLASTTHUMBPAGE");
}
void ElseIfLastThumbPage(TExpansion& e, TSiteState& s) {
    if (IsLastThumbPage(s)) e.SkipToTag("ENDIFLASTTHUMBPAGE");
}
void IfFirstImagePage(TExpansion& e, TSiteState& s) {
    if (s.ImagePageIndex > 0) e.SkipToTag("ELSEIFFIRSTIMAGEPAGE");
}
void ElseIfFirstImagePage(TExpansion& e, TSiteState& s) {
    if (s.ImagePageIndex == 0) e.SkipToTag("ENDIFFIRSTIMAGEPAGE");
}
void IfLastImagePage(TExpansion& e, TSiteState& s) {
    if (int64_t{s.ImagePageIndex} != int64_t{s.ImagePageCount} - 1) e.SkipToTag("ELSEIFLASTIMAGEPAGE");
}
void ElseIfLastImagePage(TExpansion& e, TSiteState& s) {
    if (int64_t{s.ImagePageIndex} >= int64_t{s.ImagePageCount} - 1) e.SkipToTag("ENDIFLASTIMAGEPAGE");
}
void IfEcard(TExpansion& e, TSiteState& s) {
    if (!s.Settings || !s.Settings->cbAllowInvitations) e.SkipToTag("ENDIFECARD");
}

// The closing tags of conditionals only mark where a skip ends.
void EndIf(TExpansion&, TSiteState&) {}

constexpr std::array kControlKeywords{
    TKeywordEntry{"ALLTHUMBPAGES", AllThumbPages},
    TKeywordEntry{"ENDALLTHUMBPAGES", EndAllThumbPages},
    TKeywordEntry{"ALLIMAGEPAGES", AllImagePages},
    TKeywordEntry{"ENDALLIMAGEPAGES", EndAllImagePages},
    TKeywordEntry{"ALLTHUMBS", AllThumbs},
    TKeywordEntry{"ENDALLTHUMBS", EndAllThumbs},
    TKeywordEntry{"ALLIMAGES", AllImages},
    TKeywordEntry{"ENDALLIMAGES", EndAllImages},
    TKeywordEntry{"ALLGALLERIES", AllGalleries},
    TKeywordEntry{"ENDALLGALLERIES", EndAllGalleries},
    TKeywordEntry{"NEXTTHUMB", NextThumb},
    TKeywordEntry{"NEXTIMAGE", NextImage},
    TKeywordEntry{"NEXTGALLERY", NextGallery},
    TKeywordEntry{"IFFIRSTTHUMBPAGE", IfFirstThumbPage},
    TKeywordEntry{"ELSEIFFIRSTTHUMBPAGE", ElseIfFirstThumbPage},
    TKeywordEntry{"ENDIFFIRSTTHUMBPAGE", EndIf},
    TKeywordEntry{"IFLASTTHUMBPAGE", IfLastThumbPage},
    TKeywordEntry{"ELSEIFLASTTHUMBPAGE", ElseIfLastThumbPage},
    TKeywordEntry{"ENDIFLASTTHUMBPAGE", EndIf},
    TKeywordEntry{"IFFIRSTIMAGEPAGE", IfFirstImagePage},
    TKeywordEntry{"ELSEIFFIRSTIMAGEPAGE", ElseIfFirstImagePage},
    TKeywordEntry{"ENDIFFIRSTIMAGEPAGE", EndIf},
    TKeywordEntry{"IFLASTIMAGEPAGE", IfLastImagePage},
    TKeywordEntry{"ELSEIFLASTIMAGEPAGE", ElseIfLastImagePage},
    TKeywordEntry{"ENDIFLASTIMAGEPAGE", EndIf},
    TKeywordEntry{"IFECARD", IfEcard},
    TKeywordEntry{"ENDIFECARD", EndIf},
};

} // namespace

std::span<const TKeywordEntry> ControlKeywords() {
    return kControlKeywords;
}

void BreakTag(TExpansion&, TSiteState&) {}

// Everything of the current output line goes, the text in front of the tag included, and so does the
// rest of the template line; the included file starts on the emptied line.
void IncludeTag(TExpansion& e, TSiteState&) {
    e.After = {};
    if (e.Output.empty()) {
        e.Output.emplace_back();
    } else {
        e.Output.back().clear();
    }
    const size_t equals = e.Keyword.find('=');
    if (equals == std::string::npos) return;
    e.IncludeFile(std::string_view(e.Keyword).substr(equals + 1));
}

} // namespace vistrel
