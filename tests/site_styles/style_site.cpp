#include "site_styles/style_site.h"

#include "image_processing/jpeg_graphic.h"
#include "program/program_context.h"
#include "program/site_run.h"
#include "site_generator/site_builder.h"

#include <algorithm>
#include <stdexcept>

namespace fs = std::filesystem;

namespace vistrel::testing {

namespace {

// A small picture with a gradient, so the encoder has something real to compress.
void WriteJpeg(const fs::path& file, int width, int height, int shade) {
    fs::create_directories(file.parent_path());
    TJpegGraphic picture;
    picture.NewImage(width, height, ifRgb24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.WritePixel(
                x, y, TColor((x * 255 / width) << 16 | (y * 255 / height) << 8 | (shade * 40 & 0xff)));
    picture.WriteToFile(file);
}

struct TAlbumPlan {
    const char* folder;
    const char* title;
    int pictures;
    bool published;
};

// Two overview pages for the first album (12 thumbnails a page), a short album and one that is not
// published. A published album without pictures is left out: the start page lists it although it
// gets no pages, which no template can tell.
const TAlbumPlan kAlbums[] = {
    {"sommer", "Sommer in Ligurien", 14, true},
    {"staedte",
     "St\xe4"
     "dte",
     3, true},
    {"privat", "Privat", 2, false},
};

std::string PictureName(int index) {
    return "Bild_" + std::to_string(10 + index) + ".jpg";
}

} // namespace

StyleSite::StyleSite(const std::string& style, TSettingsFill fill)
    : galleries_(dir_ / "galleries"), style_(style), fill_(fill) {
    fs::copy(fs::path(VISTREL_SOURCE_DIR) / "data" / "styles", dir_ / "styles", fs::copy_options::recursive);
    fs::copy(fs::path(VISTREL_SOURCE_DIR) / "data" / "scripts", dir_ / "scripts",
             fs::copy_options::recursive);
    WriteAlbums(fill);
    Generate(style, fill);
}

void StyleSite::WriteAlbums(TSettingsFill fill) {
    const bool filled = fill == TSettingsFill::Filled;
    std::string albumList;
    for (const TAlbumPlan& album : kAlbums) {
        std::string info = filled ? "Zwei Wochen am Meer" : "";
        std::string text = filled ? "Cinque Terre und Portofino\x01Juli 2024" : "";
        albumList += std::string(album.folder) + "\t" + info + "\t" + text + "\t\t" + album.title + "\t" +
                     (album.published ? "true" : "false") + "\r\n";
        fs::path folder = galleries_ / album.folder;
        fs::create_directories(folder);
        std::string pictureList;
        for (int i = 0; i < album.pictures; ++i) {
            bool portrait = i % 5 == 4;
            WriteJpeg(folder / "images" / PictureName(i), portrait ? 120 : 180, portrait ? 180 : 120, i);
            WriteJpeg(folder / "thumbs" / PictureName(i), portrait ? 80 : 120, portrait ? 120 : 80, i);
            std::string title = filled ? "Am Hafen " + std::to_string(i + 1) : "";
            std::string lines = filled && i % 2 == 0 ? "Morgens um sieben\x01Kein Mensch am Kai" : "";
            pictureList += PictureName(i) + "\t" + title + "\t" + lines + "\r\n";
        }
        WriteBytes(folder / "info.txt", pictureList);
    }
    WriteBytes(galleries_ / "info.txt", albumList);
}

void StyleSite::Generate(const std::string& style, TSettingsFill fill) {
    WriteBytes(dir_ / "vistrel.ini", "[TSettingsForm]\r\nActStyle=" + style + "\r\n");
    ScriptedPrompts prompts;
    TProgramContext context(dir_.path(), prompts);
    if (!context.Start()) throw std::runtime_error("the program folder did not start");
    if (fill == TSettingsFill::Filled) {
        TProgramSettings& settings = context.settings;
        settings.edSiteTitle = kSiteTitle;
        settings.edEmail = kEmail;
        settings.edImpressum = {"Anna Berger", "Hamburg"};
        settings.edIndexText1 = {"Reisen, Landschaften und St\xe4"
                                 "dte.",
                                 "Eine Auswahl."};
        settings.edIndexText2 = {"Neue Bilder jeden Monat."};
        settings.edFootnote = "Alle Bilder \xa9 Anna Berger";
    }
    TSilentSiteProgress progress;
    SiteHost host;
    TSiteResult result = GenerateSite(SiteParamsOf(context, TSiteMode::Publish), progress, host);
    if (!result.startPageExists || result.cancelled) throw std::runtime_error("no site for style " + style);
}

std::vector<fs::path> StyleSite::Pages() const {
    std::vector<fs::path> pages;
    for (fs::recursive_directory_iterator it(galleries_), end; it != end; ++it) {
        std::string name = it->path().filename().string();
        if (it->is_directory() && (name == "images" || name == "thumbs")) it.disable_recursion_pending();
        std::string extension = it->path().extension().string();
        if (it->is_regular_file() && (extension == ".html" || extension == ".htm"))
            pages.push_back(it->path());
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

std::string StyleSite::Page(const std::string& relative) const {
    return ReadBytes(galleries_ / relative);
}

const std::vector<std::string>& StyleSite::ShippedStyles() {
    static const std::vector<std::string> styles = {"Atelier", "Dunkelkammer", "Raster"};
    return styles;
}

} // namespace vistrel::testing
