#include "album_library/picture_import.h"

#include "album_library/album_list.h"
#include "album_library/exif_orientation.h"
#include "album_library/jpeg_without_metadata.h"
#include "album_library/picture_files.h"
#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/numbers.h"
#include "common/text_utils.h"
#include "image_processing/color_transforms.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/heif_graphic.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/resize_transform.h"
#include "image_processing/streaming_resize.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <future>
#include <utility>
#include <vector>

namespace vistrel {

namespace fs = std::filesystem;

namespace {

constexpr int kThumbnailQuality = 75;

constexpr int kLargeVersionDpi = 72;

// What StoreLarge gives the JPEG writer, for a large version encoded while it is made.
TJpegRowEncoder::TSettings LargeVersionEncoding() {
    TJpegRowEncoder::TSettings settings;
    settings.quality = kLargeVersionQuality;
    settings.xDpi = settings.yDpi = kLargeVersionDpi;
    return settings;
}

// Both buffers are emptied after every picture, also when a step throws.
class TBufferRelease {
public:
    TBufferRelease(TDibGraphic& a, TDibGraphic& b) : a_(a), b_(b) {}
    ~TBufferRelease() {
        a_.FreeImage();
        b_.FreeImage();
    }
    TBufferRelease(const TBufferRelease&) = delete;
    TBufferRelease& operator=(const TBufferRelease&) = delete;

private:
    TDibGraphic& a_;
    TDibGraphic& b_;
};

bool IsGrayPalette(const TPalette& palette) {
    return std::all_of(palette.begin(), palette.end(), [](TColor c) {
        return (c & 0xFF) == ((c >> 8) & 0xFF) && (c & 0xFF) == ((c >> 16) & 0xFF);
    });
}

TPictureSize Swapped(TPictureSize size) {
    return {size.height, size.width};
}

// Lanczos3 for every resize of the import, also at the same size. A palette picture comes out in a
// format the JPEG writer takes, which also resamples it in full colour instead of snapping each
// pixel back to the palette.
void ResizeForImport(const TDibGraphic& from, TDibGraphic& to, TPictureSize size,
                     const TImageProgressEvent& progress) {
    TResizeTransform resize;
    resize.TargetWidth = size.width;
    resize.TargetHeight = size.height;
    resize.Resample = true;
    resize.ResampleFilter = sfLanczos3;
    if (std::optional<TImageFormat> format = JpegConversionFormat(from)) {
        resize.ForceFormat = true;
        resize.ForcedFormat = *format;
    }
    resize.OnProgress = progress;
    resize.ApplyOnDest(from, to);
}

} // namespace

TPictureSize ProportionalSize(int width, int height, int maxWidth, int maxHeight) {
    if (width <= 0 || height <= 0) return {};
    double aspect = double(width) / double(height);
    // The short side keeps at least 2 pixels: the resampler refuses a 1-pixel destination, so a very
    // wide or very high picture would otherwise not import at all.
    if (height < width) return {maxWidth, std::max(2, int(Round(maxWidth / aspect)))};
    return {std::max(2, int(Round(maxHeight * aspect))), maxHeight};
}

TPictureSize ImportTargetSize(int width, int height, TMaxPictureSize max, bool autoSize, bool dontEnlarge) {
    TPictureSize target = ProportionalSize(width, height, max.width, max.height);
    if (!autoSize) target = {width, height};
    if (dontEnlarge && width < target.width) target = {width, height};
    return target;
}

std::optional<double> ImportGammaFactor(const std::string& text) {
    std::string number = Trim(text);
    if (!number.empty() && number.front() == '+') number.erase(0, 1);
    // "." is not the decimal separator here: "1.5" cannot be read, like any other stray character.
    if (number.find('.') != std::string::npos) return std::nullopt;
    std::replace(number.begin(), number.end(), ',', '.');
    double value = 0;
    const char* end = number.data() + number.size();
    auto [stop, error] = std::from_chars(number.data(), end, value);
    if (number.empty() || error != std::errc() || stop != end) return std::nullopt;
    if (value == 1.0 || value < 0.1 || value > 7.0) return std::nullopt;
    return value;
}

int LargeVersionSide(const std::string& text) {
    constexpr int kDefault = 2048, kSmallest = 32, kLargest = 8192;
    int value = 0;
    if (!ParseInt(Trim(text), value)) return kDefault;
    if (value == 0) return 0;
    return std::clamp(value, kSmallest, kLargest);
}

std::optional<TPictureSize> LargeVersionSize(TPictureSize source, TPictureSize stored, int side) {
    if (side <= 0 || source.width <= 0 || source.height <= 0) return std::nullopt;
    int sourceSide = std::max(source.width, source.height);
    TPictureSize large =
        side >= sourceSide ? source : ProportionalSize(source.width, source.height, side, side);
    if (std::max(large.width, large.height) <= std::max(stored.width, stored.height)) return std::nullopt;
    return large;
}

int ImportQuality(int qualityChoice) {
    if (qualityChoice == 0) return 90;
    if (qualityChoice == 2) return 60;
    return 75;
}

std::string ImportFileName(const fs::path& source) {
    return WebSafeName(Utf8ToAnsi(source.filename().stem().string())) + ".jpg";
}

std::string FreeImportFileName(const fs::path& imagesFolder, const std::string& fileName,
                               int overwriteChoice) {
    if (overwriteChoice != 1) return fileName;
    std::string base = fileName.substr(0, fileName.size() - 4);
    std::string candidate = fileName;
    std::error_code ec;
    for (int n = 1; fs::exists(imagesFolder / candidate, ec); ++n)
        candidate = base + "(" + std::to_string(n) + ").jpg";
    return candidate;
}

std::optional<TImageFormat> JpegConversionFormat(const TDibGraphic& picture) {
    switch (picture.ImageFormat()) {
    case ifRgb24:
    case ifGray256:
        return std::nullopt;
    case ifGray16:
        return ifGray256;
    default:
        return IsGrayPalette(picture.Palette()) ? ifGray256 : ifRgb24;
    }
}

TPictureImporter::TPictureImporter(const TProgramSettings& settings, ImportProgress& progress)
    : settings_(settings), progress_(progress) {}

void TPictureImporter::Begin(const fs::path& albumFolder, TMaxPictureSize maxSize) {
    album_ = TAlbumLayout(albumFolder);
    maxSize_ = maxSize;
    largeSide_ = LargeVersionSide(settings_.edLargeSize);
}

TImageProgressEvent TPictureImporter::StepReporter() {
    return [this](uint8_t percent) { progress_.StepProgress(percent); };
}

TPictureSize TPictureImporter::TargetFor(TPictureSize sourceSize) const {
    return ImportTargetSize(sourceSize.width, sourceSize.height, maxSize_, settings_.cbAutoSize,
                            settings_.cbDontEnlarge);
}

std::optional<TPictureSize> TPictureImporter::LargeFor(TPictureSize sourceSize, bool copyUnchanged) const {
    // A picture stored as the very file it came from is as large as its source already.
    if (copyUnchanged) return std::nullopt;
    return LargeVersionSize(sourceSize, TargetFor(sourceSize), largeSide_);
}

bool TPictureImporter::CopiesUnchanged(const fs::path& source, TPictureSize sourceSize) const {
    return TargetFor(sourceSize) == sourceSize && settings_.cbJPEGNoReCompress && !settings_.cbGamma &&
           AnsiLowerCase(source.extension().string()) == ".jpg";
}

void TPictureImporter::Prepare(const fs::path& source, TPreparedPicture& prepared,
                               const TImageProgressEvent& progress, const std::atomic<bool>* stop) const {
    prepared.source = source;
    prepared.picture.FreeImage();
    prepared.large.FreeImage();
    prepared.largeJpeg.clear();
    prepared.decodeWarnings = 0;
    const TGraphicClass* cls = GraphicClassForFile(source);
    // A HEIF reader turns the picture by the file's own properties; its EXIF orientation only
    // repeats them and must not turn it again.
    prepared.orientation = cls && cls->orientsItself ? 1 : ReadExifOrientation(source);
    if (cls && cls->name == "TJpegGraphic")
        return PrepareStreamed(
            source, prepared, progress, stop,
            [](const fs::path& file, TJpegRowSink& sink) { return DecodeJpegFile(file, sink); });
    if (cls && cls->name == "THeifGraphic")
        return PrepareStreamed(source, prepared, progress, stop,
                               [](const fs::path& file, TJpegRowSink& sink) {
                                   DecodeHeifFile(file, sink);
                                   return 0;
                               });
    TDibGraphic whole;
    LoadPictureFile(source, 1, progress, whole);
    TPictureSize size{whole.Width(), whole.Height()};
    if (OrientationSwapsSides(prepared.orientation)) size = Swapped(size);
    prepared.sourceSize = size;
    prepared.copyUnchanged = CopiesUnchanged(source, size);
    TThumbSize thumb = ThumbnailSize(size.width, size.height);
    TPictureSize target = prepared.copyUnchanged ? TPictureSize{thumb.width, thumb.height} : TargetFor(size);
    std::optional<TPictureSize> large = LargeFor(size, prepared.copyUnchanged);
    if (OrientationSwapsSides(prepared.orientation)) {
        target = Swapped(target);
        if (large) large = Swapped(*large);
    }
    ResizeForImport(whole, prepared.picture, target, {});
    if (large) ResizeForImport(whole, prepared.large, *large, {});
}

// The stored picture (or, for a copied file, the thumbnail) and the large version are made while the
// file is decoded, from its rows as they come; the decoded picture itself is never held.
void TPictureImporter::PrepareStreamed(const fs::path& source, TPreparedPicture& prepared,
                                       const TImageProgressEvent& progress, const std::atomic<bool>* stop,
                                       const TRowDecoder& decode) const {
    auto chooseTarget = [&](const TJpegHeader& header) {
        TPictureSize size{header.width, header.height};
        if (OrientationSwapsSides(prepared.orientation)) size = Swapped(size);
        prepared.sourceSize = size;
        prepared.copyUnchanged = CopiesUnchanged(source, size);
        TThumbSize thumb = ThumbnailSize(size.width, size.height);
        TPictureSize target =
            prepared.copyUnchanged ? TPictureSize{thumb.width, thumb.height} : TargetFor(size);
        if (OrientationSwapsSides(prepared.orientation)) target = Swapped(target);
        return TResizeTarget{target.width, target.height};
    };
    std::optional<TResizeTarget> largeTarget;
    TImageFormat largeFormat = ifRgb24;
    auto chooseLarge = [&](const TJpegHeader& header) -> std::optional<TResizeTarget> {
        std::optional<TPictureSize> large = LargeFor(prepared.sourceSize, prepared.copyUnchanged);
        if (!large) return std::nullopt;
        if (OrientationSwapsSides(prepared.orientation)) large = Swapped(*large);
        largeTarget = TResizeTarget{large->width, large->height};
        largeFormat = header.format;
        return largeTarget;
    };
    // An upright large version that gets no gamma is stored as it is made: it is encoded row by row
    // on its worker while the decode goes on, and never held as a picture. Any other is made whole,
    // then turned and corrected when it is stored. The encoder outlives the resize's workers.
    std::unique_ptr<TJpegRowEncoder> encoder;
    TStreamingResize resize(chooseTarget, sfLanczos3, prepared.picture, stop);
    if (prepared.orientation == 1 && !GammaApplies())
        resize.AddRowOutput(chooseLarge, [&](const uint8_t* row, int y) {
            if (y == 0)
                encoder = std::make_unique<TJpegRowEncoder>(largeTarget->width, largeTarget->height,
                                                            largeFormat, LargeVersionEncoding());
            encoder->WriteRow(row);
        });
    else
        resize.AddOutput(chooseLarge, prepared.large);
    if (progress) {
        progress(0);
        resize.OnDecodeProgress = progress;
    }
    prepared.decodeWarnings = decode(source, resize);
    resize.Finish();
    if (encoder) prepared.largeJpeg = encoder->Finish();
}

void TPictureImporter::ImportPicture(fs::path& path, TImportSource from) {
    TBufferRelease release(source_, work_);
    if (from == TImportSource::File) {
        ShowReading(path);
        TPreparedPicture prepared;
        Prepare(path, prepared, StepReporter(), nullptr);
        Store(prepared, path);
        return;
    }
    // The scanner's picture is upright and is never copied unchanged.
    std::string name = FreeImportFileName(album_.Images(), ImportFileName(path), settings_.rgOverwriteFiles);
    fs::path stored = album_.PathOf(TPictureFile::Picture, name);
    TPictureSize sourceSize{source_.Width(), source_.Height()};
    album_.CreatePictureFolders();
    progress_.ShowStep(kStepResize);
    ResizeForImport(source_, work_, TargetFor(sourceSize), StepReporter());
    TDibGraphic large;
    if (std::optional<TPictureSize> size = LargeFor(sourceSize, false))
        ResizeForImport(source_, large, *size, StepReporter());
    source_.FreeImage();
    StoreResized(work_, 1, stored);
    WriteThumbnailOf(work_, sourceSize, 1, album_.PathOf(TPictureFile::Thumbnail, name));
    StoreLarge(large, 1, name);
    path = stored;
}

void TPictureImporter::ShowReading(const fs::path& source) {
    progress_.StepProgress(0);
    progress_.ShowPicture(source);
    progress_.ShowStep(kStepRead);
    progress_.ProcessEvents();
}

void TPictureImporter::Store(TPreparedPicture& prepared, fs::path& path) {
    TBufferRelease release(prepared.picture, work_);
    TBufferRelease releaseLarge(prepared.large, prepared.large);
    std::string name =
        FreeImportFileName(album_.Images(), ImportFileName(prepared.source), settings_.rgOverwriteFiles);
    fs::path stored = album_.PathOf(TPictureFile::Picture, name);
    album_.CreatePictureFolders();
    // A large version encoded while the picture was read goes to the disk beside the picture and
    // its thumbnail, each file's sync waiting on its own; it replaces an old one only after them,
    // as it did when it was written last. (Declared in this order, the write has ended before the
    // pending file and the bytes are dropped.)
    ByteBuffer largeBytes = std::move(prepared.largeJpeg);
    prepared.largeJpeg.clear();
    TPendingFile largeFile;
    std::future<void> largeWrite;
    if (!largeBytes.empty()) {
        fs::create_directories(album_.Large());
        largeWrite = std::async(std::launch::async, [&] {
            largeFile.Write(
                album_.PathOf(TPictureFile::Large, name),
                std::string_view(reinterpret_cast<const char*>(largeBytes.data()), largeBytes.size()));
        });
    }
    if (prepared.copyUnchanged) {
        // The copy keeps its EXIF orientation, so viewers still turn it, and loses all other
        // metadata, since the picture is published as it is; only the thumbnail is ours.
        CopyJpegWithoutMetadata(prepared.source, stored, prepared.orientation);
        WriteSmallThumbnail(prepared.picture, prepared.orientation,
                            album_.PathOf(TPictureFile::Thumbnail, name));
    } else {
        progress_.ShowStep(kStepResize);
        progress_.StepProgress(100);
        work_.TakeImageFrom(prepared.picture);
        StoreResized(work_, prepared.orientation, stored);
        WriteThumbnailOf(work_, prepared.sourceSize, 1, album_.PathOf(TPictureFile::Thumbnail, name));
    }
    if (largeWrite.valid()) {
        largeWrite.get();
        largeFile.Commit();
    } else {
        StoreLarge(prepared.large, prepared.orientation, name);
    }
    path = stored;
}

// The large version gets what the stored picture got (upright, the same gamma), at a quality for
// high-resolution screens and without anything of the source's file but its pixels. A picture
// without one loses the large version an earlier picture of its name may have left.
void TPictureImporter::StoreLarge(TDibGraphic& large, int orientation, const std::string& name) {
    if (large.IsEmpty()) {
        album_.RemovePictureFile(TPictureFile::Large, name);
        return;
    }
    // It is written under the last step shown, "Bild speichern": the steps stay those of a picture.
    OrientUpright(large, orientation);
    CorrectGamma(large, {});
    large.SetXDotsPerInch(kLargeVersionDpi);
    large.SetYDotsPerInch(kLargeVersionDpi);
    fs::create_directories(album_.Large());
    WriteJpegFile(large, album_.PathOf(TPictureFile::Large, name), kLargeVersionQuality);
    large.FreeImage();
}

bool TPictureImporter::GammaApplies() const {
    return settings_.cbGamma && ImportGammaFactor(settings_.edGamma);
}

// `progress` empty: applied without showing the step.
void TPictureImporter::CorrectGamma(TDibGraphic& picture, const TImageProgressEvent& progress) {
    if (!settings_.cbGamma) return;
    std::optional<double> factor = ImportGammaFactor(settings_.edGamma);
    if (!factor) return;
    if (progress) progress_.ShowStep(kStepGamma);
    TGammaTransform gamma;
    gamma.SetGammaValue(*factor);
    gamma.OnProgress = progress;
    gamma.Apply(picture);
}

// Turning the small result is cheaper than turning the camera picture, so the resize aimed at the
// target as the picture lies and the turn comes after it.
void TPictureImporter::StoreResized(TDibGraphic& picture, int orientation, const fs::path& stored) {
    OrientUpright(picture, orientation);
    CorrectGamma(picture, StepReporter());
    WriteJpeg(picture, stored, ImportQuality(settings_.rgQuality));
}

void TPictureImporter::WriteThumbnailOf(TDibGraphic& picture, TPictureSize sourceSize, int orientation,
                                        const fs::path& file) {
    progress_.ShowStep(kStepThumbnail);
    TThumbSize thumb = ThumbnailSize(sourceSize.width, sourceSize.height);
    TPictureSize size{thumb.width, thumb.height};
    TDibGraphic small;
    ResizeForImport(picture, small, OrientationSwapsSides(orientation) ? Swapped(size) : size,
                    StepReporter());
    picture.FreeImage();
    OrientUpright(small, orientation);
    WriteJpeg(small, file, kThumbnailQuality);
}

// A thumbnail already made at its size while the source was read.
void TPictureImporter::WriteSmallThumbnail(TDibGraphic& small, int orientation, const fs::path& file) {
    progress_.ShowStep(kStepThumbnail);
    progress_.StepProgress(100);
    OrientUpright(small, orientation);
    WriteJpeg(small, file, kThumbnailQuality);
}

void TPictureImporter::WriteJpeg(TDibGraphic& picture, const fs::path& file, int quality) {
    progress_.ShowStep(kStepSave);
    TJpegGraphic jpeg;
    jpeg.TakeImageFrom(picture);
    jpeg.Quality = static_cast<uint8_t>(std::clamp(quality, 1, 100));
    jpeg.OnProgress = StepReporter();
    jpeg.WriteToFile(file);
    // The stored picture is the source of its thumbnail, so the pixels go back after writing.
    picture.TakeImageFrom(jpeg);
}

} // namespace vistrel
