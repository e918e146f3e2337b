#include "settings/program_settings.h"
#include "site_generator/ui/gen_cdrom_form.h"
#include "site_generator/ui/gen_stat.h"
#include "site_generator/ui/select_style_form.h"
#include "support/test_support.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

TEST(SelectStyleForm, OpensOnTheCurrentStyleAndShowsItsPicture) {
    TempDir dir;
    fs::path styles = dir / "styles";
    for (const char* name : {"beach", "Autumn", "city"})
        fs::create_directories(styles / name);
    QImage big(400, 300, QImage::Format_RGB32);
    big.fill(Qt::red);
    big.save(QString::fromStdString((styles / "city" / "style.jpg").string()), "JPG");
    TSelectStyleForm form;
    form.Prepare(styles, styles / "city" / "");
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Style ausw\u00e4hlen"));
    ASSERT_EQ(form.lbStyle->count(), 3);
    EXPECT_EQ(form.lbStyle->item(0)->text(), "Autumn");
    EXPECT_EQ(form.lbStyle->currentRow(), 2);
    // Shown unscaled; the fixed 320 x 240 area cuts it.
    EXPECT_EQ(form.StylePreview->pixmap().size(), QSize(400, 300));
    EXPECT_EQ(form.StylePreview->size(), QSize(320, 240));
    form.lbStyle->setCurrentRow(0);
    EXPECT_TRUE(form.StylePreview->pixmap().isNull());
    form.btnOk->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Catalogue().ChosenStyle(), styles / "Autumn" / "");
}

TEST(SelectStyleForm, CancelKeepsTheChosenStyle) {
    TempDir dir;
    fs::create_directories(dir / "styles" / "Raster");
    fs::create_directories(dir / "styles" / "Atelier");
    TSelectStyleForm form;
    form.Prepare(dir / "styles", dir / "styles" / "Raster" / "");
    form.lbStyle->setCurrentRow(0);
    form.btnCancel->click();
    EXPECT_EQ(form.Catalogue().ChosenStyle(), dir / "styles" / "Raster" / "");
}

TEST(GenStat, CancelFlagLivesUntilTheNextStart) {
    TGenStat stat;
    EXPECT_EQ(stat.windowTitle(), QStringLiteral("Erzeuge Website..."));
    stat.Start(10);
    stat.BeginStep("Erzeuge Bildseiten", 4);
    stat.FileDone(3, TStepAdvance::TotalAndStep);
    EXPECT_EQ(stat.lbCount->text(), "3");
    EXPECT_EQ(stat.pbVorgang->value(), 1);
    stat.btnCancel->click();
    stat.Close();
    EXPECT_TRUE(stat.Cancelled());
    stat.Start(10);
    EXPECT_FALSE(stat.Cancelled());
    stat.Close();
}

TEST(GenCdromForm, EmptyFolderAsksForOneAndStaysUsable) {
    TempDir dir;
    ScriptedPrompts prompts;
    TProgramSettings settings(TProgramFolders::For(dir.path()), prompts);
    WriteBytes(dir / "galleries" / "index.htm", "x");
    TGenCDROMForm form(settings, prompts);
    TCdromFolderList folders{dir / "galleries" / "", {dir / "galleries" / ""}};
    form.Prepare(folders);
    EXPECT_TRUE(form.lbSummary->text().startsWith(QStringLiteral("1 Verzeichnisse mit 1 Dateien und 0")));
    form.edCDROMPath->clear();
    form.btnOk->click();
    EXPECT_EQ(prompts.messages, (std::vector<std::string>{"Bitte geben Sie ein Ausgabeverzeichnis an!"}));
    EXPECT_TRUE(form.btnOk->isEnabled());
    // A target in the program folder would let the copy overwrite the albums: refused, still usable.
    form.edCDROMPath->setText(QString::fromStdString((dir / "cd").string()));
    form.btnOk->click();
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].rfind("Das Ausgabeverzeichnis " + (dir / "cd").string() + " liegt im", 0),
              0u);
    EXPECT_TRUE(form.btnOk->isEnabled());
    EXPECT_FALSE(fs::exists(dir / "cd"));
    TempDir elsewhere;
    form.edCDROMPath->setText(QString::fromStdString((elsewhere / "cd").string()));
    form.btnOk->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.lbCounter->text(), "1 von 1");
    EXPECT_TRUE(fs::exists(elsewhere / "cd" / "AUTORUN.INF"));
    EXPECT_FALSE(form.btnOk->isEnabled());
}
