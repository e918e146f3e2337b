#include "publishing/ui/publish_form.h"

#include "common/cp1252.h"
#include "common/numbers.h"
#include "common/text_utils.h"
#include "common/user_prompts.h"
#include "program/help_pages.h"
#include "program/program_context.h"
#include "publishing/publish_texts.h"
#include "publishing/ui/ftp_windows.h"
#include "site_generator/ui/gen_stat.h"
#include "site_generator/ui/site_actions.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>

#include <climits>

namespace vistrel {

namespace {

QLabel* ValueLabel() {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(260);
    return label;
}

QGroupBox* Group(const QString& caption, const std::vector<std::pair<QString, QWidget*>>& rows) {
    auto* box = new QGroupBox(caption);
    auto* grid = new QGridLayout(box);
    int row = 0;
    for (const auto& [text, widget] : rows) {
        if (!text.isEmpty()) grid->addWidget(new QLabel(text), row, 0);
        grid->addWidget(widget, row, text.isEmpty() ? 0 : 1, 1, text.isEmpty() ? 2 : 1);
        ++row;
    }
    return box;
}

} // namespace

TPublishForm::TPublishForm(TProgramContext& context, std::string& typedPassword, TftpProtoForm& protocol,
                           std::function<void()> editSettings, QWidget* parent)
    : QDialog(parent), context_(context), protocol_(protocol), typedPassword_(typedPassword),
      editSettings_(std::move(editSettings)) {
    setWindowTitle(QStringLiteral("Fotoalbum veröffentlichen"));
    setModal(true);
    // F1 opens the help page on publishing (help context 500).
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] {
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QString::fromStdString(HelpPagePath(context_.folders, 500).string())));
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildServerGroup());
    layout->addWidget(BuildProgressGroups());
    cbDeleteAll = new QCheckBox(
        QStringLiteral("&Verzeichnis auf dem Web Server vor der Übertragung vollständig löschen"));
    cbTransferAll = new QCheckBox(QStringLiteral("&Alle Dateien übertragen"));
    layout->addWidget(cbDeleteAll);
    layout->addWidget(cbTransferAll);
    btnDiag = new QPushButton(QStringLiteral("&Diagnose"));
    btnTransmit = new QPushButton(QStringLiteral("Veröffentlichung starten"));
    btnCancel = new QPushButton(QStringLiteral("Abbrechen"));
    btnTransmit->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnDiag);
    buttons->addStretch();
    buttons->addWidget(btnTransmit);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    connect(btnDiag, &QPushButton::clicked, this, [this] {
        protocol_.show();
        protocol_.raise();
    });
    connect(btnTransmit, &QPushButton::clicked, this, [this] { btnTransmitClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(btnSettings, &QPushButton::clicked, this, [this] { btnSettingsClick(); });

    delStatus_ = new TFTPDelStatus(this);
    delStatus_->OnCancel = [this] { btnCancelClick(); };
    job_ = std::make_unique<TPublishJob>(context.prompts, *this);
    decimalSeparator_ = DecimalSeparator();
}

TPublishForm::~TPublishForm() = default;

QWidget* TPublishForm::BuildServerGroup() {
    lbHost = ValueLabel();
    lbUser = ValueLabel();
    lbDir = ValueLabel();
    lbStatus = ValueLabel();
    btnSettings = new QPushButton(QStringLiteral("&Einstellungen..."));
    return Group(QStringLiteral("Server"), {{QStringLiteral("Server:"), lbHost},
                                            {QStringLiteral("Benutzer:"), lbUser},
                                            {QStringLiteral("Verzeichnis:"), lbDir},
                                            {QStringLiteral("Status:"), lbStatus},
                                            {QString(), btnSettings}});
}

QWidget* TPublishForm::BuildProgressGroups() {
    lbLocalDir = ValueLabel();
    lbRemoteDir = ValueLabel();
    lbDirFiles = ValueLabel();
    lbDirKbytes = ValueLabel();
    lbFilename = ValueLabel();
    lbFileBytes = ValueLabel();
    lbTotalFiles = ValueLabel();
    lbTotalBytes = ValueLabel();
    pbFile = new QProgressBar;
    pbTotal = new QProgressBar;
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Group(QStringLiteral("Verzeichnis"), {{QStringLiteral("Lokal:"), lbLocalDir},
                                                            {QStringLiteral("Server:"), lbRemoteDir},
                                                            {QStringLiteral("Dateien:"), lbDirFiles},
                                                            {QStringLiteral("Größe:"), lbDirKbytes}}));
    layout->addWidget(Group(QStringLiteral("Datei"), {{QStringLiteral("Name:"), lbFilename},
                                                      {QStringLiteral("Übertragen:"), lbFileBytes},
                                                      {QString(), pbFile}}));
    layout->addWidget(Group(QStringLiteral("Gesamt"), {{QStringLiteral("Dateien:"), lbTotalFiles},
                                                       {QStringLiteral("Bytes:"), lbTotalBytes},
                                                       {QString(), pbTotal}}));
    return box;
}

