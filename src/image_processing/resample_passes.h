#pragma once
// The two inner loops of the resampler over raw rows, shared by the whole-picture resize and by the
// reduction that follows the JPEG decoder row by row. Each destination value is summed over its
// contributors in table order, in single precision, so every caller gets the same bytes.
#include "image_processing/dib_graphic.h"
#include "image_processing/resampler.h"

namespace vistrel {

// Source rows reduced together by the horizontal pass. Their channels lie side by side per source
// column, so every contributor multiplies one contiguous run of floats.
inline constexpr int kStripRows = 8;
inline constexpr int kStripWidth = kStripRows * 3;

// `count` rows (at most kStripRows) of blue, green, red bytes, or of one gray byte per pixel, into
// the strip layout strip[j * kStripWidth + r * 3 + c]; lanes of missing rows become 0.
void LoadStripFromRows(const uint8_t* const* rows, int count, int width, int channels, float* strip);
// The same from any picture, through its row bytes for true colour and ReadPixel otherwise.
void LoadStripFromPicture(const TDibGraphic& source, int y0, float* strip);

// The horizontal pass over one strip: writes `count` rows of dw blue, green, red bytes, the first at
// `out`, the next ones `outStride` bytes further each.
void ReduceStrip(const float* strip, const TContributorTable& columns, int count, int dw, uint8_t* out,
                 size_t outStride);

// The vertical pass for destination row i over the horizontally reduced rows `work` (dw * 3 bytes
// each), written into `destination` (through WritePixel unless it is true colour).
void ReduceColumnsIntoRow(const uint8_t* work, const TContributorTable& rows, int i, int dw,
                          TDibGraphic& destination);
// The same over a ring of `workRows` reduced rows, source row k lying in slot k % workRows, into row
// `destinationRow` of `destination`. The rows destination row i draws on with a weight must be in
// the ring; an entry without weight may find any row there, as it adds nothing.
void ReduceColumnsIntoRow(const uint8_t* work, size_t workRows, const TContributorTable& rows, int i, int dw,
                          TDibGraphic& destination, int destinationRow);

// The instruction set the two loops run with on this processor ("avx2" or "sse2"), for benchmarks.
const char* ResampleInstructionSet();

} // namespace vistrel
