// Site generation at scale: 50 published albums of 200 pictures each (about 10,000 pages) with the
// shipped style "Atelier". "GenerateSite" is the whole run as Publish starts it; "ExpandOnly" expands
// the same pages into memory without writing, so the difference is the file work (writing pages,
// cleaning folders, listing styles and reading picture lists).
#include "common/user_prompts.h"
#include "program/program_context.h"
#include "program/site_run.h"
#include "site_generator/site_builder.h"
#include "site_generator/style_files.h"
#include "site_generator/template_engine.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;
using namespace vistrel;

constexpr int kAlbums = 50;
constexpr int kPictures = 200;

class QuietPrompts : public UserPrompts {
public:
    void ShowMessage(const std::string&, MessageKind) override {}
    bool AskYesNo(const std::string&) override { return true; }
    Answer AskYesNoCancel(const std::string&) override { return Answer::Yes; }
};

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// Removes the program folder when the process ends; it holds some 20,000 files.
struct TRemoveAtExit {
    fs::path folder;
    ~TRemoveAtExit() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

// A program folder with the shipped style and scripts and the albums, made once per process.
const fs::path& ProgramFolder() {
    static const TRemoveAtExit holder{[] {
        fs::path root =
            fs::temp_directory_path() / ("vistrel-site-bench-" + std::to_string(std::random_device()()));
        fs::create_directories(root / "styles" / "Atelier");
        fs::copy(fs::path(VISTREL_SOURCE_DIR) / "data" / "styles" / "Atelier", root / "styles" / "Atelier",
                 fs::copy_options::recursive);
        fs::copy(fs::path(VISTREL_SOURCE_DIR) / "data" / "scripts", root / "scripts",
                 fs::copy_options::recursive);
        Write(root / "vistrel.ini", "[TSettingsForm]\r\nedSiteTitle_Text=Benchmark\r\nActStyle=Atelier\r\n");
        std::string albums;
        for (int a = 0; a < kAlbums; ++a) {
            std::string name = "Album_" + std::to_string(a);
            albums += name + "\tInfo\tText\t\t" + name + "\ttrue\r\n";
            std::string pictures;
            for (int p = 0; p < kPictures; ++p) {
                std::string file = "bild_" + std::to_string(p) + ".jpg";
                pictures += file + "\tTitel " + std::to_string(p) + "\tZeile 1\x01Zeile 2\r\n";
                Write(root / "galleries" / name / "thumbs" / file, "t");
            }
            Write(root / "galleries" / name / "info.txt", pictures);
        }
        Write(root / "galleries" / "info.txt", albums);
        return root;
    }()};
    return holder.folder;
}

void BM_GenerateSite(benchmark::State& state) {
    QuietPrompts prompts;
    TProgramContext context(ProgramFolder(), prompts);
    context.Start();
    TSilentSiteProgress progress;
    SiteHost host;
    int64_t pages = 0;
    for (auto _ : state) {
        TSiteResult result = GenerateSite(SiteParamsOf(context, TSiteMode::Publish), progress, host);
        if (!result.startPageExists) state.SkipWithError("no start page");
        pages += kAlbums * (kPictures + kPictures / 12 + 1 + 2) + 2;
    }
    state.counters["pages/s"] = benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GenerateSite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The same pages as GenerateSite expands for every album, into memory only.
void BM_ExpandOnly(benchmark::State& state) {
    QuietPrompts prompts;
    TProgramContext context(ProgramFolder(), prompts);
    context.Start();
    TSiteState site;
    site.Albums = &context.albums.Albums();
    site.Settings = &context.settings;
    site.StyleDir = context.settings.CurrentStyleFolder();
    site.ScriptsDir = context.folders.scripts / "";
    site.ThumbsPerPage = 12;
    const fs::path thumbs = site.StyleDir / "thumbs.html";
    const fs::path images = site.StyleDir / "images.html";
    std::vector<TPictureList> lists;
    for (int a = 0; a < kAlbums; ++a)
        lists.push_back(context.albums.LoadPictureList(a));
    int64_t pages = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        for (int a = 0; a < kAlbums; ++a) {
            site.Pictures = lists[static_cast<size_t>(a)];
            int n = kPictures, p = site.ThumbsPerPage;
            site.CurrentAlbum = a;
            site.ThumbPageCount = n / p + (n % p > 0);
            site.ImageScopeCount = n;
            for (int i = 0; i < site.ThumbPageCount; ++i, ++pages) {
                site.PictureCount = i == site.ThumbPageCount - 1 ? n - i * p : p;
                site.FirstThumb = i * p;
                site.ThumbPageIndex = i;
                std::vector<std::string> page;
                ExpandTemplate(site, thumbs, page);
                InsertHeadLines(page, ProgramHeadLines());
                bytes += page.size();
            }
            site.ThumbPageIndex = -1;
            site.ImagePageCount = n;
            site.ImageScopeCount = 1;
            for (int i = 0; i < n; ++i, ++pages) {
                site.FirstImage = site.CurrentImage = site.ImagePageIndex = i;
                std::vector<std::string> page;
                ExpandTemplate(site, images, page);
                InsertHeadLines(page, ProgramHeadLines());
                bytes += page.size();
            }
        }
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["pages/s"] = benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExpandOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
