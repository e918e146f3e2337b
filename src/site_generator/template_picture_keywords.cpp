// The picture values come from the renditions the site build made for the album (TSiteState's
// Renditions and CoverRenditions). A picture without renditions (it could not be read) falls back to
// its stored picture or thumbnail, so a page never links to a file that does not exist; its width
// and height are then unknown and give nothing.
#include "site_generator/template_picture_keywords.h"

#include "common/cp1252.h"
#include "common/german_text.h"
#include "common/text_utils.h"
#include "settings/program_settings.h"
#include "site_generator/site_texts.h"

#include <algorithm>
#include <array>
#include <string>

namespace vistrel::picture_keywords {
namespace {

// Thumbnail lists also offer the ladder's small widths, so a tile a style shows larger than the
// thumbnail box on a HiDPI screen still finds a sharp file.
constexpr int kThumbListLimit = 1200;
// The width a browser without srcset gets: sharp on most screens, small enough for a phone.
constexpr int kPlainImageWidth = 1200;
// Tiles and covers in the first rows are loaded at once; a lazy picture in view delays the page.
constexpr int kEagerThumbs = 6;
constexpr int kEagerCovers = 3;
// Search engines show about this much of a description.
constexpr size_t kDescriptionLimit = 300;

int Cursor(const TSiteState& s, int cursor) {
    return cursor >= 0 && static_cast<size_t>(cursor) < s.Pictures.size() ? cursor : 0;
}

// Renditions belong to Pictures index for index; without pictures (the root after an album without
// any) whatever the list still holds is another album's.
const TPictureRenditions* RenditionsAt(const TSiteState& s, int cursor) {
    if (s.Pictures.empty() || s.Renditions.size() != s.Pictures.size()) return nullptr;
    const size_t index = static_cast<size_t>(Cursor(s, cursor));
    if (index >= s.Renditions.size() || !s.Renditions[index].ready) return nullptr;
    return &s.Renditions[index];
}

const TAlbumEntry* CurrentAlbumEntry(const TSiteState& s) {
    if (!s.Albums || s.CurrentAlbum < 0 || static_cast<size_t>(s.CurrentAlbum) >= s.Albums->size())
        return nullptr;
    return &(*s.Albums)[static_cast<size_t>(s.CurrentAlbum)];
}

const TPictureRenditions* CoverAt(const TSiteState& s) {
    auto found = s.CoverRenditions.find(s.CurrentAlbum);
    return found != s.CoverRenditions.end() && found->second.ready ? &found->second : nullptr;
}

std::string AlbumPrefix(const TSiteState& s) {
    const TAlbumEntry* album = CurrentAlbumEntry(s);
    if (!album) return {};
    return (s.RootMode ? "" : "../") + album->FolderName + "/";
}

std::string RenditionLink(const std::string& prefix, const TPictureRenditions& r, int width,
                          TRenditionFormat format) {
    return prefix + kRenditionFolder + "/" + RenditionFileName(r.picture, width, format);
}

// "renditions/a-480.jpg 480w, renditions/a-800.jpg 800w".
std::string Srcset(const std::string& prefix, const TPictureRenditions& r,
                   const std::vector<TRenditionSize>& sizes, TRenditionFormat format) {
    std::string list;
    for (const TRenditionSize& size : sizes) {
        if (!list.empty()) list += ", ";
        list += RenditionLink(prefix, r, size.width, format) + " " + std::to_string(size.width) + "w";
    }
    return list;
}

std::vector<TRenditionSize> ThumbSizes(const TPictureRenditions& r) {
    std::vector<TRenditionSize> sizes = r.thumbs;
    for (const TRenditionSize& size : r.ladder)
        if (size.width <= kThumbListLimit && size.width > sizes.back().width) sizes.push_back(size);
    return sizes;
}

TRenditionSize PlainImageSize(const TPictureRenditions& r) {
    TRenditionSize chosen = r.ladder.front();
    for (const TRenditionSize& size : r.ladder)
        if (size.width <= kPlainImageWidth) chosen = size;
    return chosen;
}

void AppendNumber(TExpansion& e, int64_t number) {
    e.AppendText(std::to_string(number));
}

// The stored picture's link, the way THUMBURL and IMAGEURL give it.
void AppendStoredLink(TExpansion& e, const TSiteState& s, std::string_view folder, int cursor) {
    if (s.Pictures.empty()) return;
    e.AppendText(folder);
    e.AppendText(s.Pictures[static_cast<size_t>(Cursor(s, cursor))].FileName());
}

void AppendGalleryStoredLink(TExpansion& e, const TSiteState& s) {
    if (const TAlbumEntry* album = CurrentAlbumEntry(s))
        e.AppendText(AlbumPrefix(s) + "thumbs/" + album->PreviewPicture);
}

// Text for an attribute: tags dropped, line ends and tabs as blanks, double quotes as &quot;.
std::string AttributeText(std::string_view text, size_t limit = std::string::npos) {
    std::string out;
    bool inTag = false;
    for (char c : text) {
        if (c == '<') inTag = true;
        if (inTag) {
            if (c == '>') inTag = false;
            continue;
        }
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        if (c == '"')
            out += "&quot;";
        else if (c != '>')
            out += c;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    if (out.size() > limit) {
        out.resize(limit);
        size_t entity = out.rfind('&');
        if (entity != std::string::npos && out.find(';', entity) == std::string::npos) out.resize(entity);
    }
    return out;
}

void AppendAlt(TExpansion& e, const TSiteState& s, int cursor) {
    if (s.Pictures.empty()) return;
    const int index = Cursor(s, cursor);
    std::string alt = AttributeText(s.Pictures[static_cast<size_t>(index)].Title());
    if (alt.empty())
        alt = FormatMessage(Text(site_texts::kPictureOf),
                            {std::to_string(index + 1), std::to_string(s.Pictures.size())});
    e.AppendText(alt);
}

std::string JoinedWithBlanks(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : " ") + line;
    return text;
}

std::string PageLink(int page, int current) {
    std::string number = std::to_string(page + 1);
    std::string link = "<a href=\"thumbpage" + std::to_string(page) + ".html\"";
    if (page == current) link += " aria-current=\"page\"";
    return link + ">" + number + "</a>";
}

} // namespace

void ImageWidth(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentImage)) AppendNumber(e, r->ladder.back().width);
}
void ImageHeight(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentImage)) AppendNumber(e, r->ladder.back().height);
}
void ImageSrc(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentImage))
        e.AppendText(RenditionLink("", *r, PlainImageSize(*r).width, TRenditionFormat::Jpeg));
    else
        AppendStoredLink(e, s, "images/", s.CurrentImage);
}
void ImageSrcset(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentImage))
        e.AppendText(Srcset("", *r, r->ladder, TRenditionFormat::Jpeg));
    else
        AppendStoredLink(e, s, "images/", s.CurrentImage);
}
void ImageSrcsetWebp(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentImage))
        e.AppendText(Srcset("", *r, r->ladder, TRenditionFormat::Webp));
    else
        AppendStoredLink(e, s, "images/", s.CurrentImage);
}
void ImageFullSrc(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentImage))
        e.AppendText(RenditionLink("", *r, r->ladder.back().width, TRenditionFormat::Webp));
    else
        AppendStoredLink(e, s, "images/", s.CurrentImage);
}
void ImageAlt(TExpansion& e, TSiteState& s) {
    AppendAlt(e, s, s.CurrentImage);
}

