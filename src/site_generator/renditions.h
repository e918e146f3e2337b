#pragma once
// The site's renditions: every picture of a published album scaled to a ladder of widths for the
// picture page and to the thumbnail box at 1x, 2x and 3x for the overview, each as WebP and JPEG,
// written into the album's "renditions" folder. They come from the largest version the album keeps
// ("large/<name>" when present, else "images/<name>"), upright and without any metadata.
//
// A hidden list in that folder (".renditions") remembers what each picture's renditions were made
// from: the source's size, time and MD5 and the encoding parameters. A rebuild that finds them
// unchanged and every file present encodes and writes nothing; a changed picture re-encodes only
// its own; files of pictures that are gone are removed. Encoding is deterministic, so a picture
// that is re-encoded anyway gives the same bytes and the upload does not send it again.
#include "album_library/album_layout.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vistrel {

enum class TRenditionFormat { Jpeg, Webp };

struct TRenditionSize {
    int width = 0;
    int height = 0;
    bool operator==(const TRenditionSize&) const = default;
};

// What one picture's renditions are, in width order. `ready` is false when the picture could not
// be read: then no file exists and the pages fall back to the stored picture.
struct TPictureRenditions {
    std::string picture; // the file name in "images"
    TRenditionSize source;
    std::vector<TRenditionSize> thumbs; // 1x, 2x, 3x of the thumbnail box; fewer for a small source
    std::vector<TRenditionSize> ladder; // the picture page's widths
    bool ready = false;

    // Every size there is a file for, each width once, ascending.
    std::vector<TRenditionSize> AllSizes() const;
};

struct TRenditionPlan {
    std::vector<int> ladder = {480, 800, 1200, 1600, 2048};
    int thumbBox = 120; // the stored thumbnail's longer side
    int densities = 3;
    int jpegQuality = 82;
    float webpQuality = 80.0f;
    // Changes whenever a value above or the way renditions are made changes: a rebuild with
    // another key makes every rendition anew.
    std::string Key() const;
};

inline constexpr const char* kRenditionFolder = TAlbumLayout::kRenditionsFolder;
inline constexpr const char* kRenditionList = ".renditions";

// The sizes for a picture of `width` x `height` (upright): ladder widths below the source's width
// and the source's width itself when it is below the top of the ladder; the thumbnail box times
// each density, never above the source. Heights keep the proportion (rounded, at least 1).
TPictureRenditions PlanRenditions(const std::string& picture, int width, int height,
                                  const TRenditionPlan& plan = {});

// "Bild_10-480.webp": the picture's name without its extension, the width and the format's
// extension. Relative to the album's "renditions" folder.
std::string RenditionFileName(const std::string& picture, int width, TRenditionFormat format);

struct TRenditionOutcome {
    std::vector<TPictureRenditions> pictures; // in the order asked for
    int encoded = 0;                          // pictures whose renditions were made in this run
    int removed = 0;                          // files of pictures or sizes no longer wanted
    bool cancelled = false;
    // One German text (Windows-1252) per picture that could not be read.
    std::vector<std::string> failures;
};

// Told on the calling thread how many pictures are done (those found current count at once); it
// returns false to stop ("Abbrechen"), which ends the run after the pictures being encoded.
using TRenditionProgress = std::function<bool(int picturesDone)>;

// Brings the renditions of `albumFolder` up to date for `pictures` (names in "images"), using all
// cores, and keeps what was finished when stopped. A file that cannot be written ends the run with
// EFileWriteError; a picture that cannot be read is noted in the outcome's failures.
TRenditionOutcome UpdateRenditions(const std::filesystem::path& albumFolder,
                                   const std::vector<std::string>& pictures,
                                   const TRenditionProgress& progress, const TRenditionPlan& plan = {});

} // namespace vistrel
