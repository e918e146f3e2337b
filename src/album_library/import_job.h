#pragma once
// The three ways pictures come into the open album: files chosen in a file dialog, a whole folder,
// and files dropped on the thumbnail area. Each runs headless here; the window only locks itself,
// shows the progress and turns the outcome into its messages.
#include "album_library/album_list.h"
#include "album_library/picture_import.h"
#include "common/job.h"

#include <atomic>
#include <exception>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vistrel {

// "Das Verzeichnis enthält keine Bilder, die importiert werden könnten." (Windows-1252).
std::string NoPicturesMessage();

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

// What an import asks for: the files chosen in the dialog or dropped (Files, Drop), or the folder
// whose pictures are wanted (Folder).
struct TImportParams {
    TImportWay way = TImportWay::Files;
    std::vector<std::filesystem::path> files;
    std::filesystem::path folder;
};

enum class TImportCode {
    Ok,
    SomeLeftOut, // at least one file was not imported; the result names each one
    NoPictures,  // the folder held nothing that passes the extension test
    NotStored,   // a scanned picture could not be stored
};

// Why a file was left out, or (Damaged) why an imported one deserves a look.
enum class TImportProblem {
    NotAPicture, // no picture format we know begins like this file
    EmptyFile,
    Broken,      // a picture format we know, but its data cannot be decoded
    TooLarge,    // more pixels than the program takes on
    Unsupported, // a format or a kind of picture that cannot be read or stored
    CannotOpen,  // missing, or no permission to read it
    WriteFailed, // the picture or its thumbnail could not be written into the album
    Other,
    Damaged, // imported, but the decoder met damage (cut short, corrupt data): parts may be grey
};

struct TImportNote {
    std::filesystem::path file;
    TImportProblem problem = TImportProblem::Other;
    std::string detail; // the reader's or writer's English text, for the "Details" lines
};

struct TImportResult : TJobResult<TImportCode> {
    std::vector<std::filesystem::path> stored; // in the order imported
    int lastAdded = -1;                        // index in the picture list of the last picture added
    int files = 0;                             // how many files the import took on
    bool cancelled = false;                    // "Abbrechen" was pressed
    std::vector<TImportNote> leftOut;          // files not imported, in import order
    std::vector<TImportNote> damaged;          // imported, but possibly damaged
};

// Puts a failure that ended one file's import into plain words; `file` is looked at to tell a file
// that is no picture at all from a damaged picture.
TImportProblem ClassifyImportFailure(const std::exception& error, const std::filesystem::path& file);

// The reason in plain German words and what to do (Windows-1252), e.g. for a picture the editor
// cannot read.
std::string ImportProblemMessage(TImportProblem problem);

// The import's one German message (Windows-1252): how many files were imported, each file left out
// or possibly damaged with the reason in words and what to do, and last the English details on
// their own lines under "Details:". Empty when there is nothing to tell.
std::string ImportMessage(const TImportResult& result);

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

    // Imports every readable file of the request; a file that fails is noted and the next one
    // follows. "Abbrechen" stops after the picture in work.
    TImportResult Run(const TImportParams& params);

    // The three ways, as Run with their parameters. The file dialog's files are sorted without
    // regard to case; a folder gives its files (not subfolders) that pass the extension test,
    // sorted; dropped paths keep their order, folders and failing extensions are dropped.
    TImportResult ImportFiles(std::vector<std::filesystem::path> paths);
    TImportResult ImportFolder(const std::filesystem::path& folder);
    TImportResult ImportDropped(const std::vector<std::filesystem::path>& paths);

    // A scanned picture (its pixels are taken out of `picture`) under `fileName` from ScanFileName;
    // no progress window is shown for it. A failure is NotStored with its detail.
    TImportResult ImportScanned(TDibGraphic& picture, const std::string& fileName);

    // The scanner hands its picture over in here.
    TPictureImporter& Importer() { return importer_; }

private:
    TImportResult RunFiles(const std::vector<std::filesystem::path>& paths, TImportWay way);
    void ImportOne(const std::filesystem::path& file, TReadAhead& reading, TImportResult& result);

    TProgramSettings& settings_;
    ImportProgress& progress_;
    std::filesystem::path albumFolder_;
    TPictureList& pictures_;
    TPictureImporter importer_;
};

} // namespace vistrel
