#pragma once
// `TInviteForm`, "Einladungen per E-Mail verschicken": the text, the album address and the service
// host on one tab, the recipients on the other. The checks and the sending are the logic's
// (invitation.h, invitation_job.h); the dialog fills them in and shows what comes back.
#include "invitations/invitation_job.h"

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace vistrel {

class TInviteStatusForm;
class TProgramContext;

class TInviteForm : public QDialog {
    Q_OBJECT
public:
    explicit TInviteForm(TProgramContext& context, QWidget* parent = nullptr);
    ~TInviteForm() override;

    // FormShow for one picture: restores the stored fields; call before exec().
    void Prepare(const std::string& albumFolderName, const std::string& pictureName);
    // F1 asks for the help page of this context.
    void SetHelpHandler(std::function<void(int)> help) { help_ = std::move(help); }
    static constexpr int kHelpContext = 1200;

    QTabWidget* PageControl = nullptr;
    QLabel* lbExplanation = nullptr;
    QLineEdit* edSender = nullptr;
    QPlainTextEdit* edText = nullptr;
    QLineEdit* edUrl = nullptr;
    QLineEdit* edServiceHost = nullptr;
    QListWidget* lbAddresses = nullptr;
    QLineEdit* edEMail = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnSend = nullptr;
    QPushButton* btnTest = nullptr;
    QPushButton* btnClose = nullptr;

    TInviteStatusForm& StatusForm() { return *status_; }
    THttpClient& Client() { return client_; }

    void btnAddClick();
    void btnDeleteClick();
    void btnSendClick();
    void btnTestClick();
    void btnCloseClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* BuildInvitationPage();
    QWidget* BuildRecipientsPage();
    void edTextChange();
    void SetTextLines(const std::vector<std::string>& lines);
    std::vector<std::string> TextLines() const;
    std::vector<std::string> Addresses() const;
    TInvitationParams Params() const;
    void AddSlashToUrl();
    void Show(const std::string& message);

    TProgramContext& context_;
    THttpClient client_;
    TInvitationJob job_{client_};
    std::unique_ptr<TInviteStatusForm> status_;
    std::function<void(int)> help_;
    std::string albumPath_;
    std::string pictureName_;
    bool restoring_ = false;
};

} // namespace vistrel
