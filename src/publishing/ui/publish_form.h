#pragma once
// `TPublishForm`, "Fotoalbum veröffentlichen": the modal publish dialog. It fills the job's
// parameters, shows what the job reports and hands the buttons to it; the job does the work.
#include "publishing/publish_job.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace vistrel {

class TGenStat;
class TProgramContext;
class TFTPDelStatus;
class TftpProtoForm;
struct TSiteWindowHooks;

class TPublishForm : public QDialog, public PublishView {
    Q_OBJECT
public:
    // `protocol` outlives the dialog; `editSettings` opens the settings dialog on "Veröffentlichen".
    TPublishForm(TProgramContext& context, std::string& typedPassword, TftpProtoForm& protocol,
                 std::function<void()> editSettings, QWidget* parent = nullptr);
    ~TPublishForm() override;

    TPublishJob& Job() { return *job_; }
    // FormShow: call before exec().
    void Prepare(const TUploadPlan& plan);

    // PublishView
    void Log(const std::string& line) override;
    void ClearLog() override;
    void SetLabel(TPublishLabel label, const std::string& text) override;
    void ShowFolderSize(int files, int64_t bytes) override;
    void ShowFileBytes(int64_t count, int64_t size) override;
    void ShowTotals(int filesDone, int totalFiles, int64_t bytesDone, int64_t totalBytes,
                    bool started) override;
    void SetFileBar(int64_t position, int64_t maximum) override;
    void SetFileBarPosition(int64_t position) override;
    void SetTotalBar(int position, int maximum) override;
    void DeleteAllUnchecked() override;
    void SetIdle(bool idle) override;
    void SetDialogEnabled(bool enabled) override;
    std::optional<std::string> AskPassword() override;
    std::optional<std::string> AskPassphrase(const std::string& keyFile) override;
    bool TrustHostKey(const std::string& hostPort, const std::string& keyType, const std::string& fingerprint,
                      const std::string& previousFingerprint) override;
    bool TrustCertificate(const std::string& hostPort, const std::string& fingerprint,
                          const std::string& reason) override;
    bool AllowUnencrypted(const std::string& hostPort) override;
    void CloseDialog() override;
    void ShowDeleteStatus() override;
    void SetDeleteFolder(const std::string& folder) override;
    void SetDeleteFile(const std::string& name) override;
    void SetDeleteProgress(int position) override;
    void CloseDeleteStatus() override;

    QLabel* lbHost = nullptr;
    QLabel* lbUser = nullptr;
    QLabel* lbDir = nullptr;
    QLabel* lbStatus = nullptr;
    QLabel* lbLocalDir = nullptr;
    QLabel* lbRemoteDir = nullptr;
    QLabel* lbDirFiles = nullptr;
    QLabel* lbDirKbytes = nullptr;
    QLabel* lbFilename = nullptr;
    QLabel* lbFileBytes = nullptr;
    QLabel* lbTotalFiles = nullptr;
    QLabel* lbTotalBytes = nullptr;
    QProgressBar* pbFile = nullptr;
    QProgressBar* pbTotal = nullptr;
    QCheckBox* cbDeleteAll = nullptr;
    QCheckBox* cbTransferAll = nullptr;
    QPushButton* btnSettings = nullptr;
    QPushButton* btnDiag = nullptr;
    QPushButton* btnTransmit = nullptr;
    QPushButton* btnCancel = nullptr;

    void btnTransmitClick();
    void btnCancelClick();
    void btnSettingsClick();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    QWidget* BuildServerGroup();
    QWidget* BuildProgressGroups();
    QLabel* LabelFor(TPublishLabel label) const;
    void FinishIfClosing();

    TProgramContext& context_;
    TftpProtoForm& protocol_;
    std::string& typedPassword_;
    std::function<void()> editSettings_;
    std::unique_ptr<TPublishJob> job_;
    TPublishParams params_;
    char decimalSeparator_ = ','; // of "%0.1F" and "%0.3f" in the labels
    TFTPDelStatus* delStatus_ = nullptr;
    int fileBarScale_ = 1; // pbFile counts in units of this many bytes so that big files fit an int
    bool running_ = false;
    bool closeRequested_ = false;
};

// The action "Alben im Web veröffentlichen..." (F10): generates the site; unless that produced no
// site or was cancelled, fills the upload plan and shows the publish dialog modally.
// The protocol window and the typed password live as long as the main window: the protocol can be
// read and saved after the dialog closed, and a password typed once stays for the program's run.
struct TPublishSession {
    std::string& typedPassword;
    TftpProtoForm& protocol;
};

void RunPublish(QWidget* parent, TProgramContext& context, TPublishSession session, TGenStat& progress,
                const TSiteWindowHooks& hooks, std::function<void()> editSettings);

} // namespace vistrel
