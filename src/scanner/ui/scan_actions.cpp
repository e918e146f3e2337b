#include "scanner/ui/scan_actions.h"

#include "album_library/import_job.h"
#include "album_library/ui/import_host.h"
#include "common/cp1252.h"
#include "common/user_prompts.h"
#include "scanner/scan_job.h"
#include "scanner/scanner_error.h"
#include "scanner/scanner_texts.h"
#include "scanner/ui/scan_form.h"
#include "scanner/ui/scan_source_form.h"

#include <QApplication>
#include <QInputDialog>

namespace vistrel {

TScanActions::TScanActions(ImportHost& host)
    : QObject(host.DialogParent()), host_(host), scanForm_(new TScanForm(host.DialogParent())),
      sourceForm_(new TScanSourceForm(host.DialogParent())) {
    try {
        scanner_ = std::make_unique<TScanner>();
    } catch (const EScannerError&) {
        // Only one scanner object may exist; this window then has none and says so when asked.
    }
    AskFileName = [this]() -> std::optional<QString> {
        bool ok = false;
        QString name = QInputDialog::getText(host_.DialogParent(), QStringLiteral("Vantro Vistrel"),
                                             QStringLiteral("Dateiname für das eingelesene Bild?"),
                                             QLineEdit::Normal, QString(), &ok);
        return ok ? std::optional(name) : std::nullopt;
    };
}

TScanActions::~TScanActions() = default;

bool TScanActions::ScannerAvailable() {
    if (scanner_ && scanner_->IsAvailable()) return true;
    host_.Context().prompts.ShowMessage(Text(scanner_texts::kNoScanner), MessageKind::Information);
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
    host_.LockMainWindow();
    host_.ShowStatusText(QString::fromUtf8(scanner_texts::kScanStatus));
    QApplication::processEvents();
    TJobResult<TScanCode> result;
    try {
        TScanJob job(*scanner_, host_.Context().settings);
        result = job.Run({}, workBuffer_, *scanForm_);
    } catch (...) {
        host_.UnlockMainWindow();
        QApplication::restoreOverrideCursor();
        throw;
    }
    host_.UnlockMainWindow();
    QApplication::restoreOverrideCursor();
    if (!result.Ok()) host_.Context().prompts.ShowMessage(ScanMessage(result), MessageKind::Error);
    if (workBuffer_.Width() > 0) {
        std::optional<QString> answer = AskFileName();
        if (answer && !answer->isEmpty()) ImportScanned(*answer);
        workBuffer_.FreeImage();
    }
    host_.ShowStatus();
}

void TScanActions::ImportScanned(const QString& answer) {
    TProgramContext& context = host_.Context();
    int album = host_.OpenAlbumIndex();
    if (!context.albums.IsValidIndex(album)) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // No progress window for a scan: one picture is stored quickly.
    ImportProgress silent;
    TImportResult outcome;
    try {
        TImportJob job(context.settings, silent, context.albums.AlbumPath(album), host_.Pictures());
        job.OnPictureAdded = [this](const TAddedPicture& added) {
            host_.ShowImportedPicture(added.index, added.appended);
        };
        outcome = job.ImportScanned(workBuffer_, ScanFileName(QStringToAnsi(answer)));
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    if (outcome.lastAdded >= 0) {
        host_.LayoutTiles(outcome.lastAdded, outcome.lastAdded);
        host_.ScrollIntoView(outcome.lastAdded);
    }
    if (!outcome.Ok()) context.prompts.ShowMessage(ImportMessage(outcome), MessageKind::Error);
}

void TScanActions::actTwainSourceExecute() {
    if (running_) return;
    TRunningFlag running(running_);
    if (!ScannerAvailable()) return;
    TProgramSettings& settings = host_.Context().settings;
    TScannerSettings remembered = LoadScannerSettings(settings);
    scanner_->SetCurrentDevice(remembered.device);
    bool chosen = false;
    try {
        chosen = scanner_->SelectSource(*sourceForm_);
    } catch (const EScannerError& e) {
        auto failure = TJobResult<TScanCode>::Failure(TScanCode::DeviceFailed, e.what());
        host_.Context().prompts.ShowMessage(ScanMessage(failure), MessageKind::Error);
        return;
    }
    if (!chosen || !scanner_->CurrentDevice()) return;
    remembered.device = scanner_->CurrentDevice()->name;
    SaveScannerSettings(settings, remembered);
}

} // namespace vistrel
