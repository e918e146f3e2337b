#include "site_generator/site_builder.h"

#include "album_library/program_list_files.h"
#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/folder_listing.h"
#include "common/german_text.h"
#include "common/numbers.h"
#include "common/text_utils.h"
#include "common/user_prompts.h"
#include "site_generator/page_file.h"
#include "site_generator/renditions.h"
#include "site_generator/site_texts.h"
#include "site_generator/style_files.h"
#include "site_generator/template_engine.h"
#include "site_generator/template_picture_keywords.h"

#include <algorithm>
#include <memory>
#include <set>

namespace vistrel {
namespace {

namespace fs = std::filesystem;

constexpr int kDefaultThumbsPerPage = 12;

bool AnyPublished(const TAlbumList& albums) {
    return std::any_of(albums.Albums().begin(), albums.Albums().end(),
                       [](const TAlbumEntry& a) { return a.Published; });
}

// A stored preview name that is empty, starts with a blank or a control character, or names no picture
// of the album would give every start page a broken image.
void RepairPreviewPicture(TAlbumEntry& album, const TPictureList& pictures) {
    const std::string& name = album.PreviewPicture;
    bool usable = !name.empty() && static_cast<unsigned char>(name[0]) >= '!' &&
                  std::any_of(pictures.begin(), pictures.end(),
                              [&](const TPictureEntry& p) { return p.FileName() == name; });
    if (!usable) album.PreviewPicture = pictures.front().FileName();
}

// The plain files a run leaves in one folder of the site: those it wrote and "info.txt". Files of a
// style used earlier must not linger; they go when the folder's part of the run ends, also after a
// cancel or a failed write. Sweeping afterwards instead of clearing first lets a page that comes out
// as before stay untouched (an unchanged rebuild of 1,000 pictures spent most of its time deleting
// and creating pages). Files that cannot be deleted stay.
class TFolderSweep {
public:
    explicit TFolderSweep(fs::path folder) : folder_(std::move(folder)) {}
    ~TFolderSweep() {
        try {
            for (const std::string& name : ListFolder(folder_, EntryKind::Files)) {
                if (AnsiSameText(name, "info.txt") || kept_.count(name)) continue;
                std::error_code ec;
                fs::remove(folder_ / name, ec);
            }
        } catch (...) {
            // A folder that cannot be listed keeps what it has.
        }
    }
    TFolderSweep(const TFolderSweep&) = delete;
    TFolderSweep& operator=(const TFolderSweep&) = delete;
    void Keep(const fs::path& file) { kept_.insert(file.filename().string()); }

private:
    fs::path folder_;
    std::set<std::string> kept_;
};

// Points the builder at the folder sweep of the part of the run in work, and away again.
class TSweepInUse {
public:
    TSweepInUse(TFolderSweep*& slot, TFolderSweep& sweep) : slot_(slot) { slot_ = &sweep; }
    ~TSweepInUse() { slot_ = nullptr; }
    TSweepInUse(const TSweepInUse&) = delete;
    TSweepInUse& operator=(const TSweepInUse&) = delete;

private:
    TFolderSweep*& slot_;
};

// Restores the cursor, closes the progress window and unlocks the main window however the run ends;
// a page that cannot be written leaves by exception.
class TRunGuard {
public:
    TRunGuard(SiteProgress& progress, SiteHost& host) : progress_(progress), host_(host) {}
    ~TRunGuard() { Finish(); }
    void Finish() {
        if (done_) return;
        done_ = true;
        host_.SetBusyCursor(false);
        progress_.Close();
        host_.UnlockMainWindow();
    }

private:
    SiteProgress& progress_;
    SiteHost& host_;
    bool done_ = false;
};

class TSiteBuilder {
public:
    TSiteBuilder(const TSiteParams& params, SiteProgress& progress)
        : settings_(params.settings), albums_(params.albums), prompts_(params.prompts), progress_(progress) {
        state_.WorkLimit = params.workLimit;
    }

    void Prepare();
    void BuildAlbum(int index);
    void BuildRoot();
    const fs::path& StartPage() const { return startPage_; }
    const std::vector<std::string>& Warnings() const { return warnings_; }

private:
    void ProcessStyleFiles(const TStyleFiles& style, const fs::path& target);
    void WriteOverviewPages(const TStyleFiles& style, const fs::path& album);
    void WritePicturePages(const TStyleFiles& style, const fs::path& album);
    // The expanded page; valid until the next call. One line list serves every page, so its
    // storage is not given back and requested again for each of thousands of pages.
    const std::vector<std::string>& ExpandPage(const fs::path& templateFile, const fs::path& page);
    void FileDone(TStepAdvance advance);
    void SetWholeAlbumImageScope(int n);
    void UpdateAlbumRenditions(int k, const fs::path& album);
    void WritePage(const fs::path& file, const std::vector<std::string>& lines);