void TPublishForm::Prepare(const TUploadPlan& plan) {
    params_ = TPublishParams();
    TakeSettings(params_, context_.settings);
    params_.plan = plan;
    params_.transferListFile = context_.folders.TransferList();
    job_->Prepare(params_);
    cbDeleteAll->setChecked(false);
    cbTransferAll->setChecked(false);
    btnTransmit->setEnabled(true);
    btnTransmit->setFocus();
    closeRequested_ = false;
}

void TPublishForm::btnTransmitClick() {
    if (running_) return;
    params_.deleteAll = cbDeleteAll->isChecked();
    params_.transferAll = cbTransferAll->isChecked();
    running_ = true;
    TPublishResult result;
    try {
        // A password typed once stays for the program's run when none is stored.
        TPublishParams params = params_;
        if (params.connection.password.empty()) params.connection.password = typedPassword_;
        result = job_->Run(params);
        if (!job_->TypedPassword().empty()) typedPassword_ = job_->TypedPassword();
    } catch (const std::exception& error) {
        // The client refused to start the login (still busy); the job has made the dialog usable
        // again. The English reason goes to the protocol.
        running_ = false;
        Log(error.what());
        QMessageBox::critical(
            this, windowTitle(),
            QStringLiteral("Die Übertragung konnte nicht beginnen, weil die vorige Verbindung "
                           "noch besteht. Bitte versuchen Sie es gleich noch einmal.\n") +
                QString::fromStdString(AnsiToUtf8(error.what())));
        result = {TPublishCode::NotStarted, error.what()};
    }
    running_ = false;
    if (result.code == TPublishCode::NoHost) btnSettingsClick();
    // Success, a missing host and a full server have shown their messages already; a cancel or a
    // run that never started needs none.
    bool shown = result.Ok() || result.code == TPublishCode::NotStarted ||
                 result.code == TPublishCode::NoHost || result.code == TPublishCode::DiskFull ||
                 result.code == TPublishCode::Cancelled;
    if (!shown)
        context_.prompts.ShowMessage(PublishMessage(result, job_->HostName(), job_->RemoteRoot()),
                                     MessageKind::Error);
    FinishIfClosing();
}

void TPublishForm::btnCancelClick() {
    job_->Cancel();
    FinishIfClosing();
}

void TPublishForm::FinishIfClosing() {
    if (closeRequested_ && !running_) QDialog::done(QDialog::Rejected);
}

// Escape works like "Abbrechen".
void TPublishForm::reject() {
    btnCancelClick();
}

