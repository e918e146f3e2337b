// Speed of the template engine in output bytes per second: an overview page with ALLTHUMBS over
// 10,000 pictures, and a page whose lines hold 1,000 tags each. The engine should never be the slow
// part of generating a site.
#include "common/user_prompts.h"
#include "settings/program_settings.h"
#include "site_generator/template_engine.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace vistrel;

namespace {

class SilentPrompts : public UserPrompts {
public:
    void ShowMessage(const std::string&, MessageKind) override {}
    bool AskYesNo(const std::string&) override { return true; }
    Answer AskYesNoCancel(const std::string&) override { return Answer::Yes; }
};

struct BenchSite {
    fs::path folder;
    SilentPrompts prompts;
    TProgramSettings settings{TProgramFolders::For(fs::temp_directory_path()), prompts};
    std::vector<TAlbumEntry> albums{{"Urlaub_2023", "Info", "Text", "p0.jpg", "Urlaub 2023", true}};

    BenchSite() {
        std::string pattern = (fs::temp_directory_path() / "template_bench_XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        folder = pattern;
        settings.edSiteTitle = "Unsere Fotos";
    }
    ~BenchSite() { fs::remove_all(folder); }

    fs::path WriteTemplate(const std::string& name, const std::string& bytes) const {
        std::ofstream(folder / name, std::ios::binary) << bytes;
        return folder / name;
    }

    TSiteState State(int pictures) const {
        TSiteState state;
        state.Albums = &albums;
        state.Settings = &settings;
        for (int i = 0; i < pictures; ++i) {
            const std::string n = std::to_string(i);
            state.Pictures.push_back(
                TPictureEntry({"bild_" + n + ".jpg", "Bild Nummer " + n, "Zeile 1\r\nZeile 2"}));
        }
        state.PictureCount = state.ImageScopeCount = state.ImagesPerPage = pictures;
        state.ThumbsPerPage = pictures;
        state.ThumbPageCount = state.ImagePageCount = 1;
        state.StyleDir = state.ScriptsDir = folder;
        return state;
    }
};

size_t OutputBytes(const std::vector<std::string>& lines) {
    size_t bytes = 0;
    for (const auto& line : lines)
        bytes += line.size() + 2; // written with CR LF
    return bytes;
}

// A fresh line list per page, as the site builder does it, or one list cleared between pages. On a
// small virtual machine the fresh list is dominated by the kernel faulting in the memory that the
// previous page gave back; the reused list shows the engine's own speed.
enum class TOutputList { FreshPerPage, Reused };

void RunExpansion(benchmark::State& bench, const BenchSite& site, const fs::path& page, int pictures,
                  TOutputList list) {
    // The state is built once: a page reads it, and the loops set their own cursors.
    TSiteState state = site.State(pictures);
    std::vector<std::string> reused;
    size_t total = 0;
    for (auto _ : bench) {
        std::vector<std::string> fresh;
        std::vector<std::string>& output = list == TOutputList::Reused ? reused : fresh;
        output.clear();
        ExpandTemplate(state, page, output);
        total += OutputBytes(output);
        benchmark::DoNotOptimize(output.data());
    }
    bench.SetBytesProcessed(static_cast<int64_t>(total));
}

const char* const kOverviewTemplate =
    "<!DOCTYPE html>\r\n<html><head><title><!--/#SITETITLE#/--> - <!--/#GALLERYTITLE#/--></title></head>\r\n"
    "<body>\r\n<h1><!--/#GALLERYTITLE#/--></h1>\r\n<p><!--/#GALLERYINFOTEXT#/--></p>\r\n<table>\r\n"
    "<!--/#ALLTHUMBS#/-->\r\n<tr>\r\n"
    "  <td><a href=\"<!--/#IMAGEPAGEURL#/-->\"><img src=\"<!--/#THUMBURL#/-->\" loading=\"lazy\" "
    "alt=\"<!--/#THUMBTITLE#/-->\"></a><br><!--/#THUMBTITLE#/--></td>\r\n"
    "<!--/#NEXTTHUMB#/-->\r\n"
    "  <td><a href=\"<!--/#IMAGEPAGEURL#/-->\"><img src=\"<!--/#THUMBURL#/-->\" loading=\"lazy\" "
    "alt=\"<!--/#THUMBTITLE#/-->\"></a><br><!--/#THUMBTEXT#/--></td>\r\n"
    "</tr>\r\n<!--/#ENDALLTHUMBS#/-->\r\n</table>\r\n"
    "<!--/#IFFIRSTTHUMBPAGE#/-->Erste Seite<!--/#ELSEIFFIRSTTHUMBPAGE#/--><a "
    "href=\"<!--/#PREVTHUMBURL#/-->\">"
    "zur\xFC"
    "ck</a><!--/#ENDIFFIRSTTHUMBPAGE#/-->\r\n</body></html>\r\n";

void BM_OverviewWith10000Thumbnails(benchmark::State& bench) {
    BenchSite site;
    const fs::path page = site.WriteTemplate("thumbs.html", kOverviewTemplate);
    RunExpansion(bench, site, page, 10000, TOutputList::FreshPerPage);
}
BENCHMARK(BM_OverviewWith10000Thumbnails)->Unit(benchmark::kMillisecond);

void BM_OverviewWith10000ThumbnailsReusedList(benchmark::State& bench) {
    BenchSite site;
    const fs::path page = site.WriteTemplate("thumbs.html", kOverviewTemplate);
    RunExpansion(bench, site, page, 10000, TOutputList::Reused);
}
BENCHMARK(BM_OverviewWith10000ThumbnailsReusedList)->Unit(benchmark::kMillisecond);

// 200 lines of 1,000 tags: value tags in comment wrappers, bare tags and unknown tags that vanish.
std::string DenseTemplate() {
    const char* const tags[] = {"<td><!--/#SITETITLE#/--></td>", "/#galleryTitle#/ ",
                                "<a href=\"/#THUMBURL#/\">", "<!--/#NOTAKEYWORD#/-->",
                                "[/#IMAGEPAGENUMBER#/]"};
    std::string line;
    for (int i = 0; i < 1000; ++i)
        line += tags[i % 5];
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += line + "\r\n";
    return text;
}

void BM_PageWith1000TagsPerLine(benchmark::State& bench) {
    BenchSite site;
    const fs::path page = site.WriteTemplate("dense.html", DenseTemplate());
    RunExpansion(bench, site, page, 10, TOutputList::FreshPerPage);
}
BENCHMARK(BM_PageWith1000TagsPerLine)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
