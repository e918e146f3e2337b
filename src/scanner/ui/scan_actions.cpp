#include "scanner/ui/scan_actions.h"

#include "album_library/import_job.h"
#include "app_shell/ui/main_window.h"
#include "common/cp1252.h"
#include "scanner/scan_job.h"
#include "scanner/scanner_error.h"
#include "scanner/ui/scan_form.h"
#include "scanner/ui/scan_source_form.h"

#include <QApplication>
#include <QInputDialog>

namespace vistrel {

TScanActions::TScanActions(TMainWindow* window)
    : QObject(window), window_(*window), scanForm_(new TScanForm(window)),
      sourceForm_(new TScanSourceForm(window)) {
    try {
        scanner_ = std::make_unique<TScanner>();
    } catch (const EScannerError&) {
        // Only one scanner object may exist; this window then has none and says so when asked.
    }
    AskFileName = [this]() -> std::optional<QString> {
        bool ok = false;
        QString name = QInputDialog::getText(&window_, QStringLiteral("Vantro Vistrel"),
                                             QStringLiteral("Dateiname f\u00fcr das eingelesene Bild?"),
                                             QLineEdit::Normal, QString(), &ok);
        return ok ? std::optional(name) : std::nullopt;
    };
}

TScanActions::~TScanActions() = default;

bool TScanActions::ScannerAvailable() {
    if (scanner_ && scanner_->IsAvailable()) return true;
    window_.Context().prompts.ShowMessage(kNoScannerMessage, MessageKind::Information);
    return false;
}

namespace {

class TRunningFlag {
public:
    explicit TRunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~TRunningFlag() { flag_ = false; }
    TRunningFlag(const TRunningFlag&) = delete;
    TRunningFlag& operator=(const TRunningFlag&) = delete;

private:
    bool& flag_;
};

} // namespace

void TScanActions::actImportTwainExecute() {
    if (running_) return;
    TRunningFlag running(running_);
    if (!ScannerAvailable()) return;
    workBuffer_.FreeImage();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    window_.LockMainWindow();
    window_.ShowStatusText(AnsiToQString(kScanStatusText));
    QApplication::processEvents();
    TJobResult<TScanCode> result;
    try {
        TScanJob job(*scanner_, window_.Context().settings);
        result = job.Run({}, workBuffer_, *scanForm_);
    } catch (...) {
        window_.UnlockMainWindow();
        QApplication::restoreOverrideCursor();
        throw;
    }
    window_.UnlockMainWindow();
    QApplication::restoreOverrideCursor();
    if (!result.Ok()) window_.Context().prompts.ShowMessage(ScanMessage(result), MessageKind::Error);
    if (workBuffer_.Width() > 0) {
        std::optional<QString> answer = AskFileName();
        if (answer && !answer->isEmpty()) ImportScanned(*answer);
        workBuffer_.FreeImage();
    }
    window_.ShowStatus();
}

void TScanActions::ImportScanned(const QString& answer) {
    TProgramContext& context = window_.Context();
    int album = window_.OpenAlbumIndex();
    if (!context.albums.IsValidIndex(album)) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // No progress window for a scan: one picture is stored quickly.
    ImportProgress silent;
    TImportOutcome outcome;
    try {
        TImportJob job(context.settings, silent, context.albums.AlbumPath(album), window_.Pictures());
        job.OnPictureAdded = [this](const TAddedPicture& added) {
            window_.ShowImportedPicture(added.index, added.appended);
        };
        outcome = job.ImportScanned(workBuffer_, ScanFileName(QStringToAnsi(answer)));
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    if (outcome.lastAdded >= 0) {
        window_.LayoutTiles(outcome.lastAdded, outcome.lastAdded);
        window_.ScrollIntoView(outcome.lastAdded);
    }
    if (!outcome.error.empty()) context.prompts.ShowMessage(Utf8ToAnsi(outcome.error), MessageKind::Error);
}

void TScanActions::actTwainSourceExecute() {
    if (running_) return;
    TRunningFlag running(running_);
    if (!ScannerAvailable()) return;
    TProgramSettings& settings = window_.Context().settings;
    TScannerSettings remembered = LoadScannerSettings(settings);
    scanner_->SetCurrentDevice(remembered.device);
    bool chosen = false;
    try {
        chosen = scanner_->SelectSource(*sourceForm_);
    } catch (const EScannerError& e) {
        auto failure = TJobResult<TScanCode>::Failure(TScanCode::DeviceFailed, e.what());
        window_.Context().prompts.ShowMessage(ScanMessage(failure), MessageKind::Error);
        return;
    }
    if (!chosen || !scanner_->CurrentDevice()) return;
    remembered.device = scanner_->CurrentDevice()->name;
    SaveScannerSettings(settings, remembered);
}

} // namespace vistrel