// The window button does not stop a run; the dialog closes when the job has ended.
void TPublishForm::closeEvent(QCloseEvent* event) {
    if (running_) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

// FormClose: whatever closes the dialog ends the session.
void TPublishForm::done(int result) {
    if (running_) {
        closeRequested_ = true;
        return;
    }
    job_->Close();
    delStatus_->hide();
    QDialog::done(result);
}

void TPublishForm::Log(const std::string& line) {
    protocol_.AddLine(line);
}
void TPublishForm::ClearLog() {
    protocol_.Clear();
}

QLabel* TPublishForm::LabelFor(TPublishLabel label) const {
    switch (label) {
    case TPublishLabel::lbHost:
        return lbHost;
    case TPublishLabel::lbUser:
        return lbUser;
    case TPublishLabel::lbDir:
        return lbDir;
    case TPublishLabel::lbStatus:
        return lbStatus;
    case TPublishLabel::lbLocalDir:
        return lbLocalDir;
    case TPublishLabel::lbRemoteDir:
        return lbRemoteDir;
    case TPublishLabel::lbDirFiles:
        return lbDirFiles;
    case TPublishLabel::lbDirKbytes:
        return lbDirKbytes;
    case TPublishLabel::lbFilename:
        return lbFilename;
    case TPublishLabel::lbFileBytes:
        return lbFileBytes;
    case TPublishLabel::lbTotalFiles:
        return lbTotalFiles;
    case TPublishLabel::lbTotalBytes:
        return lbTotalBytes;
    }
    return lbStatus;
}

void TPublishForm::SetLabel(TPublishLabel label, const std::string& text) {
    LabelFor(label)->setText(AnsiToDisplay(text));
}

void TPublishForm::SetFileBar(int64_t position, int64_t maximum) {
    fileBarScale_ = 1;
    while (maximum / fileBarScale_ > INT_MAX)
        fileBarScale_ *= 2;
    pbFile->setRange(0, static_cast<int>(std::max<int64_t>(maximum, 0) / fileBarScale_));
    SetFileBarPosition(position);
}

void TPublishForm::SetFileBarPosition(int64_t position) {
    pbFile->setValue(static_cast<int>(std::min<int64_t>(position / fileBarScale_, pbFile->maximum())));
}

void TPublishForm::SetTotalBar(int position, int maximum) {
    pbTotal->setRange(0, maximum);
    pbTotal->setValue(std::min(position, maximum));
}

void TPublishForm::DeleteAllUnchecked() {
    cbDeleteAll->setChecked(false);
}

void TPublishForm::SetIdle(bool idle) {
    btnTransmit->setEnabled(idle);
    btnSettings->setEnabled(idle);
}

// Only the dialog's own controls: the deletion window is a child window of it and must keep its
// "Abbrechen" working.
void TPublishForm::SetDialogEnabled(bool enabled) {
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow()) child->setEnabled(enabled);
    if (enabled) {
        raise();
        activateWindow();
    }
}

std::optional<std::string> TPublishForm::AskPassword() {
    TPasswdDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return QStringToAnsi(dialog.edPassword->text());
}

std::optional<std::string> TPublishForm::AskPassphrase(const std::string& keyFile) {
    TPasswdDialog dialog(this, AnsiToQString(FormatMessage(Text(publish_texts::kPassphraseFor), {keyFile})));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.edPassword->text().toStdString();
}

// A new server's key is asked about with its fingerprint; a changed one with a warning naming both.
// "Ja" trusts it; the SFTP session files it in the program folder's known_hosts.
bool TPublishForm::TrustHostKey(const std::string& hostPort, const std::string& keyType,
                                const std::string& fingerprint, const std::string& previousFingerprint) {
    const std::string question =
        previousFingerprint.empty()
            ? FormatMessage(Text(publish_texts::kAskHostKey), {hostPort, keyType, fingerprint})
            : FormatMessage(Text(publish_texts::kAskChangedHostKey),
                            {hostPort, previousFingerprint, fingerprint, keyType});
    return context_.prompts.AskYesNo(question);
}

// The German question with the fingerprint; "Ja" stores it for the server in the settings.
bool TPublishForm::TrustCertificate(const std::string& hostPort, const std::string& fingerprint,
                                    const std::string& reason) {
    const std::string question =
        FormatMessage(Text(publish_texts::kAskTrust), {hostPort, reason, fingerprint});
    if (!context_.prompts.AskYesNo(question)) return false;
    context_.settings.StoreTrustedCertificate(hostPort, fingerprint);
    params_.connection.trustedFingerprint = fingerprint;
    return true;
}

