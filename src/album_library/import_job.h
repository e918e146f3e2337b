#pragma once
// The three ways pictures come into the open album: files chosen in a file dialog, a whole folder,
// and files dropped on the thumbnail area. Each runs headless here; the window only locks itself,
// shows the progress and turns the outcome into its messages.
#include "album_library/album_list.h"
#include "album_library/picture_import.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vistrel {

// Windows-1252 bytes, as every message text of the logic.
inline constexpr const char* kNoPicturesMessage =
    "Das Verzeichnis enth\xE4lt keine Bilder, die importiert werden k\xF6nnten.";

// The folder and drop test: the extension in lower case, with its dot, must be a piece of
// ".jpg.jpeg.png.gif.bmp.tif". So ".jpe" and ".pn" pass, while ".tiff", ".pcx" and no extension fail.
// Beside those, the registry's formats of phones and the web (".heic", ".webp", ".avif", ...) pass.
bool PassesImportExtensionTest(const std::filesystem::path& file);

// "3 von 10".
std::string ImportCountText(int number, int total);

struct TAddedPicture {
    int index = -1;
    bool appended = false; // false: an entry of that name was there; it keeps place and information
};

// Adds a stored picture to the open album's list: an entry of the same file name (without regard to
// case) stays as it is, otherwise an entry with just the file name is appended.
TAddedPicture AddImportedPicture(TPictureList& pictures, const std::string& fileName);

// The stored name for the name typed after a scan (Windows-1252): web-safe, and ".jpg" appended
// unless it ends so in any case. So "scan" and "scan.JPG" give "scan.jpg", "scan.png" "scan.png.jpg".
std::string ScanFileName(const std::string& answer);

enum class TImportWay { Files, Folder, Drop };

// Why a file-dialog import ended early.
enum class TImportError {
    None,
    Unreadable,  // not a picture the readers understand, or a damaged one
    WriteFailed, // the picture or its thumbnail could not be stored
    Other,
};

struct TImportOutcome {
    std::vector<std::filesystem::path> stored; // in the order imported
    int lastAdded = -1;                        // index in the picture list of the last picture added
    bool stopped = false;                      // "Abbrechen" was pressed
    bool noPictures = false;                   // the folder held nothing that passes the extension test
    std::string error;                         // the failure that ended a file-dialog import (English)
    TImportError failure = TImportError::None;
    std::filesystem::path failedFile; // the file whose import failed
};

// The German message for a failed import (Windows-1252): what is wrong, in words a photographer
// understands, naming the file; the English detail follows on a second line.
std::string ImportFailureMessage(const TImportOutcome& outcome);

// One picture read and scaled on a thread of its own (see TPictureImporter::Prepare). Dropping it
// before it is done stops the reading at the next rows and waits for the thread.
class TReadAhead {
public:
    TReadAhead(const TPictureImporter& importer, const std::filesystem::path& source);
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // Waits for the reading, forwarding its progress and letting the window redraw; throws the
    // reading's error.
    TPreparedPicture& Wait(ImportProgress& progress);

private:
    TPreparedPicture prepared_;
    std::atomic<bool> stop_{false};
    std::atomic<int> percent_{0};
    std::future<void> done_;
    std::thread thread_;
};

class TImportJob {
public:
    TImportJob(TProgramSettings& settings, ImportProgress& progress, const std::filesystem::path& albumFolder,
               TPictureList& pictures);

    // Called after each picture has been added, so a window can create or refresh its tile at once.
    std::function<void(const TAddedPicture&)> OnPictureAdded;

    // The file dialog: sorted without regard to case; the first failure ends the import.
    TImportOutcome ImportFiles(std::vector<std::filesystem::path> paths);
    // The files of `folder` (not its subfolders) that pass the extension test, sorted; failures skipped.
    TImportOutcome ImportFolder(const std::filesystem::path& folder);
    // Dropped paths that pass the extension test, in the order dropped; folders ignored, failures skipped.
    TImportOutcome ImportDropped(const std::vector<std::filesystem::path>& paths);

    // A scanned picture (its pixels are taken out of `picture`) under `fileName` from ScanFileName;
    // no progress window is shown for it. A failure is the outcome's error.
    TImportOutcome ImportScanned(TDibGraphic& picture, const std::string& fileName);

    // The scanner hands its picture over in here.
    TPictureImporter& Importer() { return importer_; }

private:
    TImportOutcome Run(const std::vector<std::filesystem::path>& paths, TImportWay way);
    void Begin();

    TProgramSettings& settings_;
    ImportProgress& progress_;
    std::filesystem::path albumFolder_;
    TPictureList& pictures_;
    TPictureImporter importer_;
};

} // namespace vistrel
