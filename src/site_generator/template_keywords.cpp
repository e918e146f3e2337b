// The value keywords: each forms its text from the settings, the album list, the picture list or the
// counters, and appends it as it is or with CR LF written as "<br>". A value that cannot be formed (an
// index out of range, no settings) gives nothing; values are never HTML-escaped, because markup typed
// into a title is meant to reach the page.
#include "site_generator/template_keywords.h"

#include "settings/program_settings.h"
#include "site_generator/template_picture_keywords.h"

#include <array>
#include <charconv>
#include <string>
#include <unordered_map>

namespace vistrel {

namespace {

constexpr std::string_view kCrLf = "\r\n";

void AppendNumber(TExpansion& e, int64_t number) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    e.AppendText(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
}

// "thumbpage3.html", "imagepage0.html".
void AppendPageName(TExpansion& e, std::string_view prefix, int64_t number) {
    e.AppendText(prefix);
    AppendNumber(e, number);
    e.AppendText(".html");
}

// Lines separated by CR LF, nothing after the last one.
std::string JoinedLines(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += kCrLf;
        text += lines[i];
    }
    return text;
}

// Every line followed by CR LF, the last one too, so each line of the value ends in "<br>".
std::string EachLineEnded(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += kCrLf;
    }
    return text;
}

const TProgramSettings* Settings(const TSiteState& s) {
    return s.Settings;
}

const TAlbumEntry* CurrentAlbumEntry(const TSiteState& s) {
    if (!s.Albums || s.CurrentAlbum < 0 || static_cast<size_t>(s.CurrentAlbum) >= s.Albums->size()) {
        return nullptr;
    }
    return &(*s.Albums)[static_cast<size_t>(s.CurrentAlbum)];
}

const TPictureEntry* PictureAt(const TSiteState& s, int index) {
    if (index < 0 || static_cast<size_t>(index) >= s.Pictures.size()) return nullptr;
    return &s.Pictures[static_cast<size_t>(index)];
}

// Root pages lie beside the album folders, album pages inside one of them.
void AppendAlbumLink(TExpansion& e, const TSiteState& s, const TAlbumEntry& album) {
    if (!s.RootMode) e.AppendText("../");
    e.AppendText(album.FolderName);
    e.AppendText("/");
}

// The picture at the cursor, else the album's first one; an album without pictures gives nothing,
// not even the folder prefix.
void AppendPictureLink(TExpansion& e, const TSiteState& s, std::string_view folder, int cursor) {
    const TPictureEntry* picture = PictureAt(s, cursor);
    if (!picture) picture = PictureAt(s, 0);
    if (!picture) return;
    e.AppendText(folder);
    e.AppendText(picture->FileName());
}

void AppendPictureTitle(TExpansion& e, const TSiteState& s, int cursor) {
    if (const TPictureEntry* picture = PictureAt(s, cursor)) e.AppendTextBr(picture->Title());
}

// A stored text split into lines (at CR LF, CR or LF; a final line end adds no line), each line
// followed or joined by CR LF, and every CR LF written as "<br>". The lines hold no line ends, so
// the text is written as it is walked, without building the intermediate texts.
enum class TLineEnds { Joined, EachLineEnded };

void AppendStoredTextBr(TExpansion& e, std::string_view text, TLineEnds ends) {
    bool first = true;
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        if (!first && ends == TLineEnds::Joined) e.AppendText("<br>");
        e.AppendText(text.substr(0, end));
        if (ends == TLineEnds::EachLineEnded) e.AppendText("<br>");
        first = false;
        if (end == std::string_view::npos) break;
        const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        text.remove_prefix(end + (crLf ? 2 : 1));
    }
}

void AppendPictureText(TExpansion& e, const TSiteState& s, int cursor) {
    if (const TPictureEntry* picture = PictureAt(s, cursor)) {
        AppendStoredTextBr(e, picture->Text(), TLineEnds::EachLineEnded);
    }
}

// Settings.

