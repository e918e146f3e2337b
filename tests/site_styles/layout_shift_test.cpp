// Pages that do not jump: in a real browser, every shipped style's start, overview and picture page
// has its pictures' places laid out before any picture has arrived, on a phone and on a laptop. The
// picture requests are held until the parsed page is measured (tests/site_styles/chromium_layout.py),
// so the check does not depend on how fast the pictures come.
#include "site_styles/style_site.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <iostream>

namespace fs = std::filesystem;

namespace vistrel::testing {
namespace {

struct TScreen {
    const char* name;
    int width, height;
    double dpr;
};

struct TPage {
    const char* file;
    const char* picture; // the first picture of the page
    const char* after;   // what follows the pictures
};

QJsonObject Measure(const fs::path& site, const TPage& page, const TScreen& screen) {
    QProcess measure;
    measure.start(QStringLiteral("/usr/bin/python3"),
                  {QString::fromStdString(
                       (fs::path(VISTREL_SOURCE_DIR) / "tests/site_styles/chromium_layout.py").string()),
                   QString::fromStdString(site.string()), QString::fromLatin1(page.file),
                   QString::number(screen.width), QString::number(screen.height), QString::number(screen.dpr),
                   QString::fromLatin1(page.picture), QString::fromLatin1(page.after)});
    if (!measure.waitForStarted(10000) || !measure.waitForFinished(120000)) return {};
    QByteArray output = measure.readAllStandardOutput();
    if (measure.exitCode() != 0) std::cerr << measure.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(output).object();
}

std::string Box(const QJsonValue& box) {
    std::string text;
    for (const QJsonValue& v : box.toArray())
        text += std::to_string(static_cast<int>(v.toDouble())) + " ";
    return text;
}

void ExpectSameBox(const QJsonValue& before, const QJsonValue& after, const char* what) {
    const QJsonArray a = before.toArray(), b = after.toArray();
    ASSERT_EQ(a.size(), 4) << what << " not found";
    ASSERT_EQ(b.size(), 4) << what << " not found";
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(a[i].toDouble(), b[i].toDouble(), 1.0)
            << what << " moved when the pictures arrived: " << Box(before) << "-> " << Box(after);
}

struct LayoutShift : ::testing::TestWithParam<std::string> {};

TEST_P(LayoutShift, PicturesHaveTheirPlaceBeforeTheyArrive) {
    if (QProcess::execute(QStringLiteral("sh"),
                          {QStringLiteral("-c"), QStringLiteral("command -v chromium > /dev/null")}) != 0)
        GTEST_FAIL() << "chromium is needed: install the Debian package chromium";
    StyleSite site(GetParam(), TSettingsFill::Filled);
    const TPage pages[] = {{"index.html", "main img", "footer"},
                           {"sommer/index.html", "[data-viewer] img", "footer"},
                           {"sommer/imagepage0.html", "figure img", "figcaption"}};
    for (const TScreen& screen : {TScreen{"phone", 412, 823, 1.75}, TScreen{"laptop", 1350, 940, 1.0}})
        for (const TPage& page : pages) {
            SCOPED_TRACE(std::string(screen.name) + " " + page.file);
            const QJsonObject seen = Measure(site.Galleries(), page, screen);
            ASSERT_FALSE(seen.isEmpty()) << "the measurement gave no answer";
            EXPECT_GE(seen[QLatin1String("held")].toInt(), 1) << "no picture request was held";
            const QJsonObject before = seen[QLatin1String("before")].toObject();
            const QJsonObject after = seen[QLatin1String("after")].toObject();
            EXPECT_FALSE(before[QLatin1String("loaded")].toBool());
            EXPECT_TRUE(after[QLatin1String("loaded")].toBool());
            // A picture may appear out of nothing inside a box of its own (a cover in a mat of fixed
            // size); what was shown must not move, and nothing that follows it.
            const QJsonArray shown = before[QLatin1String("picture")].toArray();
            if (shown.size() != 4 || shown[2].toDouble() * shown[3].toDouble() > 0)
                ExpectSameBox(before[QLatin1String("picture")], after[QLatin1String("picture")],
                              page.picture);
            ExpectSameBox(before[QLatin1String("after")], after[QLatin1String("after")], page.after);
        }
}

INSTANTIATE_TEST_SUITE_P(ShippedStyles, LayoutShift, ::testing::ValuesIn(StyleSite::ShippedStyles()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
} // namespace vistrel::testing
