// fuzz-libs: vistrel_site_generator
// Expands arbitrary bytes as a template file of a style, with a fixed run state: three albums (one
// not published), five pictures and a style that holds a few files to include. The input itself is
// the style's "page.html", so it can include itself and meet the include depth limit.
#include "common/user_prompts.h"
#include "settings/program_settings.h"
#include "site_generator/template_engine.h"

#include <cstdint>
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

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Fixture {
    fs::path root;
    SilentPrompts prompts;
    TProgramSettings settings;
    std::vector<TAlbumEntry> albums{
        {"Alpen", "Info", "Zeile 1\r\nZeile 2", "a.jpg", "<b>Berge</b>", true},
        {"Bodensee", "", "", "", "See", false},
        {"Chiemgau", "x\r\ny", "", "c.jpg", "Dorf", true},
    };

    explicit Fixture(const fs::path& folder) : root(folder), settings(TProgramFolders::For(folder), prompts) {
        settings.edSiteTitle = "Site\r\nTitel";
        settings.edImpressum = {"Name", "Strasse"};
        settings.edIndexText1 = {"eins", "zwei"};
        fs::create_directories(root / "style" / "parts");
        fs::create_directories(root / "scripts");
        WriteFile(root / "style" / "part.html",
                  "<p>/#GALLERYTITLE#/</p>\r\n/#ALLTHUMBS#/x/#ENDALLTHUMBS#/\r\n");
        WriteFile(root / "style" / "parts" / "Loop.html", "/#INCLUDE=page.html#/\r\n/#ENDALLTHUMBS#/");
        WriteFile(root / "scripts" / "nav.js", "var n = '/#IMAGEURL#/';\r\n");
    }

    TSiteState State() const {
        TSiteState state;
        state.Albums = &albums;
        state.CurrentAlbum = 0;
        for (int i = 0; i < 5; ++i) {
            const std::string n = std::to_string(i);
            state.Pictures.push_back(TPictureEntry({"p" + n + ".jpg", "T" + n, "a\r\nb"}));
        }
        state.ThumbsPerPage = 2;
        state.PictureCount = 2;
        state.FirstThumb = 2;
        state.ThumbPageIndex = 1;
        state.ThumbPageCount = 3;
        state.ImageScopeCount = 5;
        state.ImagesPerPage = 5;
        state.ImagePageCount = 1;
        state.StyleDir = root / "style";
        state.ScriptsDir = root / "scripts";
        state.Settings = &settings;
        // Small, so that templates that never end cost little fuzzing time, but enough for one chain
        // of includes down to the depth limit.
        state.WorkLimit = (kMaxIncludeDepth + 2) * kIncludeWork;
        return state;
    }
};

fs::path MakeTempFolder() {
    std::string pattern = (fs::temp_directory_path() / "template_fuzz_XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern;
}

Fixture& TheFixture() {
    static Fixture fixture(MakeTempFolder());
    static const bool cleanup = (std::atexit([] { fs::remove_all(TheFixture().root); }), true);
    (void)cleanup;
    return fixture;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& fixture = TheFixture();
    const fs::path page = fixture.root / "style" / "page.html";
    WriteFile(page, std::string(reinterpret_cast<const char*>(data), size));
    TSiteState state = fixture.State();
    std::vector<std::string> output;
    ExpandTemplate(state, page, output);
    // The work limit must bound the output, whatever the template does.
    size_t bytes = 0;
    for (const auto& line : output)
        bytes += line.size();
    if (bytes > static_cast<size_t>(state.WorkLimit) + 4096) std::abort();
    return 0;
}
