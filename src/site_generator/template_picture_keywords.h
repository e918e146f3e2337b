#pragma once
// The keywords for pages of today's screens: picture sizes, srcset lists of the renditions in JPEG
// and WebP, texts for alt and meta attributes, the loading hint and a window of page links. The
// handlers are listed in the keyword table of template_keywords.cpp.
#include "site_generator/template_engine.h"

#include <string_view>

namespace vistrel::picture_keywords {

// Values of the picture on a picture page (CurrentImage).
void ImageWidth(TExpansion& e, TSiteState& s);
void ImageHeight(TExpansion& e, TSiteState& s);
void ImageSrc(TExpansion& e, TSiteState& s);
void ImageSrcset(TExpansion& e, TSiteState& s);
void ImageSrcsetWebp(TExpansion& e, TSiteState& s);
void ImageFullSrc(TExpansion& e, TSiteState& s);
void ImageAlt(TExpansion& e, TSiteState& s);

// Values of the thumbnail under CurrentThumb, and of its picture for a viewer on the overview.
void ThumbWidth(TExpansion& e, TSiteState& s);
void ThumbHeight(TExpansion& e, TSiteState& s);
void ThumbSrc(TExpansion& e, TSiteState& s);
void ThumbSrcset(TExpansion& e, TSiteState& s);
void ThumbSrcsetWebp(TExpansion& e, TSiteState& s);
void ThumbFullWidth(TExpansion& e, TSiteState& s);
void ThumbFullHeight(TExpansion& e, TSiteState& s);
void ThumbFullSrc(TExpansion& e, TSiteState& s);
void ThumbFullSrcsetWebp(TExpansion& e, TSiteState& s);
void ThumbAlt(TExpansion& e, TSiteState& s);
void ThumbLoading(TExpansion& e, TSiteState& s);
void ThumbBox(TExpansion& e, TSiteState& s);

// Values of the cover picture of CurrentAlbum (start page, inside ALLGALLERIES).
void GalleryImageWidth(TExpansion& e, TSiteState& s);
void GalleryImageHeight(TExpansion& e, TSiteState& s);
void GalleryImageSrc(TExpansion& e, TSiteState& s);
void GalleryImageSrcset(TExpansion& e, TSiteState& s);
void GalleryImageSrcsetWebp(TExpansion& e, TSiteState& s);
void GalleryLoading(TExpansion& e, TSiteState& s);

// Page values.
void PageDescription(TExpansion& e, TSiteState& s);
void ThumbPageLinks(TExpansion& e, TSiteState& s);

// True for the keywords whose values come from renditions: a style that uses one of them gets its
// pictures' renditions made at site build, a style that uses none costs nothing more than before.
bool NeedsRenditions(std::string_view keyword);
// Whether a template's text holds a tag of such a keyword (in any case).
bool TemplateNeedsRenditions(std::string_view text);

} // namespace vistrel::picture_keywords