void ThumbWidth(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentThumb)) AppendNumber(e, r->thumbs.front().width);
}
void ThumbHeight(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentThumb)) AppendNumber(e, r->thumbs.front().height);
}
void ThumbSrc(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentThumb))
        e.AppendText(RenditionLink("", *r, r->thumbs.front().width, TRenditionFormat::Jpeg));
    else
        AppendStoredLink(e, s, "thumbs/", s.CurrentThumb);
}
void ThumbSrcset(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentThumb))
        e.AppendText(Srcset("", *r, ThumbSizes(*r), TRenditionFormat::Jpeg));
    else
        AppendStoredLink(e, s, "thumbs/", s.CurrentThumb);
}
void ThumbSrcsetWebp(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentThumb))
        e.AppendText(Srcset("", *r, ThumbSizes(*r), TRenditionFormat::Webp));
    else
        AppendStoredLink(e, s, "thumbs/", s.CurrentThumb);
}
void ThumbFullWidth(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentThumb)) AppendNumber(e, r->ladder.back().width);
}
void ThumbFullHeight(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentThumb)) AppendNumber(e, r->ladder.back().height);
}
void ThumbFullSrc(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentThumb))
        e.AppendText(RenditionLink("", *r, r->ladder.back().width, TRenditionFormat::Webp));
    else
        AppendStoredLink(e, s, "images/", s.CurrentThumb);
}
void ThumbFullSrcsetWebp(TExpansion& e, TSiteState& s) {
    if (auto* r = RenditionsAt(s, s.CurrentThumb))
        e.AppendText(Srcset("", *r, r->ladder, TRenditionFormat::Webp));
    else
        AppendStoredLink(e, s, "images/", s.CurrentThumb);
}
void ThumbAlt(TExpansion& e, TSiteState& s) {
    AppendAlt(e, s, s.CurrentThumb);
}
void ThumbLoading(TExpansion& e, TSiteState& s) {
    e.AppendText(int64_t{s.CurrentThumb} - s.FirstThumb < kEagerThumbs ? "eager" : "lazy");
}
void ThumbBox(TExpansion& e, TSiteState&) {
    AppendNumber(e, TRenditionPlan{}.thumbBox);
}

