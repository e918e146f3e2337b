#include "album_library/import_job.h"

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/folder_listing.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/image_error.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <exception>

namespace vistrel {

namespace fs = std::filesystem;

bool PassesImportExtensionTest(const fs::path& file) {
    static const std::string kKnown = ".jpg.jpeg.png.gif.bmp.tif";
    std::string extension = AnsiLowerCase(file.extension().string());
    if (!extension.empty() && kKnown.find(extension) != std::string::npos) return true;
    // The formats of phones and the web come from the picture registry, so a reader added there is
    // taken here without a second list to keep in step.
    return IsFolderImportFormat(file);
}

std::string ImportCountText(int number, int total) {
    return std::to_string(number) + " von " + std::to_string(total);
}

TAddedPicture AddImportedPicture(TPictureList& pictures, const std::string& fileName) {
    for (size_t i = 0; i < pictures.size(); ++i)
        if (AnsiSameText(pictures[i].FileName(), fileName)) return {int(i), false};
    pictures.push_back(TPictureEntry::WithFileName(fileName));
    return {int(pictures.size()) - 1, true};
}

std::string ScanFileName(const std::string& answer) {
    std::string name = WebSafeName(answer);
    return AnsiLowerCase(fs::path(name).extension().string()) == ".jpg" ? name : name + ".jpg";
}

TImportJob::TImportJob(TProgramSettings& settings, ImportProgress& progress, const fs::path& albumFolder,
                       TPictureList& pictures)
    : settings_(settings), progress_(progress), albumFolder_(albumFolder), pictures_(pictures),
      importer_(settings, progress) {}

void TImportJob::Begin() {
    importer_.Begin(albumFolder_, settings_.UpdateMaxPictureSize());
}

TImportOutcome TImportJob::ImportFiles(std::vector<fs::path> paths) {
    Begin();
    std::sort(paths.begin(), paths.end(), [](const fs::path& a, const fs::path& b) {
        int order = AnsiCompareText(a.string(), b.string());
        return order != 0 ? order < 0 : a.string() < b.string();
    });
    return Run(paths, TImportWay::Files);
}

TImportOutcome TImportJob::ImportFolder(const fs::path& folder) {
    Begin();
    std::vector<fs::path> paths;
    for (const std::string& name : ListFolder(folder, EntryKind::Files))
        if (PassesImportExtensionTest(name)) paths.push_back(folder / name);
    if (paths.empty()) {
        TImportOutcome outcome;
        outcome.noPictures = true;
        return outcome;
    }
    return Run(paths, TImportWay::Folder);
}

TImportOutcome TImportJob::ImportDropped(const std::vector<fs::path>& paths) {
    Begin();
    std::vector<fs::path> files;
    std::error_code ec;
    for (const fs::path& path : paths)
        if (PassesImportExtensionTest(path) && !fs::is_directory(path, ec)) files.push_back(path);
    return Run(files, TImportWay::Drop);
}

namespace {

TImportError ClassifyImportFailure(const std::exception& error) {
    if (dynamic_cast<const EFileWriteError*>(&error)) return TImportError::WriteFailed;
    if (dynamic_cast<const EImageError*>(&error)) return TImportError::Unreadable;
    return TImportError::Other;
}

} // namespace

std::string ImportFailureMessage(const TImportOutcome& outcome) {
    std::string file = Utf8ToAnsi(outcome.failedFile.filename().string());
    std::string text;
    switch (outcome.failure) {
    case TImportError::None:
        return {};
    case TImportError::Unreadable:
        text = "Die Datei \"" + file +
               "\" ist kein lesbares Bild (besch\xE4"
               "digt oder kein unterst\xFCtztes Format).";
        break;
    case TImportError::WriteFailed:
        text = "Das Bild \"" + file +
               "\" konnte nicht im Album gespeichert werden (Schreibschutz oder kein Speicherplatz mehr?).";
        break;
    case TImportError::Other:
        text = "Die Datei \"" + file + "\" konnte nicht importiert werden.";
        break;
    }
    if (!outcome.error.empty()) text += "\r\n" + Utf8ToAnsi(outcome.error);
    return text;
}

TImportOutcome TImportJob::ImportScanned(TDibGraphic& picture, const std::string& fileName) {
    Begin();
    TImportOutcome outcome;
    importer_.SourceBuffer().TakeImageFrom(picture);
    fs::path stored = fileName;
    try {
        importer_.ImportPicture(stored, TImportSource::Scanner);
        outcome.stored.push_back(stored);
        TAddedPicture added = AddImportedPicture(pictures_, stored.filename().string());
        outcome.lastAdded = added.index;
        if (OnPictureAdded) OnPictureAdded(added);
    } catch (const std::exception& error) {
        outcome.error = error.what();
    }
    return outcome;
}

TImportOutcome TImportJob::Run(const std::vector<fs::path>& paths, TImportWay way) {
    TImportOutcome outcome;
    const int total = int(paths.size());
    progress_.Start(total);
    progress_.ProcessEvents();
    // Pictures are read ahead of the one being stored, two at a time: the decode is the longest
    // step, and two decodes keep both cores busy while the writing of each picture is short. A
    // picture read ahead of a stop, or of the failure that ends a file-dialog import, is dropped.
    constexpr size_t kReadAhead = 2;
    std::deque<std::unique_ptr<TReadAhead>> ahead;
    int started = 0;
    auto startReading = [&] {
        while (started < total && ahead.size() < kReadAhead)
            ahead.push_back(std::make_unique<TReadAhead>(importer_, paths[started++]));
    };
    for (int i = 0; i < total; ++i) {
        // The file dialog's bar counts the files done, the other two the file in work.
        progress_.ShowCount(way == TImportWay::Files ? i : i + 1, ImportCountText(i + 1, total));
        progress_.ShowPicture(way == TImportWay::Folder ? paths[i].filename() : paths[i]);
        progress_.ProcessEvents();
        startReading();
        std::unique_ptr<TReadAhead> current = std::move(ahead.front());
        ahead.pop_front();
        fs::path stored = paths[i];
        try {
            importer_.ShowReading(stored);
            TPreparedPicture& prepared = current->Wait(progress_);
            startReading();
            importer_.Store(prepared, stored);
            outcome.stored.push_back(stored);
            TAddedPicture added = AddImportedPicture(pictures_, stored.filename().string());
            outcome.lastAdded = added.index;
            if (OnPictureAdded) OnPictureAdded(added);
        } catch (const std::exception& error) {
            if (way == TImportWay::Files) {
                outcome.error = error.what();
                outcome.failure = ClassifyImportFailure(error);
                outcome.failedFile = paths[i];
                break;
            }
        }
        progress_.ProcessEvents();
        if (progress_.Stopped()) {
            outcome.stopped = true;
            break;
        }
    }
    ahead.clear();
    progress_.Close();
    return outcome;
}

TReadAhead::TReadAhead(const TPictureImporter& importer, const fs::path& source) {
    std::packaged_task<void()> task([this, &importer, source] {
        importer.Prepare(
            source, prepared_, [this](uint8_t percent) { percent_ = percent; }, &stop_);
    });
    done_ = task.get_future();
    thread_ = std::thread(std::move(task));
}

TReadAhead::~TReadAhead() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

TPreparedPicture& TReadAhead::Wait(ImportProgress& progress) {
    using namespace std::chrono_literals;
    int shown = -1;
    // The window is redrawn and shows the reading's progress while it waits.
    while (done_.wait_for(20ms) != std::future_status::ready) {
        if (int percent = percent_; percent != shown) progress.StepProgress(shown = percent);
        progress.ProcessEvents();
    }
    thread_.join();
    done_.get(); // the reading's error, if any
    return prepared_;
}

} // namespace vistrel
