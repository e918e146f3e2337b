// The thumbnail grid at different font sizes: captions keep their whole line, the measures grow by
// the font's line height, and an empty grid shows its hint outside the tile layout.
#include "album_library/ui/thumb_frame.h"
#include "album_library/ui/thumb_grid.h"
#include "gui/app_font.h"
#include "support/test_support.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::TAppFont;
using vistrel::testing::TempDir;
namespace fs = std::filesystem;

namespace {

const QString kCaption = QStringLiteral("Bild_01_Ausflug.jpg");

// Pixels in `area` of `image` that are clearly darker than the white background.
int InkPixels(const QImage& image, const QRect& area) {
    int ink = 0;
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x)
            if (qGray(image.pixel(x, y)) < 160) ++ink;
    return ink;
}

QImage Render(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    widget->render(&image);
    return image;
}

struct TileScaleTest : ::testing::TestWithParam<int> {};

} // namespace

TEST_P(TileScaleTest, CaptionWithUnderscoreAndDescenderFitsItsLine) {
    TAppFont font(TAppFont::Points(GetParam()));
    TThumbGrid grid(nullptr);
    grid.resize(900, 700);
    grid.show();
    grid.setTiles(QString(),
                  {{QStringLiteral("none.jpg"), kCaption, QStringLiteral("Berg_gipfel\nim Nebel")}});
    TthumbFrame* tile = grid.tile(0);
    QFontMetrics metrics(tile->font());
    const TTileGeometry& g = tile->geometry();

    EXPECT_GT(grid.scale(), 1.0) << "DejaVu at " << GetParam() << " pt is taller than 13 pixels";
    EXPECT_GE(g.topCaption.height(), metrics.height());
    EXPECT_GE(g.bottomCaption.height(), 2 * metrics.height()) << "two lines of text below the picture";
    EXPECT_EQ(tile->size(), g.size);
    EXPECT_LE(g.topCaption.bottom(), g.frame.top()) << "the caption ends above the picture frame";

    // Where the centred caption is drawn, its ink (the underscores and the "g" below the baseline
    // included) lies inside the caption line.
    QRect line = metrics.boundingRect(g.topCaption, Qt::AlignCenter, kCaption);
    QRect ink = metrics.boundingRect(kCaption).translated(line.left(), line.top() + metrics.ascent());
    EXPECT_TRUE(g.topCaption.contains(ink)) << "ink " << ink.top() << ".." << ink.bottom() << " in line "
                                            << g.topCaption.top() << ".." << g.topCaption.bottom();

    // And drawn for real: the underscores leave ink in the lowest rows of the caption, which the
    // caption's clip would cut if the line were too low for the font.
    QImage image = Render(tile);
    QRect belowBaseline(0, line.top() + metrics.ascent() + 1, g.size.width(), metrics.descent());
    EXPECT_GT(InkPixels(image, belowBaseline.intersected(g.topCaption)), 0);
}

INSTANTIATE_TEST_SUITE_P(FontSizes, TileScaleTest, ::testing::Values(9, 14));

TEST(TileScale, TilesAndPitchGrowWithTheFont) {
    TAppFont small(TAppFont::Unscaled());
    TThumbGrid grid(nullptr);
    grid.resize(1200, 800);
    grid.show();
    std::vector<TTileData> tiles(6, {QStringLiteral("none.jpg"), kCaption, QString()});
    grid.setTiles(QString(), tiles);
    EXPECT_EQ(grid.scale(), 1.0);
    EXPECT_EQ(grid.tile(0)->size(), QSize(128, 166));
    EXPECT_EQ(grid.tile(1)->pos(), QPoint(144, 10));

    // A font twice as tall doubles every measure of the grid; the columns follow from the width.
    QFont big = TAppFont::Unscaled();
    big.setPixelSize(20);
    QApplication::setFont(big);
    QApplication::processEvents();
    double scale = grid.scale();
    ASSERT_GT(scale, 1.5);
    EXPECT_EQ(grid.tile(0)->size(), QSize(ScaledPixels(128, scale), ScaledPixels(166, scale)));
    EXPECT_EQ(grid.columns(), GridColumns(grid.viewport()->width(), scale));
    EXPECT_LT(grid.columns(), 8);
    TTilePosition fifth = TilePosition(5, grid.columns(), scale);
    EXPECT_EQ(grid.tile(5)->pos(), QPoint(fifth.left, fifth.top));
}

TEST(TileScale, LargerTilesReadTheThumbnailFromThePicture) {
    // At a large font the picture box is wider than the stored 120-pixel thumbnail; the tile then
    // shows the picture itself, scaled down, instead of a blown-up thumbnail.
    TempDir dir;
    fs::create_directories(dir / "images");
    fs::create_directories(dir / "thumbs");
    QImage picture(600, 400, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    picture.save(QString::fromStdString((dir / "images" / "p.jpg").string()));
    picture.scaled(120, 80).save(QString::fromStdString((dir / "thumbs" / "p.jpg").string()));
    TAppFont font(TAppFont::Points(14));
    TThumbGrid grid(nullptr);
    grid.resize(900, 700);
    grid.show();
    grid.setTiles(QString::fromStdString((dir / "thumbs").string()),
                  {{QStringLiteral("p.jpg"), kCaption, QString()}});
    ASSERT_TRUE(grid.waitForThumbnails(10000));
    int box = grid.tile(0)->geometry().picture.width();
    ASSERT_GT(box, 180);
    EXPECT_EQ(grid.tile(0)->thumbnail().deviceIndependentSize().width(), box);
}

TEST(EmptyGrid, ShowsTheHintUntilTheFirstPicture) {
    TAppFont font(TAppFont::Points(10));
    TThumbGrid grid(nullptr);
    grid.resize(700, 500);
    grid.setEmptyHint(QStringLiteral("Ziehen Sie Bilder oder Ordner hierher"));
    grid.show();
    grid.setTiles(QString(), {});
    QApplication::processEvents();
    ASSERT_TRUE(grid.isEmptyHintShown());
    QRect viewport = grid.viewport()->rect();
    EXPECT_LE((grid.emptyHintRect().center() - viewport.center()).manhattanLength(), 2) << "centred";
    QRect middle(viewport.center() - QPoint(150, 40), QSize(300, 80));
    EXPECT_GT(InkPixels(Render(grid.viewport()), middle), 0) << "the hint is painted in the middle";

    grid.appendTile({QStringLiteral("none.jpg"), kCaption, QString()});
    QApplication::processEvents();
    EXPECT_FALSE(grid.isEmptyHintShown());
    EXPECT_EQ(InkPixels(Render(grid.viewport()), middle), 0) << "gone with the first picture";
    TTilePosition first = TilePosition(0, grid.columns(), grid.scale());
    EXPECT_EQ(grid.tile(0)->pos(), QPoint(first.left, first.top)) << "the hint takes no place of a tile";

    grid.clearTiles();
    EXPECT_TRUE(grid.isEmptyHintShown());
}