// The German question; "Ja" is remembered for the server, "Nein" ends the run before the password
// is sent.
bool TPublishForm::AllowUnencrypted(const std::string& hostPort) {
    if (!context_.prompts.AskYesNo(FormatMessage(Text(publish_texts::kAskUnencrypted), {hostPort})))
        return false;
    context_.settings.StoreAllowUnencrypted(hostPort);
    params_.connection.unencryptedAllowed = true;
    return true;
}

// The settings dialog on its page "Veröffentlichen"; the job then takes the settings again.
void TPublishForm::btnSettingsClick() {
    if (editSettings_) editSettings_();
    TakeSettings(params_, context_.settings);
    job_->ShowSettings(params_);
}

void TPublishForm::ShowFolderSize(int files, int64_t bytes) {
    lbDirFiles->setText(QString::number(files));
    lbDirKbytes->setText(
        QString::fromLatin1(FixedText(static_cast<double>(bytes) / 1024.0, 1, decimalSeparator_)) +
        QStringLiteral(" KBytes"));
}

void TPublishForm::ShowFileBytes(int64_t count, int64_t size) {
    QString text = QString::fromLatin1(FixedText(static_cast<double>(count) / 1024.0, 1, decimalSeparator_)) +
                   QStringLiteral(" KBytes");
    if (size >= 0)
        text += QStringLiteral(" von ") +
                QString::fromLatin1(FixedText(static_cast<double>(size) / 1024.0, 1, decimalSeparator_)) +
                QStringLiteral(" KBytes");
    lbFileBytes->setText(text);
}

// "%d von %d Dateien" and "%0.3f von %0.3f MBytes"; before the run "%d von %d" and
// "%d von %0.3f MBytes".
void TPublishForm::ShowTotals(int filesDone, int totalFiles, int64_t bytesDone, int64_t totalBytes,
                              bool started) {
    auto mbytes = [this](int64_t bytes) {
        return QString::fromLatin1(FixedText(static_cast<double>(bytes) / 1048576.0, 3, decimalSeparator_));
    };
    lbTotalFiles->setText(QStringLiteral("%1 von %2").arg(filesDone).arg(totalFiles) +
                          (started ? QStringLiteral(" Dateien") : QString()));
    lbTotalBytes->setText((started ? mbytes(bytesDone) : QString::number(bytesDone)) +
                          QStringLiteral(" von ") + mbytes(totalBytes) + QStringLiteral(" MBytes"));
}

void TPublishForm::CloseDialog() {
    closeRequested_ = true;
    FinishIfClosing();
}

void TPublishForm::ShowDeleteStatus() {
    delStatus_->show();
    delStatus_->raise();
}
void TPublishForm::SetDeleteFolder(const std::string& folder) {
    delStatus_->SetFolder(folder);
}
void TPublishForm::SetDeleteFile(const std::string& name) {
    delStatus_->SetFile(name);
}
void TPublishForm::SetDeleteProgress(int position) {
    delStatus_->SetProgress(position);
}
void TPublishForm::CloseDeleteStatus() {
    delStatus_->hide();
}

void RunPublish(QWidget* parent, TProgramContext& context, TPublishSession session, TGenStat& progress,
                const TSiteWindowHooks& hooks, std::function<void()> editSettings) {
    TftpProtoForm& protocol = session.protocol;
    TSiteResult site = RunSiteGeneration(context, TSiteMode::Publish, progress, hooks);
    if (!site.startPageExists) {
        context.prompts.ShowMessage(Text(publish_texts::kNoAlbum), MessageKind::Information);
        return;
    }
    if (site.cancelled) return;
    TPublishForm form(context, session.typedPassword, protocol, std::move(editSettings), parent);
    // The album list is part of the site: the server gets the one of this run, publish marks included.
    context.albums.SaveAlbumList();
    form.Prepare(BuildUploadPlan(context.albums));
    form.exec();
}

} // namespace vistrel
