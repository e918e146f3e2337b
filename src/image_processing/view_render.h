#pragma once
// Draws the visible part of a zoomed picture straight from the picture. The view never holds a
// display copy of the whole zoomed picture: at 400 % a 12-megapixel photo would need 576 MB for it,
// and every zoom step would rebuild it; the visible part is a few hundred thousand pixels.
#include "image_processing/dib_graphic.h"
#include "image_processing/edit_zoom.h"

#include <cstdint>

namespace vistrel {

struct TDisplayRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

enum class TStretchMode {
    Average, // area averaging: every source pixel under a display pixel counts
    Pick,    // the first source pixel under a display pixel, others dropped or repeated
};

// The unresampled stretch's choice: averaging for a true-colour picture of more than 1024 pixels,
// and for a black-and-white picture when the view anti-aliases (the share of black pixels becomes a
// gray level); picking otherwise.
TStretchMode StretchModeFor(const TDibGraphic& picture, bool antiAliased);

// Writes the part `part` of the picture stretched to `display` as 0xFFRRGGBB values, `stride` values
// per output row. The part must lie inside the display; an empty picture writes nothing.
void RenderDisplayPart(const TDibGraphic& picture, TViewSize display, TDisplayRect part, TStretchMode mode,
                       uint32_t* out, int stride);

} // namespace vistrel
