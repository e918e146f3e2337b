// In a real browser, the picture page of every shipped style loads a rendition that is sharp on the
// screen it is shown on and not wasteful: on a phone (390 x 844 CSS pixels, DPR 3) and on a HiDPI
// laptop (1280 x 800, DPR 2) the chosen file is at least the rendered width x DPR / 1.25 and at most
// 2.2 times the rendered width x DPR. Headless Chromium loads the page from a server on 127.0.0.1.
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

// A 2048 x 1365 large version with detail in it, so the encoders have something real to compress.
void WriteLargeVersion(const fs::path& file) {
    fs::create_directories(file.parent_path());
    TJpegGraphic picture;
    picture.NewImage(2048, 1365, ifRgb24);
    for (int y = 0; y < 1365; ++y)
        for (int x = 0; x < 2048; ++x)
            picture.WritePixel(x, y,
                               TColor((x * 255 / 2048) << 16 | ((x ^ y) & 0xff) << 8 | (y * 255 / 1365)));
    picture.WriteToFile(file);
}

struct TScreen {
    const char* name;
    int width, height;
    double dpr;
};

QJsonObject Probe(const fs::path& site, const std::string& page, const TScreen& screen) {
    QProcess probe;
    probe.start(QStringLiteral("/usr/bin/python3"),
                {QString::fromStdString(
                     (fs::path(VISTREL_SOURCE_DIR) / "tests/site_styles/chromium_probe.py").string()),
                 QString::fromStdString(site.string()), QString::fromStdString(page),
                 QString::number(screen.width), QString::number(screen.height), QString::number(screen.dpr),
                 QStringLiteral("figure img")});
    if (!probe.waitForStarted(10000) || !probe.waitForFinished(120000)) return {};
    QByteArray output = probe.readAllStandardOutput();
    if (probe.exitCode() != 0) std::cerr << probe.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(output).object();
}

// "renditions/Bild_10-1200.webp" -> 1200.
int WidthInName(const QString& url) {
    QString name = url.section(QLatin1Char('/'), -1);
    return name.section(QLatin1Char('-'), -1).section(QLatin1Char('.'), 0, 0).toInt();
}

struct RenditionChoice : ::testing::TestWithParam<std::string> {};

TEST_P(RenditionChoice, IsSharpAndNotWastefulOnAPhoneAndAHiDpiLaptop) {
    if (QProcess::execute(QStringLiteral("sh"),
                          {QStringLiteral("-c"), QStringLiteral("command -v chromium")}) != 0)
        GTEST_FAIL() << "chromium is needed: install the Debian package chromium";
    StyleSite site(GetParam(), TSettingsFill::Filled);
    WriteLargeVersion(site.Galleries() / "sommer" / "large" / "Bild_10.jpg");
    site.Regenerate();

    for (const TScreen& screen : {TScreen{"phone", 390, 844, 3.0}, TScreen{"laptop", 1280, 800, 2.0}}) {
        SCOPED_TRACE(screen.name);
        QJsonObject result = Probe(site.Galleries(), "sommer/imagepage0.html", screen);
        ASSERT_FALSE(result.isEmpty()) << "the probe gave no answer";
        const QString source = result[QStringLiteral("currentSrc")].toString();
        EXPECT_TRUE(source.endsWith(QStringLiteral(".webp"))) << source.toStdString();
        const double needed = result[QStringLiteral("renderedWidth")].toDouble() * screen.dpr;
        const int width = WidthInName(source);
        EXPECT_EQ(result[QStringLiteral("viewportWidth")].toInt(), screen.width);
        EXPECT_GE(width, needed / 1.25) << source.toStdString() << " for " << needed << " device pixels";
        EXPECT_LE(width, needed * 2.2) << source.toStdString() << " for " << needed << " device pixels";
        std::cout << GetParam() << " " << screen.name << ": "
                  << source.section(QLatin1Char('/'), -1).toStdString() << " for " << needed
                  << " device pixels, " << result[QStringLiteral("bytes")].toInt() << " bytes downloaded"
                  << std::endl;
    }
}

INSTANTIATE_TEST_SUITE_P(ShippedStyles, RenditionChoice, ::testing::ValuesIn(StyleSite::ShippedStyles()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
} // namespace vistrel::testing
