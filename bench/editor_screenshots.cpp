// Saves screenshots of the picture editor, each of its menus and the gamma dialog into the folder
// given on the command line, for the documentation.
//   editor_screenshots OUTPUT_FOLDER        (run under Xvfb or with QT_QPA_PLATFORM=offscreen)
#include "app/application.h"
#include "image_processing/ui/gamma_form.h"
#include "image_processing/ui/image_editor.h"
#include "image_processing/ui/image_scroll_box.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSlider>
#include <QTemporaryDir>
#include <filesystem>

namespace {

// A small landscape: sky, sun, hills and a lake.
QImage Landscape(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(70, 130, 210));
    sky.setColorAt(0.6, QColor(250, 200, 150));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 235, 160));
    p.drawEllipse(QPointF(width * 0.72, height * 0.32), height * 0.1, height * 0.1);
    p.setBrush(QColor(60, 120, 70));
    p.drawEllipse(QPointF(width * 0.2, height * 1.05), width * 0.55, height * 0.45);
    p.setBrush(QColor(40, 90, 60));
    p.drawEllipse(QPointF(width * 0.85, height * 1.1), width * 0.5, height * 0.42);
    p.setBrush(QColor(80, 140, 200, 200));
    p.drawRect(QRectF(0, height * 0.82, width, height * 0.18));
    return image;
}

void Save(QWidget* widget, const QString& folder, const QString& name) {
    QApplication::processEvents();
    widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    vistrel::InstallGermanTranslations();
    QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir dir;
    std::filesystem::path picture = std::filesystem::path(dir.path().toStdString()) / "Am_See.jpg";
    Landscape(1200, 800).save(QString::fromStdString(picture.string()), "JPG", 90);

    vistrel::TImageEditor editor(nullptr, std::filesystem::path(dir.path().toStdString()) / "vistrel.INI");
    editor.SetPicturePath(picture);
    editor.show();
    editor.actFullpageExecute();
    editor.ApplyChange(vistrel::TEditAction::actQuick);
    Save(&editor, out, QStringLiteral("editor"));

    for (QAction* menuAction : editor.MenuBar->actions()) {
        QMenu* menu = menuAction->menu();
        if (!menu) continue;
        menu->popup(editor.mapToGlobal(QPoint(0, 0)));
        QApplication::processEvents();
        QString name = menuAction->text().remove(QLatin1Char('&')).toLower();
        Save(menu, out, QStringLiteral("editor_menu_") + name);
        for (QAction* entry : menu->actions()) {
            if (QMenu* sub = entry->menu()) {
                sub->popup(editor.mapToGlobal(QPoint(0, 0)));
                Save(sub, out,
                     QStringLiteral("editor_menu_") + entry->text().remove(QLatin1Char('&')).toLower());
                sub->hide();
            }
        }
        menu->hide();
    }

    editor.SetZoom(200);
    Save(&editor, out, QStringLiteral("editor_zoom200"));

    vistrel::TGammaForm* gamma = editor.GammaForm;
    gamma->SetSourcePicture(&editor.CurrentPicture());
    gamma->show();
    gamma->Image->SetZoomMode(vistrel::zmFullPage);
    gamma->TrackBar1->setValue(18);
    Save(gamma, out, QStringLiteral("editor_gamma"));
    gamma->hide();
    editor.Session().Closed();
    return 0;
}
