#pragma once
// The import pipeline for one picture: read, scale to the configured size, optionally correct the
// gamma, store as JPEG among the album's pictures and write its thumbnail (see TAlbumLayout).
// Progress and the stop flag travel through ImportProgress, so the window, the terminal and the
// tests each show them their own way.
#include "album_library/album_layout.h"
#include "common/job.h"
#include "image_processing/dib_graphic.h"
#include "image_processing/jpeg_graphic.h"
#include "settings/program_settings.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace vistrel {

inline constexpr const char* kStepRead = "Datei lesen";
inline constexpr const char* kStepResize = "Bild verkleinern";
inline constexpr const char* kStepGamma = "Gamma Korrektur";
inline constexpr const char* kStepSave = "Bild speichern";
inline constexpr const char* kStepThumbnail = "Vorschaubild erzeugen";

// What the progress window shows while pictures are imported. Every member has a silent default, so
// a front end overrides only what it can show. ProcessEvents lets the window redraw and "Abbrechen"
// be pressed; Cancelled, the stop flag, is read after each picture, so the picture in work is
// always completed.
class ImportProgress : public JobControl {
public:
    // Sets the file bar to 0 .. files at position 0, clears the stop flag and shows the window.
    virtual void Start(int files) { (void)files; }
    // The file bar's position and "3 von 10".
    virtual void ShowCount(int barPosition, const std::string& countText) {
        (void)barPosition, (void)countText;
    }
    // The file in work (a full path or a bare name).
    virtual void ShowPicture(const std::filesystem::path& picture) { (void)picture; }
    virtual void ShowStep(const std::string& step) { (void)step; }
    // Progress of the current step, 0 .. 100.
    virtual void StepProgress(int percent) { (void)percent; }
    virtual void Close() {}
};

struct TPictureSize {
    int width = 0;
    int height = 0;
    bool operator==(const TPictureSize&) const = default;
};

// The size rule of import: a landscape picture (height < width) gets the maximum width and its height
// in proportion, any other the maximum height and its width in proportion; rounded half to even. The
// picture is deliberately not fitted into the box: 1000x900 at 800x600 gives 800x720.
TPictureSize ProportionalSize(int width, int height, int maxWidth, int maxHeight);

// The stored size with cbAutoSize and cbDontEnlarge applied.
TPictureSize ImportTargetSize(int width, int height, TMaxPictureSize max, bool autoSize, bool dontEnlarge);

// The gamma factor to apply for the text of edGamma, or nothing: text that cannot be read (with ","
// as the decimal separator of this German program), 1.0, and values outside 0.1 .. 7.0 apply none.
std::optional<double> ImportGammaFactor(const std::string& text);

// The longer side of the large version for the text of edLargeSize: 0 for none ("0"), otherwise
// 32 .. 8192 (values outside are taken to the nearer end); text that is no whole number gives the
// default 2048.
int LargeVersionSide(const std::string& text);

// The size of a picture's large version: the source (upright) fitted to `side` on its longer side,
// never enlarged; nothing when `side` is 0 or the result would not be larger than the stored picture.
std::optional<TPictureSize> LargeVersionSize(TPictureSize source, TPictureSize stored, int side);

// JPEG quality for rgQuality: 0 gives 90, 2 gives 60, anything else 75.
int ImportQuality(int qualityChoice);

// The web-safe name of the source file's name without its extension, plus ".jpg". File names are
// UTF-8 here; they are turned into Windows-1252 first so that umlauts are spelled out, not dropped.
std::string ImportFileName(const std::filesystem::path& source);

// With rgOverwriteFiles 1, "name(1).jpg", "name(2).jpg", ... until no such file is in `imagesFolder`;
// otherwise `fileName` itself.
std::string FreeImportFileName(const std::filesystem::path& imagesFolder, const std::string& fileName,
                               int overwriteChoice);

// The JPEG writer takes only true colour and 256 grays, so a picture in a palette or 16-gray format
// must be converted first: gray palettes to ifGray256, any other palette to ifRgb24. Nothing for a
// picture the writer takes as it is.
std::optional<TImageFormat> JpegConversionFormat(const TDibGraphic& picture);