    TProgramSettings& settings_;
    TAlbumList& albums_;
    UserPrompts& prompts_;
    SiteProgress& progress_;
    TSiteState state_;
    int filesDone_ = 0;
    std::vector<std::string> page_;
    fs::path startPage_;
    std::vector<std::string> warnings_;
    bool renditions_ = false; // the style asks for renditions
    TFolderSweep* sweep_ = nullptr;
};

// Whether a template of the style uses a keyword whose value comes from renditions. Styles written
// before renditions existed use none, and their sites stay exactly as they were.
bool StyleNeedsRenditions(const TStyleFiles& style) {
    for (const std::string& name : style.Names()) {
        if (!IsTemplateName(name)) continue;
        std::string text;
        if (ReadFileBytes(style.PathOf(name), text) && picture_keywords::TemplateNeedsRenditions(text))
            return true;
    }
    return false;
}

// Steps 4 and 5 of a run: the state that holds for the whole run, preview pictures repaired, and the
// maximum of the files bar.
void TSiteBuilder::Prepare() {
    state_.Albums = &albums_.Albums();
    state_.Settings = &settings_;
    state_.ThumbsPerPage = ThumbsPerPageSetting(settings_.edNoOfThumbs);
    state_.StyleDir = settings_.CurrentStyleFolder();
    state_.ScriptsDir = settings_.Folders().scripts / "";
    TStyleFiles style(state_.StyleDir);
    renditions_ = StyleNeedsRenditions(style);
    int total = 0;
    for (int k = 0; k < albums_.Count(); ++k) {
        if (!albums_[k].Published) continue;
        TPictureList pictures = albums_.LoadPictureList(k);
        if (!pictures.empty()) RepairPreviewPicture(albums_[k], pictures);
        total += 2 * (style.Count() - 2) + static_cast<int>(pictures.size());
        if (renditions_) total += static_cast<int>(pictures.size());
    }
    progress_.Start(std::max(total, 0));
}

// The picture scope of the album's own templates and its overview pages: all `n` pictures on one
// picture page.
void TSiteBuilder::SetWholeAlbumImageScope(int n) {
    state_.ImageScopeCount = n;
    state_.FirstImage = 0;
    state_.CurrentImage = 0;
    state_.ImagePageIndex = 0;
    state_.ImagePageCount = 1;
    state_.ImagesPerPage = n;
}

void TSiteBuilder::BuildAlbum(int k) {
    const std::string& folderName = albums_[k].FolderName;
    // The album list drops such names when it loads; one set in memory must not turn the cleaning
    // below on the album folder itself or on a folder outside it.
    if (!IsPlainFolderName(folderName)) return;
    fs::path album = albums_.Layout(k).Folder() / "";
    std::error_code ec;
    fs::create_directories(album, ec);
    // A folder restored as a link to somewhere else is not the program's to clean and fill.
    if (!IsAlbumFolderInside(album, albums_.AlbumFolder())) {
        prompts_.ShowMessage(FormatMessage(Text(site_texts::kOutsideAlbum), {folderName}),
                             MessageKind::Warning);
        return;
    }
    TFolderSweep sweep(album);
    TSweepInUse inUse(sweep_, sweep);

    TStyleFiles style(state_.StyleDir);
    state_.Pictures = albums_.LoadPictureList(k);
    state_.Renditions.clear();
    int n = static_cast<int>(state_.Pictures.size());
    state_.PictureCount = n;
    if (n == 0) return;
    if (startPage_.empty()) startPage_ = album / "index.html";

    int p = state_.ThumbsPerPage;
    state_.CurrentAlbum = k;
    state_.FirstThumb = 0;
    state_.ThumbPageIndex = 0;
    state_.ThumbPageCount = n / p + (n % p > 0 ? 1 : 0);
    SetWholeAlbumImageScope(n);
    state_.RootMode = false;
    if (renditions_) UpdateAlbumRenditions(k, album);
    if (!progress_.Cancelled()) ProcessStyleFiles(style, album);
    if (!progress_.Cancelled()) WriteOverviewPages(style, album);
    if (!progress_.Cancelled()) WritePicturePages(style, album);
}

// The style's own files into `target`: templates expanded, other files copied, the two page
// templates and the preview picture left out. Checks the cancel flag before each file.
void TSiteBuilder::WritePage(const fs::path& file, const std::vector<std::string>& lines) {
    WritePageFile(file, lines);
    if (sweep_) sweep_->Keep(file);
}

void TSiteBuilder::ProcessStyleFiles(const TStyleFiles& style, const fs::path& target) {
    progress_.BeginStep(Text(site_texts::kStyleStep), style.Count());
    for (const std::string& name : style.Names()) {
        if (progress_.Cancelled()) break;
        if (TStyleFiles::IsOverviewTemplate(name) || TStyleFiles::IsPictureTemplate(name)) continue;
        // A style's "info.txt" would replace the album list or an album's picture list.
        if (IsProgramListFile(name)) continue;
        fs::path file = target / name;
        if (IsTemplateName(name)) {
            progress_.ShowFile(file);
            WritePage(file, ExpandPage(style.PathOf(name), file));
            if (state_.RootMode && AnsiSameText(name, "index.html")) startPage_ = file;
            FileDone(TStepAdvance::TotalAndStep);
        } else if (!TStyleFiles::IsPreviewPicture(name)) {
            progress_.ShowFile(file);
            std::error_code ec; // a copy that fails is left out, as documented
            // The copy would write through a link left in the site to wherever it points.
            if (fs::is_symlink(file, ec)) fs::remove(file, ec);
            fs::copy_file(style.PathOf(name), file, fs::copy_options::overwrite_existing, ec);
            if (!ec && sweep_) sweep_->Keep(file);
            FileDone(TStepAdvance::TotalOnly);
        } else {
            continue;
        }
        progress_.ProcessEvents();
    }
}

void TSiteBuilder::WriteOverviewPages(const TStyleFiles& style, const fs::path& album) {
    std::string templateName = style.Find("thumbs.html");
    if (templateName.empty()) return;
    int n = static_cast<int>(state_.Pictures.size());
    int p = state_.ThumbsPerPage;
    progress_.BeginStep(Text(site_texts::kOverviewStep), state_.ThumbPageCount);
    for (int i = 0; i < state_.ThumbPageCount; ++i) {
        progress_.ProcessEvents();
        bool last = i == state_.ThumbPageCount - 1;
        state_.PictureCount = last ? n - i * p : p;
        state_.FirstThumb = i * p;
        state_.ThumbPageIndex = i;
        SetWholeAlbumImageScope(n);
        fs::path file = album / ThumbPageName(i);
        const std::vector<std::string>& page = ExpandPage(style.PathOf(templateName), file);
        WritePage(file, page);
        progress_.ShowFile(file);
        FileDone(TStepAdvance::TotalAndStep);
        progress_.ProcessEvents();
        if (i == 0) WritePage(album / "index.html", page);
    }
}

void TSiteBuilder::WritePicturePages(const TStyleFiles& style, const fs::path& album) {
    std::string templateName = style.Find("images.html");
    if (templateName.empty()) return;
    int n = state_.ImageScopeCount;
    state_.ThumbPageIndex = -1;
    state_.ImagesPerPage = 1;
    state_.ImagePageCount = n;
    progress_.BeginStep(Text(site_texts::kPictureStep), n);
    for (int i = 0; i < n; ++i) {
        state_.ImageScopeCount = 1;
        state_.FirstImage = i;
        state_.CurrentImage = i;
        state_.ImagePageIndex = i;
        fs::path file = album / ImagePageName(i);
        WritePage(file, ExpandPage(style.PathOf(templateName), file));
        progress_.ShowFile(file);
        FileDone(TStepAdvance::TotalAndStep);
        progress_.ProcessEvents();
    }
}

// The site root: the album folder itself, with the style's templates expanded for the start page.
void TSiteBuilder::BuildRoot() {
    fs::path root = albums_.AlbumFolder() / "";
    TFolderSweep sweep(root);
    TSweepInUse inUse(sweep_, sweep);
    TStyleFiles style(state_.StyleDir);
    state_.RootMode = true;
    ProcessStyleFiles(style, root);
    state_.RootMode = false;
}

const std::vector<std::string>& TSiteBuilder::ExpandPage(const fs::path& templateFile, const fs::path& page) {
    page_.clear();
    state_.WorkLimitReached = false;
    ExpandTemplate(state_, templateFile, page_);
    if (state_.WorkLimitReached) {
        std::string warning = PageCutWarning(settings_.ActStyle, Utf8ToAnsi(page.filename().string()));
        progress_.Warning(warning);
        warnings_.push_back(std::move(warning));
    }
    InsertHeadLines(page_, ProgramHeadLines());
    return page_;
}

// The album's renditions, made or found current, before any page of the album is expanded: the
// pages need their sizes. The cover's are kept for the start page.
void TSiteBuilder::UpdateAlbumRenditions(int k, const fs::path& album) {
    std::vector<std::string> names;
    for (const TPictureEntry& picture : state_.Pictures)
        names.push_back(picture.FileName());
    progress_.BeginStep(Text(site_texts::kRenditionStep), static_cast<int>(names.size()));
    int reported = 0;
    TRenditionOutcome outcome = UpdateRenditions(album, names, [&](int done) {
        if (done > reported) progress_.ShowFile(album / kRenditionFolder);
        for (; reported < done; ++reported)
            FileDone(TStepAdvance::TotalAndStep);
        progress_.ProcessEvents();
        return !progress_.Cancelled();
    });
    for (const std::string& failure : outcome.failures) {
        progress_.Warning(failure);
        warnings_.push_back(failure);
    }
    state_.Renditions = std::move(outcome.pictures);
    for (const TPictureRenditions& renditions : state_.Renditions)
        if (renditions.picture == albums_[k].PreviewPicture) state_.CoverRenditions[k] = renditions;
}

void TSiteBuilder::FileDone(TStepAdvance advance) {
    progress_.FileDone(++filesDone_, advance);
}

} // namespace

std::string PageCutWarning(const std::string& style, const std::string& page) {
    return FormatMessage(Text(site_texts::kPageCut), {page, style});
}

int ThumbsPerPageSetting(const std::string& text) {
    int value = 0;
    if (!ParseInt(text, value) || value < 1) return kDefaultThumbsPerPage;
    return value;
}

std::string ThumbPageName(int index) {
    return "thumbpage" + std::to_string(index) + ".html";
}
std::string ImagePageName(int index) {
    return "imagepage" + std::to_string(index) + ".html";
}

namespace {

// Steps 2 to 9 of a run, inside the lock and the guard; a page that cannot be written leaves by
// EFileWriteError.
TSiteResult RunSite(const TSiteParams& params, SiteProgress& progress, SiteHost& host) {
    TSiteResult result;
    TAlbumList& albums = params.albums;
    if (!AnyPublished(albums)) {
        if (albums.Count() == 0) {
            if (params.mode == TSiteMode::Preview) params.prompts.ShowMessage(Text(site_texts::kNoAlbum));
            result.cancelled = progress.Cancelled();
            result.result = TSiteJobResult::Failure(TSiteCode::NoStartPage);
            return result;
        }
        if (albums.IsValidIndex(albums.Current())) {
            albums[albums.Current()].Published = true;
            host.AlbumPublished(albums.Current());
        }
    }
    host.SaveOpenPictureList();

    TSiteBuilder builder(params, progress);
    builder.Prepare();
    host.SetBusyCursor(true);
    for (int k = 0; k < albums.Count(); ++k) {
        if (progress.Cancelled()) break;
        if (albums[k].Published) builder.BuildAlbum(k);
    }
    if (builder.StartPage().empty()) progress.SetCancelled();
    if (!progress.Cancelled()) builder.BuildRoot();

    host.SetBusyCursor(false);
    result.startPage = builder.StartPage();
    result.warnings = builder.Warnings();
    result.startPageExists = !result.startPage.empty();
    result.cancelled = progress.Cancelled();
    if (!result.startPageExists)
        result.result = TSiteJobResult::Failure(TSiteCode::NoStartPage);
    else if (result.cancelled)
        result.result = TSiteJobResult::Failure(TSiteCode::Cancelled);
    else if (params.mode == TSiteMode::Preview)
        host.OpenDocument(result.startPage);
    return result;
}

} // namespace

TSiteResult GenerateSite(const TSiteParams& params, SiteProgress& progress, SiteHost& host) {
    host.LockMainWindow();
    TRunGuard guard(progress, host);
    try {
        return RunSite(params, progress, host);
    } catch (const EFileWriteError& error) {
        TSiteResult failed;
        failed.cancelled = progress.Cancelled();
        failed.result = TSiteJobResult::Failure(TSiteCode::WriteFailed, error.what());
        return failed;
    }
}

std::string SiteMessage(const TSiteJobResult& result) {
    switch (result.code) {
    case TSiteCode::Ok:
    case TSiteCode::Cancelled:
        return {};
    case TSiteCode::NoStartPage:
        return Text(site_texts::kNoStartPage);
    case TSiteCode::WriteFailed:
        return Text(site_texts::kWriteFailed) + "\r\n" + result.detail;
    }
    return {};
}

} // namespace vistrel