void SiteTitle(TExpansion& e, TSiteState& s) {
    if (auto* settings = Settings(s)) e.AppendTextBr(settings->edSiteTitle);
}
void Email(TExpansion& e, TSiteState& s) {
    if (auto* settings = Settings(s)) e.AppendText(settings->edEmail);
}
void ContactInfo(TExpansion& e, TSiteState& s) {
    if (auto* settings = Settings(s)) e.AppendTextBr(EachLineEnded(settings->edImpressum));
}
void IndexText1(TExpansion& e, TSiteState& s) {
    if (auto* settings = Settings(s)) e.AppendTextBr(JoinedLines(settings->edIndexText1));
}
void IndexText2(TExpansion& e, TSiteState& s) {
    if (auto* settings = Settings(s)) e.AppendTextBr(JoinedLines(settings->edIndexText2));
}
void Footnote(TExpansion& e, TSiteState& s) {
    if (auto* settings = Settings(s)) e.AppendTextBr(settings->edFootnote);
}

// The album at CurrentAlbum.

void GalleryTitle(TExpansion& e, TSiteState& s) {
    if (auto* album = CurrentAlbumEntry(s)) e.AppendText(album->Title);
}
void GalleryInfo(TExpansion& e, TSiteState& s) {
    if (auto* album = CurrentAlbumEntry(s)) e.AppendTextBr(album->Info);
}
void GalleryInfoText(TExpansion& e, TSiteState& s) {
    if (auto* album = CurrentAlbumEntry(s)) AppendStoredTextBr(e, album->Text, TLineEnds::Joined);
}
void GalleryImage(TExpansion& e, TSiteState& s) {
    auto* album = CurrentAlbumEntry(s);
    if (!album) return;
    std::string link = s.RootMode ? "" : "../";
    link += album->FolderName + "/thumbs/" + album->PreviewPicture;
    e.AppendTextBr(link);
}
void GalleryPageUrl(TExpansion& e, TSiteState& s) {
    if (auto* album = CurrentAlbumEntry(s)) {
        AppendAlbumLink(e, s, *album);
        e.AppendText("index.html");
    }
}
void GalleryNumber(TExpansion& e, TSiteState&) {
    AppendNumber(e, e.GalleryNumber);
}

// Counts and pages. Sums are formed in 64 bits so that no stored value can overflow them.

void ImageCount(TExpansion& e, TSiteState& s) {
    AppendNumber(e, static_cast<int64_t>(s.Pictures.size()));
}
void ThumbPageCount(TExpansion& e, TSiteState& s) {
    AppendNumber(e, s.ThumbPageCount);
}
void ThumbPageNumber(TExpansion& e, TSiteState& s) {
    AppendNumber(e, int64_t{s.ThumbPageIndex} + 1);
}
void ImagePageCount(TExpansion& e, TSiteState& s) {
    AppendNumber(e, s.ImagePageCount);
}
void ImagePageNumber(TExpansion& e, TSiteState& s) {
    AppendNumber(e, int64_t{s.ImagePageIndex} + 1);
}
void ThumbPageUrl(TExpansion& e, TSiteState&) {
    AppendPageName(e, "thumbpage", e.ThumbPageLoop);
}
void ThumbPageName(TExpansion& e, TSiteState&) {
    AppendNumber(e, int64_t{e.ThumbPageLoop} + 1);
}

// Thumbnails on overview page ThumbPageLoop: full pages, then the remainder. An album with fewer
// pictures than a page holds gives a full page for its only page. Without a usable page size
// there is nothing to divide by, and the value cannot be formed.
void ThumbsPerPage(TExpansion& e, TSiteState& s) {
    const int64_t perPage = s.ThumbsPerPage;
    if (perPage < 1) return;
    const int64_t fullPages = s.PictureCount / perPage;
    const int64_t limit = fullPages == 0 ? 1 : fullPages;
    AppendNumber(e, e.ThumbPageLoop < limit ? perPage : s.PictureCount % perPage);
}

