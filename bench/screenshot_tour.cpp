// Builds a demonstration program folder (three albums, one of 30 pictures), opens the main window and
// saves screenshots of it, of each menu and of each dialog into the folder given on the command line.
//   screenshot_tour OUTPUT_FOLDER        (run under Xvfb or with QT_QPA_PLATFORM=offscreen)
//   screenshot_tour OUTPUT_FOLDER 2x     only the main window, light and dark, at twice the scale
#include "album_library/ui/album_tree.h"
#include "album_library/ui/info_dialogs.h"
#include "album_library/ui/status_form.h"
#include "album_library/ui/thumb_grid.h"
#include "app/about_box.h"
#include "app/application.h"
#include "app/main_window.h"
#include "common/line_file.h"
#include "settings/ui/settings_form.h"
#include "site_generator/cdrom_export.h"
#include "site_generator/ui/gen_cdrom_form.h"
#include "site_generator/ui/gen_stat.h"
#include "site_generator/ui/select_style_form.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// A small landscape: sky, sun and hills in the colours of hue `hue`.
QImage Landscape(int width, int height, int hue) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor::fromHsv(hue, 120, 250));
    sky.setColorAt(1, QColor::fromHsv((hue + 30) % 360, 60, 255));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 230, 150));
    p.drawEllipse(QPointF(width * 0.7, height * 0.3), height * 0.12, height * 0.12);
    p.setBrush(QColor::fromHsv((hue + 120) % 360, 150, 140));
    p.drawEllipse(QPointF(width * 0.25, height * 1.1), width * 0.6, height * 0.5);
    p.setBrush(QColor::fromHsv((hue + 150) % 360, 170, 100));
    p.drawEllipse(QPointF(width * 0.85, height * 1.15), width * 0.55, height * 0.45);
    return image;
}

void MakeAlbum(const fs::path& root, const std::string& folder, int pictures, int hue) {
    fs::create_directories(root / folder / "images");
    fs::create_directories(root / folder / "thumbs");
    std::vector<std::string> lines;
    for (int i = 0; i < pictures; ++i) {
        std::string name = "Bild_" + std::to_string(i + 1) + ".jpg";
        QImage picture = Landscape(500, 375, (hue + i * 23) % 360);
        picture.save(QString::fromStdString((root / folder / "images" / name).string()), "JPG", 85);
        picture.scaled(120, 90, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            .save(QString::fromStdString((root / folder / "thumbs" / name).string()), "JPG", 85);
        std::string title = i % 3 == 0 ? "Am Strand " + std::to_string(i + 1) : "";
        std::string text = i % 4 == 0 ? "Abendlicht\x01\x61m Meer" : "";
        lines.push_back(name + "\t" + title + "\t" + text);
    }
    vistrel::WriteLineFile(root / folder / "info.txt", lines);
}

// A dark palette for the Fusion style, as a dark desktop theme would give.
QPalette DarkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(45, 45, 48));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(30, 30, 32));
    p.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::Button, QColor(55, 55, 58));
    p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    p.setColor(QPalette::Mid, QColor(90, 90, 95));
    p.setColor(QPalette::Highlight, QColor(61, 130, 214));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(160, 160, 165));
    p.setColor(QPalette::ToolTipBase, QColor(55, 55, 58));
    p.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    return p;
}

