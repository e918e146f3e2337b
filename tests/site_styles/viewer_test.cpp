// The full-screen viewer of every shipped style, used in a real browser the way a visitor on a phone
// uses it: a click on a thumbnail opens it, ArrowRight and a swipe go on (the picture after the one
// shown is already loaded), a double tap zooms, Esc closes it and leaves the keyboard focus on the
// thumbnail of the picture shown last, Enter opens it again, the browser's back button closes it
// without leaving the page, and the picture's caption is shown. Headless Chromium loads the site
// from a server on 127.0.0.1; tests/site_styles/chromium_viewer.py plays the visit.
#include "image_processing/jpeg_graphic.h"
#include "site_styles/style_site.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <iostream>

namespace fs = std::filesystem;

namespace vistrel::testing {
namespace {

// A large version worth zooming into: larger than the phone's screen in device pixels.
void WriteLargeVersion(const fs::path& file, int shade) {
    fs::create_directories(file.parent_path());
    TJpegGraphic picture;
    picture.NewImage(1600, 1067, ifRgb24);
    for (int y = 0; y < 1067; ++y)
        for (int x = 0; x < 1600; ++x)
            picture.WritePixel(x, y, TColor((x * 255 / 1600) << 16 | ((x ^ y) & 0xff) << 8 | (shade * 60)));
    picture.WriteToFile(file);
}

QJsonObject Visit(const fs::path& site, const std::string& page) {
    QProcess visit;
    visit.start(QStringLiteral("/usr/bin/python3"),
                {QString::fromStdString(
                     (fs::path(VISTREL_SOURCE_DIR) / "tests/site_styles/chromium_viewer.py").string()),
                 QString::fromStdString(site.string()), QString::fromStdString(page)});
    if (!visit.waitForStarted(10000) || !visit.waitForFinished(120000)) return {};
    QByteArray output = visit.readAllStandardOutput();
    if (visit.exitCode() != 0) std::cerr << visit.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(output).object();
}

struct Viewer : ::testing::TestWithParam<std::string> {};

TEST_P(Viewer, WorksByClickKeysAndTouchAndClosesByEscAndBack) {
    if (QProcess::execute(QStringLiteral("sh"),
                          {QStringLiteral("-c"), QStringLiteral("command -v chromium > /dev/null")}) != 0)
        GTEST_FAIL() << "chromium is needed: install the Debian package chromium";
    StyleSite site(GetParam(), TSettingsFill::Filled);
    for (int i = 0; i < 3; ++i)
        WriteLargeVersion(
            site.Galleries() / "staedte" / "large" / ("Bild_" + std::to_string(10 + i) + ".jpg"), i);
    site.Regenerate();

    const QJsonObject seen = Visit(site.Galleries(), "staedte/index.html");
    ASSERT_FALSE(seen.isEmpty()) << "the visit gave no answer";
    auto text = [&](const char* key) { return seen[QLatin1String(key)].toString().toStdString(); };
    auto held = [&](const char* key) { return seen[QLatin1String(key)].toBool(); };
    EXPECT_EQ(seen[QLatin1String("thumbnails")].toInt(), 3);
    EXPECT_EQ(text("firstAlt"), "Am Hafen 1");

    EXPECT_TRUE(held("openedByClick"));
    EXPECT_EQ(text("counterAfterOpen"), "1 von 3");
    EXPECT_TRUE(held("captionShown")) << "the caption shows the picture's title";
    EXPECT_TRUE(held("nextPreloaded")) << "the second picture is loaded while the first is shown";

    EXPECT_EQ(text("counterAfterArrow"), "2");
    EXPECT_EQ(text("pageAfterArrow"), "/staedte/index.html") << "the key stays in the viewer";
    EXPECT_TRUE(held("settledAfterArrow"));
    EXPECT_TRUE(held("afterNextPreloaded"));

    EXPECT_EQ(text("counterAfterSwipe"), "3");
    EXPECT_TRUE(held("settledAfterSwipe"));
    EXPECT_TRUE(held("zoomedByDoubleTap"));

    EXPECT_TRUE(held("closedByEscape"));
    EXPECT_EQ(text("pageAfterEscape"), "/staedte/index.html");
    EXPECT_EQ(text("focusAfterEscape"), "imagepage2.html") << "focus on the thumbnail of the last picture";

    EXPECT_TRUE(held("openedByEnter"));
    EXPECT_TRUE(held("closedByBack"));
    EXPECT_EQ(text("pageAfterBack"), "/staedte/index.html") << "back closes the viewer, not the page";
}

INSTANTIATE_TEST_SUITE_P(ShippedStyles, Viewer, ::testing::ValuesIn(StyleSite::ShippedStyles()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
} // namespace vistrel::testing
