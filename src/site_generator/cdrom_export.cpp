#include "site_generator/cdrom_export.h"

#include "app_shell/program_settings.h"
#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/folder_listing.h"
#include "common/text_utils.h"

#include <cstdio>

namespace vistrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSummaryFormat = "%s Verzeichnisse mit %s Dateien und %s MBytes werden kopiert.";
constexpr const char* kNoTargetMessage = "Bitte geben Sie ein Ausgabeverzeichnis an!";
constexpr const char* kCopiedMessage =
    "Alle ben\xF6tigten Dateien wurden zusammengestellt. Kopieren Sie die Dateien aus dem Verzeichnis %s in "
    "das Stammverzeichnis der CD.";
constexpr const char* kFailedMessage =
    "Beim Kopieren der Dateien ist ein Fehler aufgetreten. Bitte stellen Sie sicher, dass gen\xFCgend "
    "Speicherplatz vorhanden ist.";
constexpr const char* kAutorun = "[autorun]\r\nOPEN=explorer.exe index.html\r\n";

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The part of `folder` below the album folder ("" for the root, "Urlaub/images/" for an album's
// pictures); both paths end in a separator.
std::string BelowGalleries(const fs::path& folder, const fs::path& galleries) {
    std::string text = folder.string();
    std::string prefix = galleries.string();
    return StartsWith(text, prefix) ? text.substr(prefix.size()) : std::string();
}

// Copies the files of one source folder; false at the first file or folder that cannot be made. Stops
// after the file during which "Abbrechen" was pressed.
bool CopyFolder(const fs::path& source, const fs::path& target, int& done, int total, CdromProgress& progress) {
    std::error_code ec;
    fs::create_directories(target, ec);
    if (ec || !fs::is_directory(target, ec)) return false;
    for (const std::string& name : CdromFilesOf(source)) {
        progress.ShowFile(target / name);
        fs::copy_file(source / name, target / name, fs::copy_options::overwrite_existing, ec);
        if (ec) return false;
        progress.FileCopied(++done, total);
        progress.ProcessEvents();
        if (progress.Cancelled()) return true;
    }
    return true;
}

} // namespace

TCdromFolderList BuildCdromFolderList(const TAlbumList& albums) {
    TCdromFolderList list;
    list.galleries = albums.AlbumFolder() / "";
    list.folders.push_back(list.galleries);
    for (const TAlbumEntry& album : albums.Albums()) {
        if (!album.Published || !IsPlainFolderName(album.FolderName)) continue;
        fs::path folder = list.galleries / album.FolderName;
        list.folders.push_back(folder / "");
        list.folders.push_back(folder / "images" / "");
        list.folders.push_back(folder / "thumbs" / "");
    }
    return list;
}

std::vector<std::string> CdromFilesOf(const fs::path& folder) {
    std::vector<std::string> files = ListFolder(folder, EntryKind::Files);
    std::erase_if(files, [](const std::string& name) { return StartsWith(name, "."); });
    return files;
}

TCdromSummary CountCdromFiles(const TCdromFolderList& list) {
    TCdromSummary summary;
    summary.folders = static_cast<int>(list.folders.size());
    for (const fs::path& folder : list.folders) {
        for (const std::string& name : CdromFilesOf(folder)) {
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
    return FormatMessage(kSummaryFormat, {std::to_string(summary.folders), std::to_string(summary.files), number});
}

fs::path CdromTargetFolder(const std::string& targetText) {
    std::string text = targetText;
    while (text.size() > 1 && IsSeparator(text.back())) text.pop_back();
    return fs::path(AnsiToUtf8(text)) / "";
}

TCdromOutcome CopyCdromFiles(const TCdromFolderList& list, const std::string& targetText, int total,
                             CdromProgress& progress, TProgramSettings& settings) {
    if (targetText.empty()) return TCdromOutcome::NoTarget;
    fs::path target = CdromTargetFolder(targetText);
    int done = 0;
    for (const fs::path& folder : list.folders) {
        if (!CopyFolder(folder, target / BelowGalleries(folder, list.galleries), done, total, progress))
            return TCdromOutcome::CopyFailed;
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
    case TCdromOutcome::Copied: return FormatMessage(kCopiedMessage, {targetText});
    case TCdromOutcome::NoTarget: return kNoTargetMessage;
    case TCdromOutcome::CopyFailed: return kFailedMessage;
    case TCdromOutcome::Cancelled: break;
    }
    return {};
}

} // namespace vistrel
