#include "site_generator/cdrom_export.h"

#include "album_library/program_list_files.h"
#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/folder_listing.h"
#include "common/text_utils.h"
#include "settings/program_settings.h"

#include <cstdio>

namespace vistrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSummaryFormat = "%s Verzeichnisse mit %s Dateien und %s MBytes werden kopiert.";
constexpr const char* kNoTargetMessage = "Bitte geben Sie ein Ausgabeverzeichnis an!";
constexpr const char* kCopiedMessage =
    "Alle ben\xF6tigten Dateien wurden zusammengestellt. Kopieren Sie die Dateien aus dem Verzeichnis %s in "
    "das Stammverzeichnis der CD.";
constexpr const char* kNoSpaceMessage =
    "Beim Kopieren der Dateien ist ein Fehler aufgetreten. Bitte stellen Sie sicher, dass gen\xFCgend "
    "Speicherplatz vorhanden ist.";
constexpr const char* kFailedMessage = "Beim Kopieren der Dateien ist ein Fehler aufgetreten. Bitte pr\xFC"
                                       "fen Sie, ob im Verzeichnis %s "
                                       "Ordner und Dateien angelegt werden k\xF6nnen.";
constexpr const char* kNotAllowedMessage =
    "Das Ausgabeverzeichnis %s liegt im Programmverzeichnis oder enth\xE4lt es. Bitte w\xE4hlen Sie ein "
    "anderes Verzeichnis, damit die Alben und Einstellungen nicht \xFC"
    "berschrieben werden.";

// The outcome of a copy step that failed: full disks get their own message.
TCdromOutcome FailureOf(const std::error_code& ec) {
    return ec == std::errc::no_space_on_device ? TCdromOutcome::NoSpace : TCdromOutcome::CopyFailed;
}

// True when `inner`, as far as it exists with links resolved, is `outer` or lies below it.
bool IsSameOrBelow(const fs::path& inner, const fs::path& outer) {
    std::error_code ec;
    fs::path a = fs::weakly_canonical(inner, ec);
    if (ec) return false;
    fs::path b = fs::weakly_canonical(outer, ec);
    if (ec) return false;
    fs::path relative = a.lexically_relative(b);
    return !relative.empty() && *relative.begin() != "..";
}
constexpr const char* kAutorun = "[autorun]\r\nOPEN=explorer.exe index.html\r\n";

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// The part of `folder` below the album folder ("" for the root, "Urlaub/images/" for an album's
// pictures); both paths end in a separator.
std::string BelowGalleries(const fs::path& folder, const fs::path& galleries) {
    std::string text = folder.string();
    std::string prefix = galleries.string();
    return StartsWith(text, prefix) ? text.substr(prefix.size()) : std::string();
}

// Copies the files of one source folder; the failure of the first file or folder that cannot be made
// (none: all copied). Stops after the file during which "Abbrechen" was pressed.
std::error_code CopyFolder(const fs::path& source, const fs::path& within, const fs::path& target, int& done,
                           int total, CdromProgress& progress) {
    std::error_code ec;
    fs::create_directories(target, ec);
    if (ec) return ec;
    if (!fs::is_directory(target, ec)) return ec ? ec : std::make_error_code(std::errc::not_a_directory);
    for (const std::string& name : CdromFilesOf(source, within)) {
        progress.ShowFile(target / name);
        fs::copy_file(source / name, target / name, fs::copy_options::overwrite_existing, ec);
        if (ec) return ec;
        progress.FileCopied(++done, total);
        progress.ProcessEvents();
        if (progress.Cancelled()) return {};
    }
    return {};
}

} // namespace

bool IsAllowedCdromTarget(const fs::path& target, const TProgramSettings& settings) {
    const TProgramFolders& folders = settings.Folders();
    for (const fs::path& own : {folders.program, folders.albums})
        if (IsSameOrBelow(target, own) || IsSameOrBelow(own, target)) return false;
    return true;
}