void NextThumbUrl(TExpansion& e, TSiteState& s) {
    if (int64_t{s.ThumbPageIndex} < int64_t{s.ThumbPageCount} - 1) {
        AppendPageName(e, "thumbpage", int64_t{s.ThumbPageIndex} + 1);
    }
}
void PrevThumbUrl(TExpansion& e, TSiteState& s) {
    if (s.ThumbPageIndex > 0) AppendPageName(e, "thumbpage", int64_t{s.ThumbPageIndex} - 1);
}
void NextImageUrl(TExpansion& e, TSiteState& s) {
    const bool hasNext = int64_t{s.ImagePageIndex} < int64_t{s.ImagePageCount} - 1;
    AppendPageName(e, "imagepage", hasNext ? int64_t{s.ImagePageIndex} + 1 : 0);
}
void PrevImageUrl(TExpansion& e, TSiteState& s) {
    AppendPageName(e, "imagepage", s.ImagePageIndex >= 1 ? int64_t{s.ImagePageIndex} - 1 : 0);
}

// The picture under a cursor.

void ThumbNumber(TExpansion& e, TSiteState& s) {
    AppendNumber(e, s.CurrentThumb);
}
void ThumbUrl(TExpansion& e, TSiteState& s) {
    AppendPictureLink(e, s, "thumbs/", s.CurrentThumb);
}
void ImagePageUrl(TExpansion& e, TSiteState& s) {
    AppendPageName(e, "imagepage", s.CurrentThumb);
}
void ThumbTitle(TExpansion& e, TSiteState& s) {
    AppendPictureTitle(e, s, s.CurrentThumb);
}
void ThumbText(TExpansion& e, TSiteState& s) {
    AppendPictureText(e, s, s.CurrentThumb);
}
void ImageUrl(TExpansion& e, TSiteState& s) {
    AppendPictureLink(e, s, "images/", s.CurrentImage);
}
void ImageTitle(TExpansion& e, TSiteState& s) {
    AppendPictureTitle(e, s, s.CurrentImage);
}
void ImageText(TExpansion& e, TSiteState& s) {
    AppendPictureText(e, s, s.CurrentImage);
}

