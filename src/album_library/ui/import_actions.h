#pragma once
// The main window's three ways to import: "Bild importieren..." (file dialog), "Bildverzeichnis
// importieren..." (folder dialog) and files dropped on the thumbnail area. Each locks the window,
// runs the headless import job with the progress window and shows the outcome's message.
#include "album_library/import_job.h"
#include "album_library/ui/import_host.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace vistrel {

class TStatusForm;

// The file dialog's filter rows: the caption the user sees and its patterns.
QStringList ImportFileFilters();

class TImportActions : public QObject {
    Q_OBJECT
public:
    explicit TImportActions(ImportHost& host);

    void actImportExecute();
    void actImportDirExecute();
    void FilesDropped(const QStringList& paths);

    // What follows the dialogs, callable from tests with the paths a dialog would give.
    void ImportFiles(const QStringList& paths);
    void ImportFolder(const QString& folder);

    TStatusForm* StatusForm() const { return statusForm_; }
    // The folder the import dialogs open in.
    QString StartFolder() const;

private:
    template <typename Start> void Run(TImportWay way, Start start);
    void ShowResult(const TImportResult& result, TImportWay way);

    ImportHost& host_;
    TStatusForm* statusForm_;
    QString lastFolder_; // of the last import through a dialog, for this run
};

} // namespace vistrel