TCdromFolderList BuildCdromFolderList(const TAlbumList& albums) {
    TCdromFolderList list;
    list.galleries = albums.AlbumFolder() / "";
    list.folders.push_back(list.galleries);
    for (const TAlbumEntry& album : albums.Albums()) {
        if (!album.Published || !IsPlainFolderName(album.FolderName)) continue;
        fs::path folder = list.galleries / album.FolderName;
        // An album folder that is a link to a folder elsewhere is not part of the site.
        if (!IsAlbumFolderInside(folder, list.galleries)) continue;
        list.folders.push_back(folder / "");
        list.folders.push_back(folder / "images" / "");
        list.folders.push_back(folder / "thumbs" / "");
    }
    return list;
}

fs::path CdromContainingFolder(const fs::path& folder, const fs::path& galleries) {
    std::string below = BelowGalleries(folder, galleries);
    size_t end = below.find_first_of("/\\");
    if (below.empty() || end == 0) return galleries;
    return galleries / below.substr(0, end);
}

std::vector<std::string> CdromFilesOf(const fs::path& folder, const fs::path& within) {
    std::vector<std::string> files =
        ListFolderWithin(folder, EntryKind::Files, within.empty() ? folder : within);
    // Hidden files and the program's own lists (which name unpublished albums too) stay at home.
    std::erase_if(files,
                  [](const std::string& name) { return StartsWith(name, ".") || IsProgramListFile(name); });
    return files;
}

TCdromSummary CountCdromFiles(const TCdromFolderList& list) {
    TCdromSummary summary;
    summary.folders = static_cast<int>(list.folders.size());
    for (const fs::path& folder : list.folders) {
        for (const std::string& name : CdromFilesOf(folder, CdromContainingFolder(folder, list.galleries))) {
            std::error_code ec;
            uintmax_t size = fs::file_size(folder / name, ec);
            ++summary.files;
            if (!ec) summary.bytes += size;
        }
    }
    return summary;
}

std::string CdromSummaryText(const TCdromSummary& summary, char decimalSeparator) {
    char megabytes[64];
    std::snprintf(megabytes, sizeof megabytes, "%1.1f", static_cast<double>(summary.bytes) / 1048576.0);
    std::string number = megabytes;
    for (char& c : number)
        if (c == '.') c = decimalSeparator;
    return FormatMessage(kSummaryFormat,
                         {std::to_string(summary.folders), std::to_string(summary.files), number});
}

fs::path CdromTargetFolder(const std::string& targetText) {
    std::string text = targetText;
    while (text.size() > 1 && IsSeparator(text.back()))
        text.pop_back();
    return fs::path(AnsiToUtf8(text)) / "";
}

TCdromOutcome CopyCdromFiles(const TCdromFolderList& list, const std::string& targetText, int total,
                             CdromProgress& progress, TProgramSettings& settings) {
    if (targetText.empty()) return TCdromOutcome::NoTarget;
    fs::path target = CdromTargetFolder(targetText);
    if (!IsAllowedCdromTarget(target, settings)) return TCdromOutcome::TargetNotAllowed;
    int done = 0;
    for (const fs::path& folder : list.folders) {
        fs::path within = CdromContainingFolder(folder, list.galleries);
        std::error_code failure = CopyFolder(folder, within, target / BelowGalleries(folder, list.galleries),
                                             done, total, progress);
        if (failure) return FailureOf(failure);
        if (progress.Cancelled()) return TCdromOutcome::Cancelled;
    }
    try {
        WriteFileAtomic(target / "AUTORUN.INF", kAutorun);
    } catch (const EFileWriteError&) {
        // The files are all there; without the autostart file the CD still works when opened by hand.
    }
    settings.WriteCdromPath(targetText);
    return TCdromOutcome::Copied;
}

std::string CdromOutcomeMessage(TCdromOutcome outcome, const std::string& targetText) {
    switch (outcome) {
    case TCdromOutcome::Copied:
        return FormatMessage(kCopiedMessage, {targetText});
    case TCdromOutcome::NoTarget:
        return kNoTargetMessage;
    case TCdromOutcome::CopyFailed:
        return FormatMessage(kFailedMessage, {targetText});
    case TCdromOutcome::NoSpace:
        return kNoSpaceMessage;
    case TCdromOutcome::TargetNotAllowed:
        return FormatMessage(kNotAllowedMessage, {targetText});
    case TCdromOutcome::Cancelled:
        break;
    }
    return {};
}

} // namespace vistrel
