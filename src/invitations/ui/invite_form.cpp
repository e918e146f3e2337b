#include "invitations/ui/invite_form.h"

#include "common/cp1252.h"
#include "invitations/invitation.h"
#include "invitations/invite_texts.h"
#include "invitations/ui/invite_status_form.h"
#include "program/program_context.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>

namespace vistrel {
namespace {

// The explanation of the first tab; the two blanks before "Knopf" are the dialog's own.
const char* const kExplanation =
    "Sie können nach der Veröffentlichung Ihrer Fotoalben Ihre Freunde und Bekannte mit einer "
    "eCard "
    "einladen, Ihr Fotoalbum zu besuchen. Die Einladungen werden per E-Mail verschickt. Ihr Fotoalbum und "
    "das "
    "für die Einladung ausgewählte Bild müssen dazu bereits im Internet veröffentlicht "
    "sein.\n\nZu Testzwecken senden Sie mit dem 'Testeinladung...'  Knopf eine Einladung an die allgemeine "
    "E-Mail Adresse, die Sie in den Einstellungen des Vantro Vistrel angegeben haben. In Ihrer Einladung "
    "erscheint der unten eingetragene Link.";

QString Display(const std::string& ansi) {
    return AnsiToDisplay(ansi);
}
std::string Ansi(const QString& text) {
    return QStringToAnsi(text);
}

// The job's progress for a test invitation, which has no status window: events keep flowing.
class TQuietProgress : public InviteProgress {
public:
    explicit TQuietProgress(UserPrompts& prompts) : prompts_(prompts) {}
    void ProcessEvents() override { QApplication::processEvents(); }
    void ShowClientError(const std::string& text) override { prompts_.ShowMessage(text, MessageKind::Error); }

private:
    UserPrompts& prompts_;
};

} // namespace

TInviteForm::TInviteForm(TProgramContext& context, QWidget* parent)
    : QDialog(parent), context_(context), status_(std::make_unique<TInviteStatusForm>(context.prompts)) {
    setWindowTitle(QStringLiteral("Einladungen per E-Mail verschicken"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    PageControl = new QTabWidget;
    PageControl->addTab(BuildInvitationPage(), QStringLiteral("Einladung"));
    PageControl->addTab(BuildRecipientsPage(), QStringLiteral("Empfänger"));
    layout->addWidget(PageControl);
    btnSend = new QPushButton(QStringLiteral("Einladungen verschicken..."));
    btnTest = new QPushButton(QStringLiteral("Testeinladung..."));
    btnClose = new QPushButton(QStringLiteral("Schließen"));
    btnSend->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSend);
    buttons->addWidget(btnTest);
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);
    connect(btnSend, &QPushButton::clicked, this, [this] { btnSendClick(); });
    connect(btnTest, &QPushButton::clicked, this, [this] { btnTestClick(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
    connect(btnAdd, &QPushButton::clicked, this, [this] { btnAddClick(); });
    connect(btnDelete, &QPushButton::clicked, this, [this] { btnDeleteClick(); });
    connect(edText, &QPlainTextEdit::textChanged, this, [this] { edTextChange(); });
    resize(580, 600);
}

TInviteForm::~TInviteForm() = default;

QWidget* TInviteForm::BuildInvitationPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    lbExplanation = new QLabel(QString::fromUtf8(kExplanation));
    lbExplanation->setWordWrap(true);
    layout->addWidget(lbExplanation);

    auto* textGroup = new QGroupBox(QStringLiteral("Einladungstext"));
    auto* textLayout = new QVBoxLayout(textGroup);
    edSender = new QLineEdit;
    edText = new QPlainTextEdit;
    edText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edText->setTabChangesFocus(true);
    auto* senderLabel = new QLabel(QStringLiteral("Ihr Name in der Einladung:"));
    senderLabel->setBuddy(edSender);
    textLayout->addWidget(senderLabel);
    textLayout->addWidget(edSender);
    textLayout->addWidget(edText);
    layout->addWidget(textGroup, 1);

    auto* urlGroup = new QGroupBox(QStringLiteral("URL"));
    auto* urlLayout = new QVBoxLayout(urlGroup);
    edUrl = new QLineEdit;
    auto* urlLabel = new QLabel(
        QStringLiteral("Adresse Ihres Fotoalbums im Internet (der Link in der Einladung, http://...):"));
    urlLabel->setBuddy(edUrl);
    urlLayout->addWidget(urlLabel);
    urlLayout->addWidget(edUrl);
    edServiceHost = new QLineEdit;
    // Empty means the host of the album address, where the help puts the service script.
    edServiceHost->setPlaceholderText(QStringLiteral("wie die Adresse des Fotoalbums"));
    auto* hostLabel = new QLabel(QStringLiteral("Adresse des eCard-Dienstes:"));
    hostLabel->setBuddy(edServiceHost);
    urlLayout->addWidget(hostLabel);
    urlLayout->addWidget(edServiceHost);
    layout->addWidget(urlGroup);
    return page;
}

QWidget* TInviteForm::BuildRecipientsPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(QStringLiteral("Liste der Empfänger"));
    auto* grid = new QVBoxLayout(group);
    lbAddresses = new QListWidget;
    lbAddresses->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* listLabel = new QLabel(QStringLiteral("E-Mail Adressen:"));
    listLabel->setBuddy(lbAddresses);
    grid->addWidget(listLabel);
    grid->addWidget(lbAddresses, 1);
    edEMail = new QLineEdit;
    auto* mailLabel = new QLabel(QStringLiteral("E-Mail:"));
    mailLabel->setBuddy(edEMail);
    btnAdd = new QPushButton(QStringLiteral("Hinzufügen"));
    btnDelete = new QPushButton(QStringLiteral("Markierte Löschen"));
    auto* row = new QHBoxLayout;
    row->addWidget(mailLabel);
    row->addWidget(edEMail, 1);
    row->addWidget(btnAdd);
    grid->addLayout(row);
    auto* deleteRow = new QHBoxLayout;
    deleteRow->addStretch();
    deleteRow->addWidget(btnDelete);
    grid->addLayout(deleteRow);
    layout->addWidget(group);
    return page;
}

void TInviteForm::Prepare(const std::string& albumFolderName, const std::string& pictureName) {
    albumPath_ = WebSafeName(albumFolderName);
    pictureName_ = pictureName;
    TInviteFormFields fields = context_.settings.LoadInviteFields();
    edSender->setText(Display(fields.edSender));
    SetTextLines(CutText(fields.edText));
    edUrl->setText(Display(fields.edUrl));
    edServiceHost->setText(Display(fields.ServiceHost));
    lbAddresses->clear();
    for (const std::string& address : fields.lbAddresses)
        lbAddresses->addItem(Display(address));
    if (IsBlankSetting(Ansi(edUrl->text())))
        edUrl->setText(
            Display(SuggestedAlbumUrl(context_.settings.edFTPServer, context_.settings.edFTPDirectory)));
    edEMail->clear();
    PageControl->setCurrentIndex(0);
}

void TInviteForm::SetTextLines(const std::vector<std::string>& lines) {
    QStringList text;
    for (const std::string& line : lines)
        text << Display(line);
    restoring_ = true;
    edText->setPlainText(text.join(QLatin1Char('\n')));
    restoring_ = false;
}

std::vector<std::string> TInviteForm::TextLines() const {
    std::vector<std::string> lines;
    QString text = edText->toPlainText();
    if (text.isEmpty()) return lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        lines.push_back(Ansi(line));
    return lines;
}

std::vector<std::string> TInviteForm::Addresses() const {
    std::vector<std::string> addresses;
    for (int i = 0; i < lbAddresses->count(); ++i)
        addresses.push_back(Ansi(lbAddresses->item(i)->text()));
    return addresses;
}

void TInviteForm::Show(const std::string& message) {
    if (!message.empty()) context_.prompts.ShowMessage(message, MessageKind::Information);
}

void TInviteForm::btnAddClick() {
    std::string address = Ansi(edEMail->text());
    if (address.empty()) return;
    std::vector<std::string> list = Addresses();
    TAddRecipient result = AddRecipient(list, address);
    if (result == TAddRecipient::Added) {
        lbAddresses->addItem(edEMail->text());
        edEMail->clear();
        return;
    }
    Show(AddRecipientMessage(result, address));
    if (result == TAddRecipient::Invalid) edEMail->setFocus();
}

void TInviteForm::btnDeleteClick() {
    for (QListWidgetItem* item : lbAddresses->selectedItems())
        delete item;
}

void TInviteForm::edTextChange() {
    if (restoring_) return;
    std::vector<std::string> lines = TextLines();
    if (TextLength(lines) <= kMaxTextLength) return;
    SetTextLines(CutText(lines));
    edText->moveCursor(QTextCursor::End);
    Show(Text(invite_texts::kTextTooLong));
    edText->setFocus();
}

TInvitationParams TInviteForm::Params() const {
    TInvitationParams params;
    params.sender = Ansi(edSender->text());
    params.text = TextLines();
    params.albumUrl = Ansi(edUrl->text());
    params.serviceHost = EffectiveServiceHost(Ansi(edServiceHost->text()), params.albumUrl);
    params.albumPath = albumPath_;
    params.pictureName = pictureName_;
    params.galleryEmail = context_.settings.edEmail;
    params.recipients = Addresses();
    return params;
}

void TInviteForm::AddSlashToUrl() {
    edUrl->setText(Display(AlbumUrlWithSlash(Ansi(edUrl->text()))));
}

void TInviteForm::btnSendClick() {
    TInvitationParams params = Params();
    TInviteResult check = CheckInvitation(params);
    if (!check.Ok()) return Show(InviteMessage(check, params));
    setEnabled(false);
    AddSlashToUrl();
    TInviteResult result = job_.Run(params, *status_);
    status_->hide();
    Show(InviteMessage(result, params));
    setEnabled(true);
    raise();
    activateWindow();
}

void TInviteForm::btnTestClick() {
    TInvitationParams params = Params();
    params.testInvitation = true;
    TInviteResult check = CheckInvitation(params);
    if (!check.Ok()) return Show(InviteMessage(check, params));
    AddSlashToUrl();
    TQuietProgress progress(context_.prompts);
    Show(InviteMessage(job_.Run(params, progress), params));
}

// Only "Schließen" stores the fields; the title bar's close button leaves the stored ones alone.
void TInviteForm::btnCloseClick() {
    TInviteFormFields fields;
    fields.edSender = Ansi(edSender->text());
    fields.edText = TextLines();
    fields.edUrl = Ansi(edUrl->text());
    fields.lbAddresses = Addresses();
    fields.ServiceHost = Ansi(edServiceHost->text());
    context_.settings.SaveInviteFields(fields);
    accept();
}

// Escape presses the cancel button "Schließen"; F1 opens the help page.
void TInviteForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (isEnabled()) btnCloseClick();
        return;
    }
    if (event->key() == Qt::Key_F1) {
        if (help_) help_(kHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace vistrel
