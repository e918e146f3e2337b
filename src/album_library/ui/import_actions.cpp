#include "album_library/ui/import_actions.h"

#include "album_library/ui/status_form.h"
#include "common/cp1252.h"
#include "common/user_prompts.h"
#include "image_processing/graphic_registry.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

namespace vistrel {

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> ToPaths(const QStringList& list) {
    std::vector<fs::path> paths;
    for (const QString& path : list)
        paths.emplace_back(path.toStdString());
    return paths;
}

// The registered formats that the "Alle" row does not name yet, so that a format added to the
// registry can be chosen in the dialog without a second list to keep in step.
QString FurtherRegisteredPatterns(const QString& patterns) {
    QString further;
    const QStringList known = patterns.split(QLatin1Char(' '));
    for (const auto& [extension, description] : RegisteredFormats()) {
        QString pattern = QStringLiteral("*.") + QString::fromLatin1(extension).toLower();
        if (!known.contains(pattern) && !further.contains(pattern)) further += QLatin1Char(' ') + pattern;
    }
    return further;
}

} // namespace

QStringList ImportFileFilters() {
    struct Row {
        const char* caption;
        const char* patterns;
    };
    static const Row rows[] = {
        {"Alle (*.png;*.jpeg;*.jpg;*.tiff;*.tif;*.gif;*.bmp;)",
         "*.png *.jpeg *.jpg *.afi *.vst *.tga *.dcx *.pcc *.pcx *.tiff *.tif *.gif *.jpg *.jpeg *.bmp *.ico "
         "*.emf *.wmf"},
        {"Portable Network Graphic (*.png)", "*.png"},
        {"JPEG (*.jpeg)", "*.jpeg"},
        {"JPEG (*.jpg)", "*.jpg"},
        {"TIFF file (*.tiff)", "*.tiff"},
        {"TIFF file (*.tif)", "*.tif"},
        {"CompuServe GIF Image (*.gif)", "*.gif"},
        {"Bitmaps (*.bmp)", "*.bmp"},
    };
    // File names are case-sensitive here, unlike where the rows come from: a camera's "IMG_0001.JPG"
    // must show under "*.jpg" too, so each pattern also stands in upper case.
    QStringList filters;
    for (const Row& row : rows) {
        QString patterns = QString::fromLatin1(row.patterns);
        if (&row == &rows[0]) patterns += FurtherRegisteredPatterns(patterns);
        filters << QStringLiteral("%1 (%2 %3)")
                       .arg(QString::fromLatin1(row.caption), patterns, patterns.toUpper());
    }
    return filters;
}

TImportActions::TImportActions(ImportHost& host)
    : QObject(host.DialogParent()), host_(host), statusForm_(new TStatusForm(host.DialogParent())) {}

void TImportActions::actImportExecute() {
    host_.Context().settings.UpdateMaxPictureSize();
    QFileDialog dialog(host_.DialogParent(), QStringLiteral("Bild importieren"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(ImportFileFilters());
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDirectory(StartFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    lastFolder_ = QFileInfo(dialog.selectedFiles().first()).absolutePath();
    ImportFiles(dialog.selectedFiles());
}

void TImportActions::actImportDirExecute() {
    host_.Context().settings.UpdateMaxPictureSize();
    QString folder = QFileDialog::getExistingDirectory(
        host_.DialogParent(), QStringLiteral("Verzeichnis für Bildimport wählen"), StartFolder());
    if (folder.isEmpty()) return;
    lastFolder_ = folder;
    ImportFolder(folder);
}

// Where the user's pictures are: the folder of the last import, else the desktop's pictures folder
// (XDG_PICTURES_DIR), else the home folder; never the program folder.
QString TImportActions::StartFolder() const {
    if (!lastFolder_.isEmpty() && QFileInfo(lastFolder_).isDir()) return lastFolder_;
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) return pictures;
    return QDir::homePath();
}

void TImportActions::FilesDropped(const QStringList& paths) {
    if (!host_.IsReady()) return;
    host_.DialogParent()->raise();
    host_.DialogParent()->activateWindow();
    std::vector<fs::path> dropped = ToPaths(paths);
    Run(TImportWay::Drop, [&dropped](TImportJob& job) { return job.ImportDropped(dropped); });
}

void TImportActions::ImportFiles(const QStringList& paths) {
    std::vector<fs::path> files = ToPaths(paths);
    Run(TImportWay::Files, [&files](TImportJob& job) { return job.ImportFiles(files); });
}

void TImportActions::ImportFolder(const QString& folder) {
    fs::path path = folder.toStdString();
    Run(TImportWay::Folder, [&path](TImportJob& job) { return job.ImportFolder(path); });
}

template <typename Start> void TImportActions::Run(TImportWay way, Start start) {
    TProgramContext& context = host_.Context();
    int album = host_.OpenAlbumIndex();
    if (!context.albums.IsValidIndex(album)) return;
    host_.LockMainWindow();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TImportResult result;
    try {
        TImportJob job(context.settings, *statusForm_, context.albums.AlbumPath(album), host_.Pictures());
        job.OnPictureAdded = [this](const TAddedPicture& added) {
            host_.ShowImportedPicture(added.index, added.appended);
        };
        result = start(job);
    } catch (...) {
        statusForm_->Close();
        QApplication::restoreOverrideCursor();
        host_.UnlockMainWindow();
        throw;
    }
    QApplication::restoreOverrideCursor();
    host_.UnlockMainWindow();
    ShowResult(result, way);
}

void TImportActions::ShowResult(const TImportResult& result, TImportWay way) {
    if (result.lastAdded >= 0 && way != TImportWay::Files) {
        host_.LayoutTiles(result.lastAdded, result.lastAdded);
        host_.ScrollIntoView(result.lastAdded);
    }
    host_.ShowStatus();
    std::string message = ImportMessage(result);
    if (message.empty()) return;
    MessageKind kind = result.code == TImportCode::NoPictures ? MessageKind::Information
                       : result.Ok()                          ? MessageKind::Warning
                                                              : MessageKind::Error;
    host_.Context().prompts.ShowMessage(message, kind);
}

} // namespace vistrel
