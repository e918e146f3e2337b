#pragma once
// The main window's two scanner actions: "Bild von TWAIN importieren..." scans with the "Scannen"
// dialog and imports the last page into the open album under a name asked for afterwards; "TWAIN
// Schnittstelle festlegen..." chooses the device. The window owns the one scanner object here.
#include "image_processing/dib_graphic.h"
#include "scanner/scanner.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vistrel {

class ImportHost;
class TScanForm;
class TScanSourceForm;

class TScanActions : public QObject {
    Q_OBJECT
public:
    explicit TScanActions(ImportHost& host);
    ~TScanActions() override;

    void actImportTwainExecute();
    void actTwainSourceExecute();

    TScanForm* ScanForm() const { return scanForm_; }
    TScanSourceForm* SourceForm() const { return sourceForm_; }
    // The question for the file name; nothing when it was cancelled. Tests put their answer here.
    std::function<std::optional<QString>()> AskFileName;

private:
    bool ScannerAvailable();
    void ImportScanned(const QString& answer);

    ImportHost& host_;
    // Null when another scanner object exists (a second main window): scanning is then unavailable.
    std::unique_ptr<TScanner> scanner_;
    TScanForm* scanForm_;
    TScanSourceForm* sourceForm_;
    TDibGraphic workBuffer_;
    // The window keeps handling events while SANE works, so an action could be started again from
    // within itself (a second click while the device list is read); it is ignored then.
    bool running_ = false;
};

} // namespace vistrel