enum class TImportSource { File, Scanner };

// The reading half of the pipeline for a picture from a file: decoded and scaled, not yet stored.
// It can be made on another thread while the picture before it is written.
struct TPreparedPicture {
    std::filesystem::path source;
    TPictureSize sourceSize; // of the upright picture
    int orientation = 1;     // EXIF orientation of the source
    bool copyUnchanged = false;
    int decodeWarnings = 0; // damage the JPEG decoder read over (cut short, corrupt data)
    // The picture scaled to the stored size, or with copyUnchanged to the thumbnail size; both still
    // lying as the source lies.
    TDibGraphic picture;
    // The large version, made from the same decoded rows, lying as the source lies; empty when the
    // picture gets none or when it was encoded already.
    TDibGraphic large;
    // The large version's file, when it could be encoded while it was made.
    ByteBuffer largeJpeg;
};

// Runs the pipeline with the two picture buffers that live as long as the importer.
class TPictureImporter {
public:
    TPictureImporter(const TProgramSettings& settings, ImportProgress& progress);

    // The album folder whose picture folders receive the pictures, and the maximum size, which
    // is worked out once at the start of every import action.
    void Begin(const std::filesystem::path& albumFolder, TMaxPictureSize maxSize);

    // From a file, `path` is the source file; from the scanner, a bare file name whose picture is
    // already in SourceBuffer(). On return `path` holds the full path of the stored picture. Throws
    // the reader's and writer's errors; both buffers are empty afterwards either way.
    void ImportPicture(std::filesystem::path& path, TImportSource from);

    TDibGraphic& SourceBuffer() { return source_; }

    // Reads and scales the picture of `source`. Touches no album file and no member but the settings,
    // so it may run on another thread; `progress` (may be empty) and `stop` (may be null) are used
    // on that thread. A JPEG is reduced while it is decoded; other formats are read whole first.
    void Prepare(const std::filesystem::path& source, TPreparedPicture& prepared,
                 const TImageProgressEvent& progress, const std::atomic<bool>* stop) const;
    // The writing half: stores the prepared picture and its thumbnail, showing the steps; `path`
    // receives the stored picture's full path. The prepared picture is empty afterwards either way.
    void Store(TPreparedPicture& prepared, std::filesystem::path& path);
    // What the window shows when the reading of a file begins.
    void ShowReading(const std::filesystem::path& source);

private:
    TPictureSize TargetFor(TPictureSize sourceSize) const;
    std::optional<TPictureSize> LargeFor(TPictureSize sourceSize, bool copyUnchanged) const;
    void StoreLarge(TDibGraphic& large, int orientation, const std::string& name);
    bool GammaApplies() const;
    void CorrectGamma(TDibGraphic& picture, const TImageProgressEvent& progress);
    bool CopiesUnchanged(const std::filesystem::path& source, TPictureSize sourceSize) const;
    // Decodes a file into a row sink; gives the number of damages read over.
    using TRowDecoder = std::function<int(const std::filesystem::path&, TJpegRowSink&)>;
    void PrepareStreamed(const std::filesystem::path& source, TPreparedPicture& prepared,
                         const TImageProgressEvent& progress, const std::atomic<bool>* stop,
                         const TRowDecoder& decode) const;
    void StoreResized(TDibGraphic& picture, int orientation, const std::filesystem::path& stored);
    void WriteThumbnailOf(TDibGraphic& picture, TPictureSize sourceSize, int orientation,
                          const std::filesystem::path& file);
    void WriteSmallThumbnail(TDibGraphic& small, int orientation, const std::filesystem::path& file);
    void WriteJpeg(TDibGraphic& picture, const std::filesystem::path& file, int quality);
    TImageProgressEvent StepReporter();

    const TProgramSettings& settings_;
    ImportProgress& progress_;
    TAlbumLayout album_{{}};
    TMaxPictureSize maxSize_;
    int largeSide_ = 0;
    TDibGraphic source_;
    TDibGraphic work_;
};

} // namespace vistrel