constexpr std::array kValueKeywords{
    TKeywordEntry{"SITETITLE", SiteTitle},
    TKeywordEntry{"EMAIL", Email},
    TKeywordEntry{"CONTACTINFO", ContactInfo},
    TKeywordEntry{"INDEXTEXT1", IndexText1},
    TKeywordEntry{"INDEXTEXT2", IndexText2},
    TKeywordEntry{"FOOTNOTE", Footnote},
    TKeywordEntry{"GALLERYTITLE", GalleryTitle},
    TKeywordEntry{"GALLERYINFO", GalleryInfo},
    TKeywordEntry{"GALLERYINFOTEXT", GalleryInfoText},
    TKeywordEntry{"GALLERYIMAGE", GalleryImage},
    TKeywordEntry{"GALLERYPAGEURL", GalleryPageUrl},
    TKeywordEntry{"GALLERYNUMBER", GalleryNumber},
    TKeywordEntry{"IMAGECOUNT", ImageCount},
    TKeywordEntry{"THUMBPAGECOUNT", ThumbPageCount},
    TKeywordEntry{"THUMBPAGENUMBER", ThumbPageNumber},
    TKeywordEntry{"IMAGEPAGECOUNT", ImagePageCount},
    TKeywordEntry{"IMAGEPAGENUMBER", ImagePageNumber},
    TKeywordEntry{"THUMBPAGEURL", ThumbPageUrl},
    TKeywordEntry{"THUMBPAGENAME", ThumbPageName},
    TKeywordEntry{"THUMBSPERPAGE", ThumbsPerPage},
    TKeywordEntry{"NEXTTHUMBURL", NextThumbUrl},
    TKeywordEntry{"PREVTHUMBURL", PrevThumbUrl},
    TKeywordEntry{"NEXTIMAGEURL", NextImageUrl},
    TKeywordEntry{"PREVIMAGEURL", PrevImageUrl},
    TKeywordEntry{"THUMBNUMBER", ThumbNumber},
    TKeywordEntry{"THUMBURL", ThumbUrl},
    TKeywordEntry{"IMAGEPAGEURL", ImagePageUrl},
    TKeywordEntry{"THUMBTITLE", ThumbTitle},
    TKeywordEntry{"THUMBTEXT", ThumbText},
    TKeywordEntry{"IMAGEURL", ImageUrl},
    TKeywordEntry{"IMAGETITLE", ImageTitle},
    TKeywordEntry{"IMAGETEXT", ImageText},
    // Pictures for today's screens: sizes against layout shift, renditions for srcset and <picture>.
    TKeywordEntry{"IMAGEWIDTH", picture_keywords::ImageWidth},
    TKeywordEntry{"IMAGEHEIGHT", picture_keywords::ImageHeight},
    TKeywordEntry{"IMAGESRC", picture_keywords::ImageSrc},
    TKeywordEntry{"IMAGESRCSET", picture_keywords::ImageSrcset},
    TKeywordEntry{"IMAGESRCSETWEBP", picture_keywords::ImageSrcsetWebp},
    TKeywordEntry{"IMAGEFULLSRC", picture_keywords::ImageFullSrc},
    TKeywordEntry{"IMAGEALT", picture_keywords::ImageAlt},
    TKeywordEntry{"THUMBWIDTH", picture_keywords::ThumbWidth},
    TKeywordEntry{"THUMBHEIGHT", picture_keywords::ThumbHeight},
    TKeywordEntry{"THUMBSRC", picture_keywords::ThumbSrc},
    TKeywordEntry{"THUMBSRCSET", picture_keywords::ThumbSrcset},
    TKeywordEntry{"THUMBSRCSETWEBP", picture_keywords::ThumbSrcsetWebp},
    TKeywordEntry{"THUMBFULLWIDTH", picture_keywords::ThumbFullWidth},
    TKeywordEntry{"THUMBFULLHEIGHT", picture_keywords::ThumbFullHeight},
    TKeywordEntry{"THUMBFULLSRC", picture_keywords::ThumbFullSrc},
    TKeywordEntry{"THUMBFULLSRCSETWEBP", picture_keywords::ThumbFullSrcsetWebp},
    TKeywordEntry{"THUMBALT", picture_keywords::ThumbAlt},
    TKeywordEntry{"THUMBLOADING", picture_keywords::ThumbLoading},
    TKeywordEntry{"THUMBBOX", picture_keywords::ThumbBox},
    TKeywordEntry{"GALLERYIMAGEWIDTH", picture_keywords::GalleryImageWidth},
    TKeywordEntry{"GALLERYIMAGEHEIGHT", picture_keywords::GalleryImageHeight},
    TKeywordEntry{"GALLERYIMAGESRC", picture_keywords::GalleryImageSrc},
    TKeywordEntry{"GALLERYIMAGESRCSET", picture_keywords::GalleryImageSrcset},
    TKeywordEntry{"GALLERYIMAGESRCSETWEBP", picture_keywords::GalleryImageSrcsetWebp},
    TKeywordEntry{"GALLERYLOADING", picture_keywords::GalleryLoading},
    TKeywordEntry{"PAGEDESCRIPTION", picture_keywords::PageDescription},
    TKeywordEntry{"THUMBPAGELINKS", picture_keywords::ThumbPageLinks},
};

using TKeywordTable = std::unordered_map<std::string_view, TKeywordHandler>;

TKeywordTable BuildKeywordTable() {
    TKeywordTable table;
    for (const auto& entry : ValueKeywords())
        table.emplace(entry.keyword, entry.handler);
    for (const auto& entry : ControlKeywords())
        table.emplace(entry.keyword, entry.handler);
    return table;
}

} // namespace

std::span<const TKeywordEntry> ValueKeywords() {
    return kValueKeywords;
}

TKeywordHandler FindKeywordHandler(std::string_view keyword) {
    static const TKeywordTable table = BuildKeywordTable();
    if (auto found = table.find(keyword); found != table.end()) return found->second;
    if (keyword.starts_with("BREAK")) return BreakTag;
    if (keyword.starts_with("INCLUDE")) return IncludeTag;
    return nullptr;
}

} // namespace vistrel
