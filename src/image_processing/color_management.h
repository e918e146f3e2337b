#pragma once
#include "image_processing/dib_graphic.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace vistrel {

// A colour description as HEIF and AVIF files give it instead of an ICC profile: code points for
// the primaries and the transfer curve, and the primaries' chromaticities.
struct TNclxColor {
    int primaries = 2;
    int transfer = 2;
    float redX = 0.64f, redY = 0.33f, greenX = 0.30f, greenY = 0.60f, blueX = 0.15f, blueY = 0.06f;
    float whiteX = 0.3127f, whiteY = 0.3290f;
};

// What a picture file says about its colours. Empty when it says nothing: then the pixels are
// taken as sRGB and left as they are.
struct TEmbeddedColor {
    ByteBuffer icc;
    std::optional<TNclxColor> nclx;
    bool Empty() const { return icc.empty() && !nclx; }
};

// Converts rows of 8-bit pixels from a picture's colour space to sRGB through Little CMS. Made
// once per picture; Convert may then run on several threads at once.
class TColorConverter {
public:
    ~TColorConverter();
    TColorConverter(const TColorConverter&) = delete;
    TColorConverter& operator=(const TColorConverter&) = delete;

    // For blue, green, red rows. nullptr when nothing needs doing: no profile, a profile that is not
    // an RGB one, a broken profile (the picture is then taken as sRGB rather than refused), or one
    // that maps every colour to itself within one step, such as sRGB itself.
    static std::unique_ptr<TColorConverter> ForBgr(const TEmbeddedColor& color);
    // For 8-bit gray rows, to gray with the sRGB curve; nullptr as above.
    static std::unique_ptr<TColorConverter> ForGray(const TEmbeddedColor& color);
    // For CMYK rows (4 bytes a pixel) to blue, green, red. `inverted` is Adobe's convention of
    // storing 255 - ink. Without a usable profile the default CMYK profile is used, and without
    // that a plain formula: never nullptr.
    static std::unique_ptr<TColorConverter> ForCmyk(ByteView icc, bool inverted);

    // `width` pixels from `in` to `out`; for BGR and gray `in` may equal `out`.
    void Convert(const uint8_t* in, uint8_t* out, int width) const;

private:
    struct Transform;
    explicit TColorConverter(std::unique_ptr<Transform> transform);
    std::unique_ptr<Transform> transform_;
};

// Converts a decoded picture (ifRgb24 or ifGray256) to sRGB in place, when its file said it is in
// another colour space; other formats and pictures without a description are left untouched.
void ConvertToSrgb(TDibGraphic& picture, const TEmbeddedColor& color);

// The CMYK profile taken for a CMYK picture that carries none: ghostscript's default (Debian
// package libgs-common), looked up at run time; VISTREL_CMYK_PROFILE names another. Empty when
// neither exists, and then a plain formula converts.
std::filesystem::path DefaultCmykProfilePath();

} // namespace vistrel
