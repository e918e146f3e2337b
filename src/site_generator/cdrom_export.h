#pragma once
// The CD-ROM export: copies the generated site (the site root and each published album's folder with
// its picture folders) into a folder of the user's choice and adds "AUTORUN.INF", so that the
// folder can be burnt onto a CD that opens the start page when inserted.
#include "album_library/album_list.h"
#include "common/job.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vistrel {

class TProgramSettings;

// The source folders in copy order: the album folder, then for each published album (with or without
// pictures) its folder and the subfolders a site carries (TAlbumLayout::kSiteFolders: "images",
// "thumbs", and "large" and "renditions" where they exist). Every path ends in a separator.
struct TCdromFolderList {
    std::filesystem::path galleries;
    std::vector<std::filesystem::path> folders;
};

TCdromFolderList BuildCdromFolderList(const TAlbumList& albums);

// The plain files of a source folder that are copied: not hidden ones, not subfolders. A folder that
// cannot be read has none.
// Links count only when they resolve inside `within` (the album's folder, or the album folder for the
// site root; the folder itself when empty).
std::vector<std::string> CdromFilesOf(const std::filesystem::path& folder,
                                      const std::filesystem::path& within = {});

// True when the copy may go to `target`: it is neither inside the program folder or the album
// folder nor holds either of them, so the copy can never overwrite the program's own files.
bool IsAllowedCdromTarget(const std::filesystem::path& target, const TProgramSettings& settings);

struct TCdromSummary {
    int folders = 0;
    int files = 0;
    uint64_t bytes = 0; // 64 bits: a CD folder list can pass 2 GB
};

TCdromSummary CountCdromFiles(const TCdromFolderList& list);
// "%d Verzeichnisse mit %d Dateien und %1.1f MBytes werden kopiert.", the megabytes with one decimal
// and the given decimal separator.
std::string CdromSummaryText(const TCdromSummary& summary, char decimalSeparator);

// The copy's view of the dialog: the file label, the counter and the bar; between files the
// window repaints and "Abbrechen" is read (JobControl).
class CdromProgress : public JobControl {
public:
    virtual void ShowFile(const std::filesystem::path& target) = 0;
    // After each file: the bar's position and maximum ("<done> von <total>").
    virtual void FileCopied(int done, int total) = 0;
    void ProcessEvents() override = 0;
    bool Cancelled() const override = 0;
};

enum class TCdromOutcome {
    Copied,           // everything copied and "AUTORUN.INF" written; the dialog closes with OK
    NoTarget,         // the target text is empty; nothing copied, the dialog stays usable
    CopyFailed,       // a folder or file could not be made; files copied so far stay
    Cancelled,        // "Abbrechen" during the copy; the dialog is closing
    NoSpace,          // the target's disk is full; files copied so far stay
    TargetNotAllowed, // the target lies in the program or album folder, or holds one; nothing copied
};

using TCdromResult = TJobResult<TCdromOutcome>;

// What the dialog's "Ok" copies and where.
struct TCdromParams {
    const TCdromFolderList& folders;
    std::string targetText; // as typed (Windows-1252), with or without a trailing "/" or "\"
    int total = 0;          // the file count the dialog showed (the bar's maximum)
    TProgramSettings& settings;
};

// The dialog's "Ok": copies every folder of the list below the target. A target in or around the
// program folder is refused before anything is written. On success writes "AUTORUN.INF" (an error
// there is ignored) and stores the target as "CDROMPATH". A failure's detail names the file.
TCdromResult CopyCdromFiles(const TCdromParams& params, CdromProgress& progress);

// The message that follows an outcome (empty for Cancelled), in Windows-1252.
std::string CdromOutcomeMessage(TCdromOutcome outcome, const std::string& targetText);

// The folder of the CD for the text the user typed (Windows-1252, a trailing separator optional).
std::filesystem::path CdromTargetFolder(const std::string& targetText);

} // namespace vistrel
