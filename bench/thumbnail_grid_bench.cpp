// Opens an album of many pictures in the main window (offscreen) and reports how long the first
// screen takes (the window is usable) and how long until every thumbnail is shown.
//   bench_thumbnail_grid [COUNT]     default 2000
#include "album_library/ui/thumb_grid.h"
#include "app/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    QTemporaryDir dir;
    std::filesystem::path root = dir.path().toStdString();
    std::filesystem::path album = root / "galleries" / "Gross";
    std::filesystem::create_directories(album / "images");
    std::filesystem::create_directories(album / "thumbs");
    std::filesystem::create_directories(root / "styles" / "Klassisch");
    QImage thumb(120, 90, QImage::Format_RGB32);
    for (int i = 0; i < count; ++i) {
        thumb.fill(QColor::fromHsv(i % 360, 160, 220));
        thumb.save(QString::fromStdString((album / "thumbs" / ("p" + std::to_string(i) + ".jpg")).string()),
                   "JPG", 80);
    }
    QElapsedTimer timer;
    timer.start();
    vistrel::TMainWindow window(root);
    window.resize(1280, 800);
    window.show();
    window.StartUp(false);
    app.processEvents();
    qint64 firstScreen = timer.elapsed();
    window.Grid()->waitForThumbnails(600000);
    qint64 full = timer.elapsed();
    std::printf("pictures %d: first screen %lld ms, all thumbnails %lld ms\n", count,
                static_cast<long long>(firstScreen), static_cast<long long>(full));
    return 0;
}