void Save(QWidget* widget, const QString& folder, const QString& name) {
    QApplication::processEvents();
    widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace

int main(int argc, char** argv) {
    bool twice = argc > 2 && std::string(argv[2]) == "2x";
    if (twice) qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    vistrel::InstallGermanTranslations();
    QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir dir;
    fs::path root = dir.path().toStdString();
    fs::path galleries = root / "galleries";
    MakeAlbum(galleries, "Sommer_am_Meer", 30, 190);
    MakeAlbum(galleries, "Bergtour_2026", 8, 20);
    MakeAlbum(galleries, "Familienfest", 5, 300);
    MakeAlbum(galleries, "Neues_Album", 0, 0);
    vistrel::WriteLineFile(
        galleries / "info.txt",
        {"Sommer_am_Meer\tZwei Wochen Nordsee\tSonne, Wind und Wellen\t\tSommer am Meer\ttrue",
         "Bergtour_2026\tAlpen\tVon H\xFCtte zu H\xFCtte\t\tBergtour 2026\ttrue",
         "Familienfest\t\t\t\tFamilienfest\tfalse", "Neues_Album\t\t\t\tNeues_Album\tfalse"});
    // The shipped styles, so the style dialog shows real previews.
    fs::copy(fs::path(VISTREL_SOURCE_DIR) / "data" / "styles", root / "styles", fs::copy_options::recursive);

    vistrel::TMainWindow window(root);
    window.resize(1100, 720);
    window.show();
    window.StartUp(false);
    window.Grid()->waitForThumbnails(20000);
    window.Grid()->applySelectionAt(4, {});
    window.Grid()->applySelectionAt(6, Qt::ControlModifier);
    QString scale = twice ? QStringLiteral("2x") : QStringLiteral("1x");
    if (!twice) Save(&window, out, QStringLiteral("main_window"));
    // The first start's size on a screen of 1366 x 768 logical pixels, in the light and in a dark theme.
    window.resize(window.FirstSize(QRect(0, 0, 1366, 736)));
    Save(&window, out, QStringLiteral("main_window_") + scale + QStringLiteral("_light"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(DarkPalette());
    Save(&window, out, QStringLiteral("main_window_") + scale + QStringLiteral("_dark"));
    window.SelectAlbumRow(3);
    Save(&window, out, QStringLiteral("main_window_") + scale + QStringLiteral("_dark_empty"));
    if (twice) return 0;
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    window.SelectAlbumRow(0);

    for (QAction* menuAction : window.menuBar()->actions()) {
        QMenu* menu = menuAction->menu();
        if (!menu) continue;
        menu->popup(window.mapToGlobal(QPoint(0, 0)));
        QApplication::processEvents();
        QString name = menuAction->text().remove(QLatin1Char('&')).toLower();
        Save(menu, out, QStringLiteral("menu_") + name);
        menu->hide();
    }

    auto* info = window.EditInfoForm();
    info->Edit1->setText(QStringLiteral("Am Strand von Sylt"));
    info->Memo1->setPlainText(QStringLiteral("Abendlicht am Meer\nAufgenommen im Juli"));
    info->show();
    Save(info, out, QStringLiteral("dialog_bildinformationen"));
    info->hide();
    auto* album = window.EditAlbumInfoForm();
    album->edGalleryName->setText(QStringLiteral("Sommer am Meer"));
    album->edGalleryInfo->setText(QStringLiteral("Zwei Wochen Nordsee"));
    album->edGalleryText->setPlainText(QStringLiteral("Sonne, Wind und Wellen"));
    album->show();
    Save(album, out, QStringLiteral("dialog_albuminformationen"));
    album->hide();
    vistrel::TStatusForm status(&window);
    status.Start(10);
    status.ShowPicture(root / "Import" / "IMG_2041.JPG");
    status.ShowStep("Bild verkleinern");
    status.StepProgress(40);
    status.ShowCount(3, "3 von 10");
    status.show();
    Save(&status, out, QStringLiteral("dialog_import"));
    status.hide();

    vistrel::TGenStat genStat(&window);
    genStat.Start(120);
    genStat.BeginStep("Erzeuge Bildseiten", 30);
    genStat.ShowFile(galleries / "Sommer_am_Meer" / "imagepage12.html");
    genStat.FileDone(52, vistrel::TStepAdvance::TotalAndStep);
    genStat.show();
    Save(&genStat, out, QStringLiteral("dialog_genstat"));
    genStat.hide();

    vistrel::TSelectStyleForm styles(&window);
    styles.Prepare(root / "styles", root / "styles" / "Dunkelkammer");
    styles.show();
    Save(&styles, out, QStringLiteral("dialog_style"));
    styles.hide();

    vistrel::TGenCDROMForm cdrom(window.Context().settings, window.Context().prompts, &window);
    cdrom.Prepare(vistrel::BuildCdromFolderList(window.Context().albums));
    cdrom.show();
    Save(&cdrom, out, QStringLiteral("dialog_cdrom"));
    cdrom.hide();

    // The settings dialog on each of its pages, filled as a user would have it.
    vistrel::TProgramSettings& settings = window.Context().settings;
    settings.edImpressum = {"Alle Fotos: Anna Beispiel", "Musterweg 1, 12345 Musterstadt"};
    settings.edSiteTitle = "Unsere Reisen";
    settings.edEmail = "anna@example.org";
    settings.edFTPServer = "ftp.example.org";
    settings.edFTPUser = "anna";
    settings.edFTPPassword = "geheim";
    settings.edFTPDirectory = "/htdocs/fotos";
    vistrel::TSettingsForm settingsForm(settings, window.Context().prompts, &window);
    const char* pages[] = {"info", "hauptseite", "bildimport", "veroeffentlichen", "sonstiges"};
    for (int page = 0; page < 5; ++page) {
        settingsForm.PageControl->setCurrentIndex(page);
        settingsForm.show();
        Save(&settingsForm, out, QStringLiteral("settings_") + QString::fromLatin1(pages[page]));
    }
    settingsForm.hide();

    vistrel::TAboutBox about(&window);
    about.show();
    Save(&about, out, QStringLiteral("about_box"));
    return 0;
}
