#include "site_generator/renditions.h"

#include "album_library/album_layout.h"
#include "album_library/exif_orientation.h"
#include "common/atomic_file.h"
#include "common/folder_listing.h"
#include "common/german_text.h"
#include "common/md5.h"
#include "common/numbers.h"
#include "common/text_utils.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/parallel_for.h"
#include "image_processing/resampler.h"
#include "image_processing/webp_encoder.h"
#include "site_generator/rendition_list.h"
#include "site_generator/site_texts.h"

#include <algorithm>
#include <memory>
#include <set>
#include <thread>

namespace vistrel {
namespace fs = std::filesystem;

namespace {

// Raised on the calling thread when "Abbrechen" was pressed; stops the workers after their picture.
struct TRenditionsCancelled {};

int HeightFor(int width, TRenditionSize source) {
    return std::max(1, static_cast<int>(Round(double(source.height) * width / source.width)));
}

void AddSize(std::vector<TRenditionSize>& sizes, int width, TRenditionSize source) {
    width = std::clamp(width, 1, source.width);
    if (std::any_of(sizes.begin(), sizes.end(), [&](const TRenditionSize& s) { return s.width == width; }))
        return;
    sizes.push_back({width, width == source.width ? source.height : HeightFor(width, source)});
}

// The source of a picture's renditions: its large version when the album keeps one.
struct TSource {
    fs::path file;
    std::string kind;
};

TSource SourceOf(const TAlbumLayout& layout, const std::string& picture) {
    fs::path file = layout.LargestVersionOf(picture);
    return {file, file.parent_path().filename().string()};
}

int64_t ModifiedNanoseconds(const fs::path& file) {
    std::error_code ec;
    auto time = fs::last_write_time(file, ec);
    if (ec) return 0;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

// One picture's work: what the list says and what this run found or made.
struct TPictureWork {
    std::string name;
    TSource source;
    TRenditionRecord record;
    bool current = false; // the list's renditions stand
    bool made = false;
    std::string failure; // English detail when the picture could not be read
};

bool AllFilesPresent(const fs::path& folder, const TPictureRenditions& renditions) {
    std::error_code ec;
    for (const TRenditionSize& size : renditions.AllSizes())
        for (TRenditionFormat format : {TRenditionFormat::Jpeg, TRenditionFormat::Webp})
            if (!fs::is_regular_file(folder / RenditionFileName(renditions.picture, size.width, format), ec))
                return false;
    return true;
}

// Whether the list's record still describes the source. Size and time decide without reading the
// picture; when they differ (a copy, a restore) the MD5 may still show the same bytes.
bool RecordStands(TPictureWork& work, const TRenditionList& list, const std::string& key) {
    auto found = list.find(work.name);
    std::error_code ec;
    uintmax_t bytes = fs::file_size(work.source.file, ec);
    if (ec) return false;
    int64_t modified = ModifiedNanoseconds(work.source.file);
    work.record.source = work.source.kind;
    work.record.bytes = bytes;
    work.record.modified = modified;
    work.record.key = key;
    if (found == list.end()) return false;
    const TRenditionRecord& old = found->second;
    if (old.source != work.source.kind || old.key != key) return false;
    work.record.width = old.width;
    work.record.height = old.height;
    work.record.md5 = old.md5;
    if (old.bytes == bytes && old.modified == modified) return true;
    work.record.md5 = Md5OfFile(work.source.file);
    return !work.record.md5.empty() && work.record.md5 == old.md5;
}

void WriteRendition(const fs::path& folder, const std::string& picture, TDibGraphic& image,
                    const TRenditionPlan& plan) {
    ByteBuffer webp = EncodeWebp(image, {plan.webpQuality, 4});
    WriteFileAtomic(folder / RenditionFileName(picture, image.Width(), TRenditionFormat::Webp),
                    std::string_view(reinterpret_cast<const char*>(webp.data()), webp.size()),
                    TDurability::Unsynced);
    TJpegGraphic jpeg;
    jpeg.CopyFromGraphic(&image);
    jpeg.Quality = static_cast<uint8_t>(plan.jpegQuality);
    jpeg.Progressive = true;
    jpeg.OptimizeCoding = true;
    ByteBuffer bytes;
    jpeg.WriteToStream(bytes);
    WriteFileAtomic(folder / RenditionFileName(picture, image.Width(), TRenditionFormat::Jpeg),
                    std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                    TDurability::Unsynced);
}

// Scales the largest sizes first, each from the smallest picture made so far that is at least twice
// as wide: a reduction by two or more loses nothing visible, and the small sizes then cost little.
void MakeRenditions(const fs::path& folder, TPictureWork& work, const TRenditionPlan& plan) {
    TJpegGraphic source;
    source.ReadFromFile(work.source.file);
    OrientUpright(source, ReadExifOrientation(work.source.file));
    if (work.record.md5.empty()) work.record.md5 = Md5OfFile(work.source.file);
    work.record.width = source.Width();
    work.record.height = source.Height();
    TPictureRenditions renditions = PlanRenditions(work.name, source.Width(), source.Height(), plan);
    std::vector<TRenditionSize> sizes = renditions.AllSizes();
    std::reverse(sizes.begin(), sizes.end());
    std::vector<std::unique_ptr<TDibGraphic>> made;
    for (const TRenditionSize& size : sizes) {
        if (size.width == source.Width() && size.height == source.Height()) {
            WriteRendition(folder, work.name, source, plan);
            continue;
        }
        const TDibGraphic* base = &source;
        for (const auto& image : made)
            if (image->Width() >= 2 * size.width) base = image.get();
        auto image = std::make_unique<TDibGraphic>();
        image->NewImage(size.width, size.height, source.ImageFormat() == ifGray256 ? ifGray256 : ifRgb24);
        ResampleImage(*base, *image, sfLanczos3, [](int64_t, int64_t, int64_t) {});
        WriteRendition(folder, work.name, *image, plan);
        made.push_back(std::move(image));
    }
}

void MakeRenditionsOrNote(const fs::path& folder, TPictureWork& work, const TRenditionPlan& plan) {
    try {
        MakeRenditions(folder, work, plan);
        work.made = true;
    } catch (const EFileWriteError&) {
        throw;
    } catch (const std::exception& error) {
        work.failure = error.what();
    }
}

// Removes every file of the folder that no picture's renditions name, the hidden list aside.
int RemoveUnwanted(const fs::path& folder, const std::set<std::string>& wanted) {
    int removed = 0;
    for (const std::string& name : ListFolder(folder, EntryKind::Files)) {
        if (name == kRenditionList || wanted.count(name)) continue;
        std::error_code ec;
        if (fs::remove(folder / name, ec)) ++removed;
    }
    return removed;
}

TPictureRenditions RenditionsOf(const TPictureWork& work, const TRenditionPlan& plan) {
    if (!work.current && !work.made) {
        TPictureRenditions none;
        none.picture = work.name;
        return none;
    }
    TPictureRenditions renditions = PlanRenditions(work.name, work.record.width, work.record.height, plan);
    renditions.ready = true;
    return renditions;
}

} // namespace

std::vector<TRenditionSize> TPictureRenditions::AllSizes() const {
    std::vector<TRenditionSize> sizes = thumbs;
    for (const TRenditionSize& size : ladder)
        if (std::none_of(sizes.begin(), sizes.end(),
                         [&](const TRenditionSize& s) { return s.width == size.width; }))
            sizes.push_back(size);
    std::sort(sizes.begin(), sizes.end(),
              [](const TRenditionSize& a, const TRenditionSize& b) { return a.width < b.width; });
    return sizes;
}

std::string TRenditionPlan::Key() const {
    std::string key = "r1";
    for (int width : ladder)
        key += "-" + std::to_string(width);
    key += "-t" + std::to_string(thumbBox) + "x" + std::to_string(densities);
    key += "-j" + std::to_string(jpegQuality) + "-w" + std::to_string(static_cast<int>(webpQuality));
    return key;
}

TPictureRenditions PlanRenditions(const std::string& picture, int width, int height,
                                  const TRenditionPlan& plan) {
    TPictureRenditions renditions;
    renditions.picture = picture;
    if (width < 1 || height < 1) return renditions;
    const TRenditionSize source{width, height};
    renditions.source = source;
    const int top = plan.ladder.empty() ? width : std::min(width, plan.ladder.back());
    for (int rung : plan.ladder)
        if (rung < top) AddSize(renditions.ladder, rung, source);
    AddSize(renditions.ladder, top, source);
    for (int density = 1; density <= plan.densities; ++density) {
        const int side = plan.thumbBox * density;
        const int thumbWidth =
            width >= height ? side : std::max(1, static_cast<int>(Round(double(width) * side / height)));
        AddSize(renditions.thumbs, thumbWidth, source);
        if (thumbWidth >= width) break;
    }
    return renditions;
}

std::string RenditionFileName(const std::string& picture, int width, TRenditionFormat format) {
    std::string stem = fs::path(picture).stem().string();
    return stem + "-" + std::to_string(width) + (format == TRenditionFormat::Webp ? ".webp" : ".jpg");
}

TRenditionOutcome UpdateRenditions(const fs::path& albumFolder, const std::vector<std::string>& pictures,
                                   const TRenditionProgress& progress, const TRenditionPlan& plan) {
    TRenditionOutcome outcome;
    const TAlbumLayout layout(albumFolder);
    const fs::path folder = layout.Renditions();
    std::error_code ec;
    fs::create_directories(folder, ec);
    // A folder that is a link to elsewhere would let the run write and delete outside the album.
    if (fs::is_symlink(folder, ec) || !LiesInside(folder, albumFolder))
        throw EFileWriteError("the renditions folder lies outside the album: " + folder.string());

    const TRenditionList list = ReadRenditionList(folder / kRenditionList);
    const std::string key = plan.Key();
    std::vector<TPictureWork> works(pictures.size());
    std::vector<int> pending;
    for (size_t i = 0; i < pictures.size(); ++i) {
        TPictureWork& work = works[i];
        work.name = pictures[i];
        // A name with a folder part would read a picture from outside the album.
        if (!TAlbumLayout::IsPictureFileName(work.name)) continue;
        work.source = SourceOf(layout, work.name);
        work.current =
            RecordStands(work, list, key) &&
            AllFilesPresent(folder, PlanRenditions(work.name, work.record.width, work.record.height, plan));
        if (!work.current) pending.push_back(static_cast<int>(i));
    }

    const int alreadyDone = static_cast<int>(works.size() - pending.size());
    outcome.cancelled = !progress(alreadyDone);
    const int threads = std::max(1, std::min<int>(static_cast<int>(std::thread::hardware_concurrency()),
                                                  static_cast<int>(pending.size())));
    try {
        if (!outcome.cancelled) {
            ParallelFor(
                static_cast<int>(pending.size()), threads,
                [&](int k) {
                    MakeRenditionsOrNote(folder, works[static_cast<size_t>(pending[static_cast<size_t>(k)])],
                                         plan);
                },
                [&](int finished) {
                    if (!progress(alreadyDone + finished)) throw TRenditionsCancelled{};
                });
            progress(static_cast<int>(works.size()));
        }
    } catch (const TRenditionsCancelled&) {
        outcome.cancelled = true;
    }

    TRenditionList next;
    std::set<std::string> wanted;
    for (const TPictureWork& work : works) {
        TPictureRenditions renditions = RenditionsOf(work, plan);
        if (renditions.ready) {
            next[work.name] = work.record;
            for (const TRenditionSize& size : renditions.AllSizes())
                for (TRenditionFormat format : {TRenditionFormat::Jpeg, TRenditionFormat::Webp})
                    wanted.insert(RenditionFileName(work.name, size.width, format));
        }
        if (work.made) ++outcome.encoded;
        if (!work.failure.empty())
            outcome.failures.push_back(
                FormatMessage(Text(site_texts::kRenditionFailed), {work.name, work.failure}));
        outcome.pictures.push_back(std::move(renditions));
    }
    if (next != list) WriteRenditionList(folder / kRenditionList, next);
    // After a cancel the pictures not yet made keep whatever files they had until the next run.
    if (!outcome.cancelled) outcome.removed = RemoveUnwanted(folder, wanted);
    return outcome;
}

} // namespace vistrel
