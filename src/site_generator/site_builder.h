#pragma once
// The site builder: turns the published albums and the current style into a static web site, in
// place. The site root is the album folder; each published album's pages go into its own folder
// beside its picture folders (TAlbumLayout). Preview, Publish and the CD-ROM export all start with it.
#include "album_library/album_list.h"
#include "common/job.h"
#include "common/user_prompts.h"
#include "settings/program_settings.h"
#include "site_generator/site_progress.h"
#include "site_generator/template_engine.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vistrel {

enum class TSiteMode { Publish, Preview };

// What a run works on: the settings (style, folders, page texts), the album list and where its
// messages go.
struct TSiteParams {
    TProgramSettings& settings;
    TAlbumList& albums;
    UserPrompts& prompts;
    TSiteMode mode = TSiteMode::Publish;
    // The template work one page may cost (see TSiteState::WorkLimit); tests lower it.
    int64_t workLimit = TSiteState{}.WorkLimit;
};

enum class TSiteCode {
    Ok,
    NoStartPage, // no published album has pictures
    Cancelled,   // "Abbrechen" in the progress window, after a start page was made
    WriteFailed, // a page or a copied style file could not be written; the detail says why
};

using TSiteJobResult = TJobResult<TSiteCode>;

struct TSiteResult {
    TSiteJobResult result;
    // What the builder reports: true when a start page exists, i.e. at least one published album
    // has pictures (also after a cancel that came later than the first such album).
    bool startPageExists = false;
    // The progress window's cancel flag after the run; Publish and the CD-ROM export stop on it.
    bool cancelled = false;
    // The root "index.html" when the style has one, else the first published album's "index.html".
    std::filesystem::path startPage;
    // One German warning (Windows-1252) per page that the template work limit cut short.
    std::vector<std::string> warnings;
};

// The warning for a page cut short by the template work limit, naming the style and the page.
std::string PageCutWarning(const std::string& style, const std::string& page);

// Regenerates the whole site. In Preview mode an album list without albums is reported with "Es ist
// kein Album ausgewählt." and the start page is opened through `host` unless the run was cancelled.
// A page that cannot be written ends the run with WriteFailed; the progress window is closed and
// the main window unlocked however the run ends.
TSiteResult GenerateSite(const TSiteParams& params, SiteProgress& progress, SiteHost& host);

// The German message for a run's result (Windows-1252); empty for success and for Cancelled, which
// the user chose. A write failure's detail follows on a second line.
std::string SiteMessage(const TSiteJobResult& result);

// The thumbnails per overview page: the setting `edNoOfThumbs`, or 12 when it is not a whole number
// or below 1 (it is a divisor).
int ThumbsPerPageSetting(const std::string& text);

// The file names of the pages: "thumbpage<i>.html" and "imagepage<i>.html", 0-based, no padding.
std::string ThumbPageName(int index);
std::string ImagePageName(int index);

} // namespace vistrel
