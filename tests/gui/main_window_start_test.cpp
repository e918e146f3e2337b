// What a new user meets first: the size of the first start, the status bar with long paths, the hint
// of an empty album and the keyboard while the splash shows.
#include "album_library/ui/album_tree.h"
#include "album_library/ui/thumb_grid.h"
#include "app/about_box.h"
#include "app/main_window.h"
#include "app/main_window_status.h"
#include "gui/app_font.h"
#include "support/test_support.h"

#include <QElapsedTimer>
#include <QImage>
#include <QStyle>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TAppFont;
using vistrel::testing::TempDir;
namespace fs = std::filesystem;

namespace {

struct MainWindowStartTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<TMainWindow> window;

    void MakeAlbum(const std::string& name, int pictures) {
        fs::path album = dir / "galleries" / name;
        fs::create_directories(album / "images");
        fs::create_directories(album / "thumbs");
        for (int i = 0; i < pictures; ++i) {
            QImage image(160, 120, QImage::Format_RGB32);
            image.fill(Qt::darkCyan);
            std::string file = "Bild_" + std::to_string(i) + ".jpg";
            image.save(QString::fromStdString((album / "images" / file).string()));
            image.scaled(120, 90).save(QString::fromStdString((album / "thumbs" / file).string()));
        }
    }

    void Make() {
        fs::create_directories(dir / "styles" / "Klassisch");
        window = std::make_unique<TMainWindow>(dir.path(), &prompts);
    }
};

bool RunUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

} // namespace

TEST_F(MainWindowStartTest, FirstStartShowsTheWholeToolBarAndTheTitles) {
    TAppFont font(TAppFont::Points(10));
    MakeAlbum("Sommer_am_Meer_2026", 2);
    Make();
    QSize first = window->FirstSize(QRect(0, 0, 1366, 768 - 32));
    EXPECT_LE(first.width(), 1366);
    EXPECT_LE(first.height(), 768 - 32);
    EXPECT_GE(first.width(), ScaledPixels(785, window->Scale()));
    window->resize(first);
    window->show();
    window->StartUp(false);
    QApplication::processEvents();
    auto* bar = window->findChild<QToolBar*>(QStringLiteral("ToolBar"));
    ASSERT_TRUE(bar);
    for (QAction* action : bar->actions()) {
        if (action->isSeparator()) continue;
        QWidget* button = bar->widgetForAction(action);
        ASSERT_TRUE(button) << action->text().toStdString();
        EXPECT_TRUE(button->isVisible())
            << action->text().toStdString() << " hidden behind the overflow arrow";
    }
    TAlbumTree* tree = window->Tree();
    ASSERT_TRUE(tree->topLevelItem(0));
    int titleWidth = QFontMetrics(tree->font()).horizontalAdvance(tree->topLevelItem(0)->text(0)) +
                     tree->style()->pixelMetric(QStyle::PM_IndicatorWidth);
    EXPECT_GE(tree->columnWidth(0), titleWidth) << "the album title shows whole";
    EXPECT_LE(tree->columnWidth(0), tree->viewport()->width());

    // A screen smaller than the wanted size caps it.
    EXPECT_LE(window->FirstSize(QRect(0, 0, 640, 480)).width(), 640);
}

TEST_F(MainWindowStartTest, StatusBarShortensOnlyThePath) {
    std::string deep = "Ein_sehr_langer_Ordnername_fuer_die_Alben_des_Benutzers";
    fs::create_directories(dir / "galleries");
    MakeAlbum("Sommer_am_Meer", 3);
    Make();
    window->resize(700, 500);
    window->show();
    window->StartUp(false);
    window->resize(520, 500);
    QApplication::processEvents();
    TStatusPanel* panel = window->AlbumStatus();
    QString full = panel->fullText();
    EXPECT_TRUE(full.startsWith(QLatin1Char('"') + QString::fromStdString((dir / "galleries").string())));
    EXPECT_TRUE(full.endsWith(QStringLiteral("Sommer_am_Meer\" enth\u00e4lt 3 Bilder")));
    EXPECT_EQ(panel->toolTip(), full);
    // The panel is narrower than the path: the path is cut in its middle, the rest stays.
    ASSERT_LT(panel->width(), QFontMetrics(panel->font()).horizontalAdvance(full));
    QString shown = panel->text();
    EXPECT_TRUE(shown.startsWith(QLatin1Char('"'))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("Sommer_am_Meer\" enth\u00e4lt 3 Bilder")))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_LE(QFontMetrics(panel->font()).horizontalAdvance(shown), panel->contentsRect().width());

    TStatusPanel* style = window->StyleStatus();
    EXPECT_TRUE(style->text().startsWith(QStringLiteral("Style: ")));
    EXPECT_EQ(style->toolTip(), style->fullText());
    EXPECT_LE(QFontMetrics(style->font()).horizontalAdvance(style->text()), style->contentsRect().width());

    window->ShowStatusText(QStringLiteral("TWAIN-Schnittstelle wird aufgerufen..."));
    EXPECT_EQ(panel->text(), QStringLiteral("TWAIN-Schnittstelle wird aufgerufen..."));
}

TEST_F(MainWindowStartTest, EmptyAlbumShowsTheImportHint) {
    MakeAlbum("Leer", 0);
    MakeAlbum("Voll", 1);
    Make();
    window->show();
    window->StartUp(false);
    EXPECT_EQ(window->Grid()->emptyHint(),
              QStringLiteral("Ziehen Sie Bilder oder Ordner hierher oder w\u00e4hlen Sie \u201eBild "
                             "importieren...\u201c (Strg+I)."));
    EXPECT_TRUE(window->Grid()->isEmptyHintShown());
    window->SelectAlbumRow(1);
    EXPECT_EQ(window->Grid()->count(), 1);
    EXPECT_FALSE(window->Grid()->isEmptyHintShown());
}

TEST_F(MainWindowStartTest, KeysDuringTheSplashReachTheMainWindow) {
    MakeAlbum("A", 3);
    Make();
    window->show();
    ASSERT_TRUE(RunUntil([&] { return QApplication::activeWindow() == window.get(); }));
    window->StartUp(true);
    ASSERT_TRUE(RunUntil([&] { return window->AboutBox()->isVisible(); }));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), window.get()) << "the splash took the keyboard";
    EXPECT_TRUE(window->AboutBox()->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(window->AboutBox()->testAttribute(Qt::WA_ShowWithoutActivating));

    // Ctrl+A typed while the splash shows goes where the keyboard is: it selects all pictures.
    QWidget* target =
        QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
    ASSERT_TRUE(target);
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(window->AboutBox()->isVisible()) << "still during the splash";
    EXPECT_EQ(window->Grid()->selection().Selected(), (std::vector<int>{0, 1, 2}));
}
