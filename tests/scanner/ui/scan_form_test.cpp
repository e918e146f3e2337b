#include "sane_config.h"
#include "scanner/ui/scan_form.h"
#include "scanner/ui/scan_preview.h"
#include "scanner/ui/scan_source_form.h"
#include "support/test_support.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <functional>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::UseSaneTestBackend;

namespace {

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

void Choose(QComboBox* box, const QString& text) {
    int index = box->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// Runs `script` once `dialog` is on screen. A single shot would fire too early, inside the event
// loops that run while SANE opens the device, before the dialog shows.
void WhenShown(QWidget* dialog, std::function<void()> script) {
    auto* poll = new QTimer(dialog);
    QObject::connect(poll, &QTimer::timeout, dialog, [dialog, poll, script] {
        if (!dialog->isVisible()) return;
        poll->deleteLater();
        poll->stop();
        script();
    });
    poll->start(0);
}

struct ScanFormTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    TProgramSettings settings{TProgramFolders::For(dir.path()), prompts};
    TDibGraphic picture;
    TScanForm form{nullptr};

    // Runs the job with the dialog; `script` works the dialog once it is shown.
    TJobResult<TScanCode> Run(std::function<void()> script) {
        TScanner scanner;
        TScanJob job(scanner, settings);
        WhenShown(&form, script);
        auto result = job.Run({}, picture, form);
        pages = job.Pages();
        return result;
    }
    int pages = 0;
};

TEST_F(ScanFormTest, OffersTheDevicesValuesPreviewsAndScans) {
    UseSaneTestBackend();
    bool previewed = false;
    auto result = Run([&] {
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Scannen"));
        EXPECT_EQ(Items(form.cbSource),
                  (QStringList{QStringLiteral("Flachbett"), QStringLiteral("Vorlageneinzug")}));
        EXPECT_EQ(Items(form.cbMode), (QStringList{QStringLiteral("Graustufen"), QStringLiteral("Farbe")}));
        EXPECT_EQ(form.cbResolution->currentText(), QStringLiteral("100 dpi"));
        EXPECT_TRUE(Items(form.cbResolution).contains(QStringLiteral("1200 dpi")));
        EXPECT_DOUBLE_EQ(form.edRight->value(), 51.0);
        EXPECT_DOUBLE_EQ(form.edRight->maximum(), 200.0);

        Choose(form.cbMode, QStringLiteral("Farbe"));
        Choose(form.cbResolution, QStringLiteral("50 dpi"));
        form.edBottom->setValue(50.0);
        form.btnPreview->click();
        previewed = form.preview->HasPicture();
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.cbResolution->currentText(), QStringLiteral("50 dpi")); // the preview put it back
        form.btnScan->click();
    });
    ASSERT_TRUE(result.Ok()) << result.detail;
    EXPECT_TRUE(previewed);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(picture.ImageFormat(), ifRgb24);
    EXPECT_EQ(picture.Width(), 100); // 51 mm at 50 dpi: 100.4
    EXPECT_EQ(picture.Height(), 98); // 50 mm: 98.4
    EXPECT_EQ(settings.LoadFile().ReadString("TScanner", "mode", ""), "Color");
}

TEST_F(ScanFormTest, AbbrechenClosesWithoutAPictureAndStopsARunningScan) {
    UseSaneTestBackend();
    auto closed = Run([&] { form.btnCancel->click(); });
    EXPECT_TRUE(closed.Ok());
    EXPECT_TRUE(picture.IsEmpty());
    EXPECT_EQ(pages, 0);

    // The whole area at 300 dpi in pieces of seven bytes runs long enough for "Abbrechen" to come
    // at the first progress report; the window then stays open for another try.
    UseSaneTestBackend("br_x 200.0\nbr_y 200.0\nresolution 300.0\nread-limit true\nread-limit-size 7\n");
    TIniFile ini = settings.LoadFile(); // the values of the first window would make a small scan
    ini.EraseSection(kScannerSection);
    settings.SaveFile(ini);
    bool stillOpen = false;
    auto result = Run([&] {
        QTimer* press = new QTimer(&form);
        // "Abbrechen" is pressed as soon as the bar moves, from inside the running scan's loop.
        QObject::connect(press, &QTimer::timeout, &form, [&, press] {
            if (form.pbScan->value() > 0) {
                form.btnCancel->click();
                press->stop();
            }
        });
        press->start(0);
        form.btnScan->click();
        stillOpen = form.isVisible();
        form.btnCancel->click();
    });
    EXPECT_TRUE(result.Ok());
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(picture.IsEmpty());
    EXPECT_EQ(pages, 0);
}

TEST(ScanSourceForm, ListsTheDevicesAndGivesTheChoice) {
    TScanSourceForm form(nullptr);
    std::vector<TScanDevice> devices = {
        {"test:0", "Noname", "frontend-tester", "virtual device"},
        {"epson2:net:10.0.0.5", "Epson", "Perfection V39", "flatbed scanner"}};
    form.Fill(devices, 1);
    ASSERT_EQ(form.lbSources->topLevelItemCount(), 2);
    EXPECT_EQ(form.lbSources->topLevelItem(1)->text(0), QStringLiteral("Epson"));
    EXPECT_EQ(form.lbSources->topLevelItem(1)->text(2), QStringLiteral("epson2:net:10.0.0.5"));
    EXPECT_EQ(form.Chosen(), std::optional<size_t>(1));
    form.lbSources->setCurrentItem(form.lbSources->topLevelItem(0));
    EXPECT_EQ(form.Chosen(), std::optional<size_t>(0));

    WhenShown(&form, [&] { form.btnCancel->click(); });
    EXPECT_EQ(form.Choose(devices, 0), std::nullopt);
    WhenShown(&form, [&] {
        form.lbSources->setCurrentItem(form.lbSources->topLevelItem(1));
        form.btnSelect->click();
    });
    EXPECT_EQ(form.Choose(devices, 0), std::optional<size_t>(1));
}

} // namespace
