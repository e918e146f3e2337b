#include "album_library/import_job.h"

#include "album_library/album_library_texts.h"

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

std::string NoPicturesMessage() {
    return Text(album_library_texts::kNoPictures);
}

TImportJob::TImportJob(TProgramSettings& settings, ImportProgress& progress, const fs::path& albumFolder,
                       TPictureList& pictures)
    : settings_(settings), progress_(progress), albumFolder_(albumFolder), pictures_(pictures),
      importer_(settings, progress) {}

TImportResult TImportJob::Run(const TImportParams& params) {
    importer_.Begin(albumFolder_, settings_.UpdateMaxPictureSize());
    std::vector<fs::path> paths;
    std::error_code ec;
    switch (params.way) {
    case TImportWay::Files:
        paths = params.files;
        std::sort(paths.begin(), paths.end(), [](const fs::path& a, const fs::path& b) {
            int order = AnsiCompareText(a.string(), b.string());
            return order != 0 ? order < 0 : a.string() < b.string();
        });
        break;
    case TImportWay::Folder:
        for (const std::string& name : ListFolder(params.folder, EntryKind::Files))
            if (PassesImportExtensionTest(name)) paths.push_back(params.folder / name);
        if (paths.empty()) {
            TImportResult result;
            result.code = TImportCode::NoPictures;
            return result;
        }
        break;
    case TImportWay::Drop:
        for (const fs::path& path : params.files)
            if (PassesImportExtensionTest(path) && !fs::is_directory(path, ec)) paths.push_back(path);
        break;
    }
    return RunFiles(paths, params.way);
}

TImportResult TImportJob::ImportFiles(std::vector<fs::path> paths) {
    return Run({TImportWay::Files, std::move(paths), {}});
}

TImportResult TImportJob::ImportFolder(const fs::path& folder) {
    return Run({TImportWay::Folder, {}, folder});
}

TImportResult TImportJob::ImportDropped(const std::vector<fs::path>& paths) {
    return Run({TImportWay::Drop, paths, {}});
}

TImportResult TImportJob::ImportScanned(TDibGraphic& picture, const std::string& fileName) {
    importer_.Begin(albumFolder_, settings_.UpdateMaxPictureSize());
    TImportResult result;
    result.files = 1;
    importer_.SourceBuffer().TakeImageFrom(picture);
    fs::path stored = fileName;
    try {
        importer_.ImportPicture(stored, TImportSource::Scanner);
        result.stored.push_back(stored);
        TAddedPicture added = AddImportedPicture(pictures_, stored.filename().string());
        result.lastAdded = added.index;
        if (OnPictureAdded) OnPictureAdded(added);
    } catch (const std::exception& error) {
        result.code = TImportCode::NotStored;
        result.detail = error.what();
    }
    return result;
}

TImportResult TImportJob::RunFiles(const std::vector<fs::path>& paths, TImportWay way) {
    TImportResult result;
    const int total = int(paths.size());
    result.files = total;
    progress_.Start(total);
    progress_.ProcessEvents();
    // Pictures are read ahead of the one being stored, two at a time: the decode is the longest
    // step, and two decodes keep both cores busy while the writing of each picture is short. A
    // picture read ahead of a stop is dropped.
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
        ImportOne(paths[i], *current, result);
        progress_.ProcessEvents();
        if (progress_.Cancelled()) {
            result.cancelled = true;
            break;
        }
    }
    ahead.clear();
    progress_.Close();
    if (!result.leftOut.empty()) result.code = TImportCode::SomeLeftOut;
    return result;
}

// One file of the list: a failure is noted with its reason, and the import goes on with the next.
void TImportJob::ImportOne(const fs::path& file, TReadAhead& reading, TImportResult& result) {
    fs::path stored = file;
    try {
        importer_.ShowReading(stored);
        TPreparedPicture& prepared = reading.Wait(progress_);
        int warnings = prepared.decodeWarnings;
        importer_.Store(prepared, stored);
        result.stored.push_back(stored);
        if (warnings > 0)
            result.damaged.push_back(
                {file, TImportProblem::Damaged,
                 "the JPEG decoder reported " + std::to_string(warnings) + " warning(s)"});
        TAddedPicture added = AddImportedPicture(pictures_, stored.filename().string());
        result.lastAdded = added.index;
        if (OnPictureAdded) OnPictureAdded(added);
    } catch (const std::exception& error) {
        result.leftOut.push_back({file, ClassifyImportFailure(error, file), error.what()});
    }
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
