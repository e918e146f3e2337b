// The site of every shipped style, generated with the default (empty) settings and with filled ones:
// sound markup, no reference that leads nowhere, and pages that read well when settings are empty.
#include "image_processing/jpeg_graphic.h"
#include "site_styles/page_checks.h"
#include "site_styles/style_site.h"
#include "support/picture_metadata.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProcess>

#include <algorithm>

namespace fs = std::filesystem;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace vistrel::testing {
namespace {

std::string Relative(const StyleSite& site, const fs::path& page) {
    return fs::relative(page, site.Galleries()).generic_string();
}

bool IsAlbumPage(const StyleSite& site, const fs::path& page) {
    return Relative(site, page).find('/') != std::string::npos;
}

// The page script puts "Fotoalben" into a page title that an empty setting left without words.
bool SetsTitleFallback(const std::string& html) {
    return html.find("|| 'Fotoalben'") != std::string::npos;
}

std::vector<TTag> LinksTo(const std::string& html, const std::string& target) {
    std::vector<TTag> links;
    for (const TTag& tag : Tags(html))
        if (tag.name == "a" && tag.Attribute("href") == target) links.push_back(tag);
    return links;
}

using StyleAndFill = std::tuple<std::string, TSettingsFill>;

std::string Name(const ::testing::TestParamInfo<StyleAndFill>& info) {
    return std::get<0>(info.param) + (std::get<1>(info.param) == TSettingsFill::Empty ? "Empty" : "Filled");
}

struct GeneratedSite : ::testing::TestWithParam<StyleAndFill> {};

TEST_P(GeneratedSite, HasSoundMarkupAndNoReferenceIntoNothing) {
    StyleSite site(std::get<0>(GetParam()), std::get<1>(GetParam()));
    std::vector<fs::path> pages = site.Pages();
    // Root: start page and postcard; "sommer": 2 overview pages, index, 14 picture pages, postcard;
    // "staedte": 1 overview page, index, 3 picture pages, postcard.
    ASSERT_EQ(pages.size(), 2u + 18u + 6u);

    EXPECT_THAT(TidyFindings(site.Galleries(), pages), IsEmpty());
    std::vector<std::string> missing, unreadable, untitled;
    for (const fs::path& page : pages) {
        std::string html = ReadBytes(page);
        std::string css = ReadBytes(page.parent_path() / "style.css");
        std::string name = Relative(site, page) + ": ";
        for (const std::string& reference : MissingReferences(page, html))
            missing.push_back(name + reference);
        for (const std::string& link : LinksWithoutText(html, css))
            unreadable.push_back(name + link);
        if (FirstElementText(html, "title").empty() && !SetsTitleFallback(html))
            untitled.push_back(Relative(site, page));
    }
    EXPECT_THAT(missing, IsEmpty());
    EXPECT_THAT(unreadable, IsEmpty());
    EXPECT_THAT(untitled, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(ShippedStyles, GeneratedSite,
                         ::testing::Combine(::testing::ValuesIn(StyleSite::ShippedStyles()),
                                            ::testing::Values(TSettingsFill::Empty, TSettingsFill::Filled)),
                         Name);

struct ShippedStyle : ::testing::TestWithParam<std::string> {};

// A fresh program has no "Titel der Galerie" and no e-mail address: the start page still has a
// heading and every album page a way back that says where it leads.
TEST_P(ShippedStyle, ReadsWellWithEmptySettings) {
    StyleSite site(GetParam(), TSettingsFill::Empty);
    std::string start = site.Page("index.html");
    EXPECT_EQ(FirstElementText(start, "h1"), "Fotoalben");
    EXPECT_TRUE(SetsTitleFallback(start));

    for (const fs::path& page : site.Pages()) {
        if (!IsAlbumPage(site, page)) continue;
        SCOPED_TRACE(Relative(site, page));
        std::string html = ReadBytes(page);
        std::vector<TTag> back = LinksTo(html, "../index.html");
        bool overview =
            page.filename().string().rfind("imagepage", 0) != 0 && page.filename() != "postcard.htm";
        if (overview) {
            EXPECT_FALSE(back.empty()) << "no way back to the start page";
        }
        for (const TTag& link : back)
            EXPECT_EQ(ElementText(html, link), "Alle Alben");
    }
}

TEST_P(ShippedStyle, ShowsTheFilledSettingsBesideItsOwnWords) {
    StyleSite site(GetParam(), TSettingsFill::Filled);
    std::string start = site.Page("index.html");
    EXPECT_EQ(FirstElementText(start, "title"), StyleSite::kSiteTitle);
    EXPECT_THAT(FirstElementText(start, "h1"), StartsWith(StyleSite::kSiteTitle));
    std::vector<TTag> mail = LinksTo(start, std::string("mailto:") + StyleSite::kEmail);
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(ElementText(start, mail[0]), StyleSite::kEmail);

    std::string overview = site.Page("sommer/thumbpage1.html");
    std::vector<TTag> back = LinksTo(overview, "../index.html");
    ASSERT_FALSE(back.empty());
    EXPECT_EQ(ElementText(overview, back[0]), std::string("Alle Alben ") + StyleSite::kSiteTitle);
}

// Every picture of every page has its size (no layout shift), a WebP source beside the JPEG and a
// name; the picture page's main picture is loaded first and never lazily.
TEST_P(ShippedStyle, PicturesHaveSizesSourcesAndNames) {
    StyleSite site(GetParam(), TSettingsFill::Empty);
    for (const fs::path& page : site.Pages()) {
        SCOPED_TRACE(Relative(site, page));
        std::string html = ReadBytes(page);
        std::vector<TTag> tags = Tags(html);
        int pictures = 0, sources = 0;
        for (const TTag& tag : tags) {
            if (tag.name == "source" && tag.Attribute("type") == "image/webp") ++sources;
            if (tag.name != "img") continue;
            ++pictures;
            EXPECT_FALSE(tag.Attribute("width").empty());
            EXPECT_FALSE(tag.Attribute("height").empty());
            EXPECT_FALSE(tag.Attribute("srcset").empty());
            if (!tag.Has("data-cover")) {
                EXPECT_FALSE(tag.Attribute("alt").empty());
            }
        }
        EXPECT_EQ(sources, pictures);
        if (page.filename().string().rfind("imagepage", 0) == 0) {
            ASSERT_EQ(pictures, 1);
            auto main = std::find_if(tags.begin(), tags.end(), [](const TTag& t) { return t.name == "img"; });
            EXPECT_EQ(main->Attribute("fetchpriority"), "high");
            EXPECT_FALSE(main->Has("loading"));
        }
        bool described = std::any_of(tags.begin(), tags.end(), [](const TTag& t) {
            return t.name == "meta" && t.Attribute("name") == "description" &&
                   !t.Attribute("content").empty();
        });
        EXPECT_TRUE(described);
    }
}

// Every picture a site carries (renditions, thumbnails, pictures) is free of metadata: the pictures
// of the albums are written here without any, and the renditions must not add some.
TEST_P(ShippedStyle, PublishedPicturesCarryNoMetadata) {
    StyleSite site(GetParam(), TSettingsFill::Filled);
    int renditions = 0;
    for (const auto& entry : fs::recursive_directory_iterator(site.Galleries())) {
        std::string extension = entry.path().extension().string();
        if (extension != ".jpg" && extension != ".webp") continue;
        SCOPED_TRACE(Relative(site, entry.path()));
        if (entry.path().parent_path().filename() == "renditions") ++renditions;
        EXPECT_TRUE(CarriesOnlyThePicture(ReadBytes(entry.path()), extension == ".webp"));
    }
    EXPECT_GT(renditions, 0);
}

// The vendored viewer is a style file with a template's extension: the site builder expands it and
// adds its head lines. It must come out as JavaScript a browser runs.
TEST_P(ShippedStyle, ViewerScriptsSurviveTheTemplateEngine) {
    StyleSite site(GetParam(), TSettingsFill::Empty);
    for (const char* script : {"photoswipe.umd.min.js", "photoswipe-lightbox.umd.min.js"}) {
        SCOPED_TRACE(script);
        fs::path file = site.Galleries() / "sommer" / script;
        ASSERT_TRUE(fs::exists(file));
        QProcess node;
        node.start(QStringLiteral("node"),
                   {QStringLiteral("--check"), QString::fromStdString(file.string())});
        ASSERT_TRUE(node.waitForStarted(10000)) << "node is needed to check the scripts";
        node.waitForFinished(60000);
        EXPECT_EQ(node.exitCode(), 0) << node.readAllStandardError().toStdString();
    }
}

// The style dialog shows "style.jpg" unscaled in a 320 x 240 area: a preview of another size is cut
// off or leaves a gap.
TEST_P(ShippedStyle, HasAPreviewThatFillsTheStyleDialog) {
    TJpegGraphic preview;
    preview.ReadFromFile(fs::path(VISTREL_SOURCE_DIR) / "data" / "styles" / GetParam() / "style.jpg");
    EXPECT_EQ(preview.Width(), 320);
    EXPECT_EQ(preview.Height(), 240);
}

INSTANTIATE_TEST_SUITE_P(ShippedStyles, ShippedStyle, ::testing::ValuesIn(StyleSite::ShippedStyles()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(ShippedStyles, AreAllChecked) {
    std::vector<std::string> folders;
    for (const auto& entry : fs::directory_iterator(fs::path(VISTREL_SOURCE_DIR) / "data" / "styles"))
        if (entry.is_directory()) folders.push_back(entry.path().filename().string());
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, StyleSite::ShippedStyles());
}

} // namespace
} // namespace vistrel::testing
