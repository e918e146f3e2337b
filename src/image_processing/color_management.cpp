#include "image_processing/color_management.h"

#include "image_processing/matrix_shaper.h"
#include "image_processing/parallel_for.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <lcms2.h>
#include <optional>
#include <type_traits>

namespace vistrel {

namespace fs = std::filesystem;

namespace {

// Little CMS reports problems (a damaged profile, an unsupported tag) through this one handler,
// per context. They need no text: a profile that cannot be opened is simply not used.
void OnLcmsError(cmsContext, cmsUInt32Number, const char*) {}

struct ContextDeleter {
    void operator()(cmsContext context) const { cmsDeleteContext(context); }
};
using Context = std::unique_ptr<std::remove_pointer_t<cmsContext>, ContextDeleter>;
struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(cmsHPROFILE(profile)); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

cmsContext NewContext() {
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    if (!context) throw EImageError("Out of resources");
    cmsSetLogErrorHandlerTHR(context, OnLcmsError);
    return context;
}

// The transfer curve of an nclx code point as an ICC parametric curve, or none for the HDR curves
// (PQ, HLG), which need tone mapping rather than a profile.
cmsToneCurve* NclxCurve(cmsContext context, int transfer) {
    // Type 4: Y = (aX + b)^g for X >= d, else cX.
    const double srgb[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    const double bt709[] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
    switch (transfer) {
    case 1:
    case 6:
    case 14:
    case 15:
        return cmsBuildParametricToneCurve(context, 4, bt709);
    case 4:
        return cmsBuildGamma(context, 2.2);
    case 5:
        return cmsBuildGamma(context, 2.8);
    case 8:
        return cmsBuildGamma(context, 1.0);
    case 16:
    case 18:
        return nullptr;
    default: // sRGB (13), unspecified and the rest
        return cmsBuildParametricToneCurve(context, 4, srgb);
    }
}

Profile NclxProfile(cmsContext context, const TNclxColor& nclx) {
    cmsToneCurve* curve = NclxCurve(context, nclx.transfer);
    if (!curve) return nullptr;
    cmsCIExyY white{nclx.whiteX, nclx.whiteY, 1.0};
    cmsCIExyYTRIPLE primaries{
        {nclx.redX, nclx.redY, 1.0}, {nclx.greenX, nclx.greenY, 1.0}, {nclx.blueX, nclx.blueY, 1.0}};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    Profile profile(cmsCreateRGBProfileTHR(context, &white, &primaries, curves));
    cmsFreeToneCurve(curve);
    return profile;
}

Profile OpenIcc(cmsContext context, ByteView icc) {
    if (icc.empty() || icc.size() > (64u << 20)) return nullptr;
    return Profile(cmsOpenProfileFromMemTHR(context, icc.data(), cmsUInt32Number(icc.size())));
}

Profile SrgbGrayProfile(cmsContext context) {
    const double srgb[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(context, 4, srgb);
    Profile profile(cmsCreateGrayProfileTHR(context, cmsD50_xyY(), curve));
    cmsFreeToneCurve(curve);
    return profile;
}

ByteBuffer ReadFileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return ByteBuffer(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

struct TColorConverter::Transform {
    Context context;
    cmsHTRANSFORM transform = nullptr;
    std::unique_ptr<TMatrixShaper> shaper;
    // Set when no profile could be had for a CMYK picture.
    bool plainCmyk = false;
    bool invertedCmyk = false;
    ~Transform() {
        if (transform) cmsDeleteTransform(transform);
    }
};

TColorConverter::TColorConverter(std::unique_ptr<Transform> transform) : transform_(std::move(transform)) {}
TColorConverter::~TColorConverter() = default;

namespace {

// Relative colorimetric for RGB and gray: between matrix profiles it is the plain matrix, while
// Little CMS would add black point compensation to a perceptual transform into its version 4
// sRGB. CMYK profiles carry perceptual tables made for showing print on a screen.
cmsHTRANSFORM MakeTransform(cmsContext context, const Profile& from, cmsUInt32Number inFormat,
                            const Profile& to, cmsUInt32Number outFormat,
                            cmsUInt32Number intent = INTENT_RELATIVE_COLORIMETRIC) {
    if (!from || !to) return nullptr;
    return cmsCreateTransformTHR(context, from.get(), inFormat, to.get(), outFormat, intent,
                                 cmsFLAGS_NOCACHE);
}

using Matrix = std::array<std::array<double, 3>, 3>;

// Columns are the red, green and blue colorants (XYZ, relative to D50) of a matrix profile.
std::optional<Matrix> Colorants(cmsHPROFILE profile) {
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    Matrix m{};
    for (int column = 0; column < 3; ++column) {
        auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[column]));
        if (!xyz) return std::nullopt;
        m[0][column] = xyz->X, m[1][column] = xyz->Y, m[2][column] = xyz->Z;
    }
    return m;
}

std::optional<Matrix> Inverse(const Matrix& m) {
    double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                 m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                 m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (std::abs(det) < 1e-9) return std::nullopt;
    Matrix inverse{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inverse[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
        }
    return inverse;
}

double SrgbEncode(double linear) {
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

double SrgbDecode(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

int SrgbByte(int step) {
    double linear = double(step) / TMatrixShaper::kSteps;
    return int(std::lround(std::clamp(SrgbEncode(linear), 0.0, 1.0) * 255));
}

// table[step] = SrgbByte(step), found from where each byte begins: the decoded half-way points
// give the places and SrgbByte checks them, some 800 powers instead of 16,385. The table is made
// before the first row is decoded.
void FillSrgbTable(uint8_t* table) {
    int step = 0;
    for (int byte = 1; byte <= 255; ++byte) {
        double guess = std::ceil(SrgbDecode((byte - 0.5) / 255) * TMatrixShaper::kSteps);
        int first = std::clamp(int(guess), step, TMatrixShaper::kSteps + 1);
        while (first > step && SrgbByte(first - 1) >= byte)
            --first;
        while (first <= TMatrixShaper::kSteps && SrgbByte(first) < byte)
            ++first;
        std::fill(table + step, table + first, uint8_t(byte - 1));
        step = first;
    }
    std::fill(table + step, table + TMatrixShaper::kSteps + 1, uint8_t(255));
}

// nullptr unless `from` is an RGB matrix profile with readable curves and colorants.
std::unique_ptr<TMatrixShaper> MakeMatrixShaper(cmsHPROFILE from, cmsHPROFILE srgb) {
    if (!cmsIsMatrixShaper(from) || cmsGetColorSpace(from) != cmsSigRgbData) return nullptr;
    std::optional<Matrix> source = Colorants(from), target = Colorants(srgb);
    std::optional<Matrix> targetInverse = target ? Inverse(*target) : std::nullopt;
    if (!source || !targetInverse) return nullptr;
    auto shaper = std::make_unique<TMatrixShaper>();
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int channel = 0; channel < 3; ++channel) {
        auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(from, curves[channel]));
        if (!curve) return nullptr;
        for (int v = 0; v < 256; ++v)
            shaper->toLinear[channel][v] = cmsEvalToneCurveFloat(curve, float(v / 255.0));
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            double sum = 0;
            for (int k = 0; k < 3; ++k)
                sum += (*targetInverse)[r][k] * (*source)[k][c];
            shaper->matrix[r][c] = float(sum);
        }
    FillSrgbTable(shaper->toSrgb);
    shaper->Prepare();
    return shaper;
}

// True when the transform moves no sample of a 17-step grid by more than one: sRGB profiles of
// other makers, or a profile that only restates sRGB, then leave the pixels exactly as decoded.
bool NearlyIdentity(const std::function<void(const uint8_t*, uint8_t*, int)>& convert, int channels) {
    std::vector<uint8_t> in, out;
    for (int a = 0; a < 17; ++a)
        for (int b = 0; b < (channels == 3 ? 17 : 1); ++b)
            for (int c = 0; c < (channels == 3 ? 17 : 1); ++c) {
                in.push_back(uint8_t(std::min(255, a * 16)));
                if (channels == 3)
                    in.push_back(uint8_t(std::min(255, b * 16))),
                        in.push_back(uint8_t(std::min(255, c * 16)));
            }
    out.resize(in.size());
    convert(in.data(), out.data(), int(in.size() / size_t(channels)));
    for (size_t i = 0; i < in.size(); ++i)
        if (std::abs(int(in[i]) - int(out[i])) > 1) return false;
    return true;
}

} // namespace

std::unique_ptr<TColorConverter> TColorConverter::ForBgr(const TEmbeddedColor& color) {
    if (color.Empty()) return nullptr;
    auto made = std::make_unique<Transform>();
    made->context.reset(NewContext());
    cmsContext context = made->context.get();
    Profile from = color.icc.empty() ? NclxProfile(context, *color.nclx) : OpenIcc(context, color.icc);
    if (!from || cmsGetColorSpace(from.get()) != cmsSigRgbData) return nullptr;
    Profile srgb(cmsCreate_sRGBProfileTHR(context));
    made->shaper = MakeMatrixShaper(from.get(), srgb.get());
    if (!made->shaper) made->transform = MakeTransform(context, from, TYPE_BGR_8, srgb, TYPE_BGR_8);
    if (!made->shaper && !made->transform) return nullptr;
    std::unique_ptr<TColorConverter> converter(new TColorConverter(std::move(made)));
    auto convert = [&converter](const uint8_t* in, uint8_t* out, int width) {
        converter->Convert(in, out, width);
    };
    return NearlyIdentity(convert, 3) ? nullptr : std::move(converter);
}

std::unique_ptr<TColorConverter> TColorConverter::ForGray(const TEmbeddedColor& color) {
    if (color.icc.empty()) return nullptr;
    auto made = std::make_unique<Transform>();
    made->context.reset(NewContext());
    cmsContext context = made->context.get();
    Profile from = OpenIcc(context, color.icc);
    if (!from || cmsGetColorSpace(from.get()) != cmsSigGrayData) return nullptr;
    made->transform = MakeTransform(context, from, TYPE_GRAY_8, SrgbGrayProfile(context), TYPE_GRAY_8);
    if (!made->transform) return nullptr;
    std::unique_ptr<TColorConverter> converter(new TColorConverter(std::move(made)));
    auto convert = [&converter](const uint8_t* in, uint8_t* out, int width) {
        converter->Convert(in, out, width);
    };
    return NearlyIdentity(convert, 1) ? nullptr : std::move(converter);
}

std::unique_ptr<TColorConverter> TColorConverter::ForCmyk(ByteView icc, bool inverted) {
    auto made = std::make_unique<Transform>();
    made->context.reset(NewContext());
    made->invertedCmyk = inverted;
    cmsContext context = made->context.get();
    Profile from = OpenIcc(context, icc);
    if (!from || cmsGetColorSpace(from.get()) != cmsSigCmykData) {
        fs::path fallback = DefaultCmykProfilePath();
        from = fallback.empty() ? nullptr : OpenIcc(context, ReadFileBytes(fallback));
    }
    if (from && cmsGetColorSpace(from.get()) == cmsSigCmykData) {
        Profile srgb(cmsCreate_sRGBProfileTHR(context));
        made->transform = MakeTransform(context, from, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb,
                                        TYPE_BGR_8, INTENT_PERCEPTUAL);
    }
    made->plainCmyk = made->transform == nullptr;
    return std::unique_ptr<TColorConverter>(new TColorConverter(std::move(made)));
}

void TColorConverter::Convert(const uint8_t* in, uint8_t* out, int width) const {
    if (transform_->shaper) {
        transform_->shaper->Convert(in, out, width);
        return;
    }
    if (!transform_->plainCmyk) {
        cmsDoTransform(transform_->transform, in, out, cmsUInt32Number(width));
        return;
    }
    // Without any profile: each colour is what is left of white after its ink and the black.
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (transform_->invertedCmyk) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        out[0] = uint8_t(((255 - y) * (255 - k) + 127) / 255);
        out[1] = uint8_t(((255 - m) * (255 - k) + 127) / 255);
        out[2] = uint8_t(((255 - c) * (255 - k) + 127) / 255);
    }
}

void ConvertToSrgb(TDibGraphic& picture, const TEmbeddedColor& color) {
    if (color.Empty() || picture.IsEmpty()) return;
    std::unique_ptr<TColorConverter> converter;
    if (picture.ImageFormat() == ifRgb24)
        converter = TColorConverter::ForBgr(color);
    else if (picture.ImageFormat() == ifGray256)
        converter = TColorConverter::ForGray(color);
    if (!converter) return;
    // Rows are independent; blocks of rows keep each thread's work worth its start.
    constexpr int kRowsPerBlock = 64;
    int blocks = (picture.Height() + kRowsPerBlock - 1) / kRowsPerBlock;
    int threads = WorkerCount(blocks, int64_t(picture.BytesPerRow()) * kRowsPerBlock);
    ParallelFor(
        blocks, threads,
        [&](int block) {
            int last = std::min(picture.Height(), (block + 1) * kRowsPerBlock);
            for (int y = block * kRowsPerBlock; y < last; ++y)
                converter->Convert(picture.ScanLine(y), picture.ScanLine(y), picture.Width());
        },
        [](int) {});
}

fs::path DefaultCmykProfilePath() {
    std::error_code error;
    if (const char* chosen = std::getenv("VISTREL_CMYK_PROFILE"); chosen && *chosen)
        return fs::is_regular_file(chosen, error) ? fs::path(chosen) : fs::path();
    const fs::path ghostscript = "/usr/share/color/icc/ghostscript/default_cmyk.icc";
    return fs::is_regular_file(ghostscript, error) ? ghostscript : fs::path();
}

} // namespace vistrel