void GalleryImageWidth(TExpansion& e, TSiteState& s) {
    if (auto* r = CoverAt(s)) AppendNumber(e, r->thumbs.front().width);
}
void GalleryImageHeight(TExpansion& e, TSiteState& s) {
    if (auto* r = CoverAt(s)) AppendNumber(e, r->thumbs.front().height);
}
void GalleryImageSrc(TExpansion& e, TSiteState& s) {
    if (auto* r = CoverAt(s))
        e.AppendText(RenditionLink(AlbumPrefix(s), *r, r->thumbs.front().width, TRenditionFormat::Jpeg));
    else
        AppendGalleryStoredLink(e, s);
}
void GalleryImageSrcset(TExpansion& e, TSiteState& s) {
    if (auto* r = CoverAt(s))
        e.AppendText(Srcset(AlbumPrefix(s), *r, ThumbSizes(*r), TRenditionFormat::Jpeg));
    else
        AppendGalleryStoredLink(e, s);
}
void GalleryImageSrcsetWebp(TExpansion& e, TSiteState& s) {
    if (auto* r = CoverAt(s))
        e.AppendText(Srcset(AlbumPrefix(s), *r, ThumbSizes(*r), TRenditionFormat::Webp));
    else
        AppendGalleryStoredLink(e, s);
}
void GalleryLoading(TExpansion& e, TSiteState&) {
    e.AppendText(e.GalleryNumber <= kEagerCovers ? "eager" : "lazy");
}

// Root pages describe the site (its first start-page text, else its title); album pages their album
// (its info line, else its text, else its title). The last resort is the words the start page shows
// when no title is set.
void PageDescription(TExpansion& e, TSiteState& s) {
    std::vector<std::string> candidates;
    const TAlbumEntry* album = s.RootMode ? nullptr : CurrentAlbumEntry(s);
    if (album) {
        candidates = {album->Info, album->Text, album->Title};
    } else if (s.Settings) {
        candidates = {JoinedWithBlanks(s.Settings->edIndexText1)};
    }
    if (s.Settings) candidates.push_back(s.Settings->edSiteTitle);
    candidates.push_back("Fotoalben");
    for (const std::string& candidate : candidates) {
        std::string text = AttributeText(candidate, kDescriptionLimit);
        if (!text.empty()) {
            e.AppendText(text);
            return;
        }
    }
}

// First page, last page and two neighbours on each side of the current one, with an ellipsis for
// each gap: an album of 167 overview pages would otherwise give every page a wall of 167 links.
void ThumbPageLinks(TExpansion& e, TSiteState& s) {
    const int count = s.ThumbPageCount;
    const int current = s.ThumbPageIndex;
    int last = -1;
    for (int page = 0; page < count; ++page) {
        bool shown = page == 0 || page == count - 1 || (page >= current - 2 && page <= current + 2);
        if (!shown) continue;
        if (last >= 0)
            e.AppendText(page == last + 1 ? " "
                                          : " <span class=\"gap\" aria-hidden=\"true\">&hellip;</span> ");
        e.AppendText(PageLink(page, current));
        last = page;
    }
}

bool NeedsRenditions(std::string_view keyword) {
    static constexpr std::array<std::string_view, 20> kNames = {
        "IMAGEWIDTH",
        "IMAGEHEIGHT",
        "IMAGESRC",
        "IMAGESRCSET",
        "IMAGESRCSETWEBP",
        "IMAGEFULLSRC",
        "THUMBWIDTH",
        "THUMBHEIGHT",
        "THUMBSRC",
        "THUMBSRCSET",
        "THUMBSRCSETWEBP",
        "THUMBFULLWIDTH",
        "THUMBFULLHEIGHT",
        "THUMBFULLSRC",
        "THUMBFULLSRCSETWEBP",
        "GALLERYIMAGEWIDTH",
        "GALLERYIMAGEHEIGHT",
        "GALLERYIMAGESRC",
        "GALLERYIMAGESRCSET",
        "GALLERYIMAGESRCSETWEBP",
    };
    return std::find(kNames.begin(), kNames.end(), keyword) != kNames.end();
}

bool TemplateNeedsRenditions(std::string_view text) {
    for (size_t open = text.find("/#"); open != std::string_view::npos; open = text.find("/#", open + 2)) {
        size_t close = text.find("#/", open + 2);
        if (close == std::string_view::npos) return false;
        if (NeedsRenditions(AnsiUpperCase(std::string(text.substr(open + 2, close - open - 2))))) return true;
    }
    return false;
}

} // namespace vistrel::picture_keywords
