// The settings dialog's pages: controls, captions and their order. What the controls do lives in
// settings_form.cpp; here each control is only created and named after its setting, which binds it.
#include "common/ui/button_row.h"
#include "settings/program_settings.h"
#include "settings/ui/settings_form.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vistrel {
namespace {

// The password field shows "*" for every character, whatever bullet the desktop style prefers, and
// without showing the last typed character for a moment.
class TStarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

template <class T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit* LineEdit(const char* name) {
    return Named(new QLineEdit, name);
}

// A small field for a number of a few digits.
QLineEdit* SmallEdit(const char* name, int width) {
    QLineEdit* edit = LineEdit(name);
    edit->setFixedWidth(width);
    return edit;
}

QPlainTextEdit* Memo(const char* name) {
    auto* memo = Named(new QPlainTextEdit, name);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setTabChangesFocus(true);
    return memo;
}

QLabel* Caption(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// A group box holding one widget, or one widget and the "Laden..." button beside it.
QGroupBox* Group(const QString& caption, QWidget* field, QPushButton* load = nullptr) {
    auto* group = new QGroupBox(caption);
    auto* layout = new QHBoxLayout(group);
    layout->addWidget(field, 1);
    if (load) layout->addWidget(load, 0, Qt::AlignTop);
    return group;
}

} // namespace

QWidget* TSettingsForm::BuildInfoPage() {
    edImpressum = Memo("edImpressum");
    btnLoadImpressum = LoadButton(edImpressum, QStringLiteral("btnLoadImpressum"));
    edSiteTitle = LineEdit("edSiteTitle");
    edEmail = LineEdit("edEmail");

    auto* page = Named(new QWidget, "tsInfo");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Group(QStringLiteral("Text für das Impressum"), edImpressum, btnLoadImpressum), 1);
    layout->addWidget(
        Group(QStringLiteral("Titel der Galerie (erscheint in der Titelzeile des Browsers)"), edSiteTitle));
    layout->addWidget(Group(QStringLiteral("Ihre E-Mail Adresse"), edEmail));
    return page;
}

QWidget* TSettingsForm::BuildMainPage() {
    edIndexText1 = Memo("edIndexText1");
    btnLoadIndexText1 = LoadButton(edIndexText1, QStringLiteral("btnLoadIndexText1"));
    edIndexText2 = Memo("edIndexText2");
    btnLoadIndexText2 = LoadButton(edIndexText2, QStringLiteral("btnLoadIndexText2"));
    edFootnote = LineEdit("edFootnote");

    auto* page = Named(new QWidget, "tsMainPage");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(
        Group(QStringLiteral("Erster Text für die Hauptseite"), edIndexText1, btnLoadIndexText1), 1);
    layout->addWidget(
        Group(QStringLiteral("Zweiter Text für die Haupseite"), edIndexText2, btnLoadIndexText2), 1);
    layout->addWidget(Group(QStringLiteral("Fußzeile"), edFootnote));
    return page;
}

QWidget* TSettingsForm::BuildImportPage() {
    cbAutoSize = Named(new QCheckBox(QStringLiteral("&Bildgröße automatisch an&passen")), "cbAutoSize");
    edMaxWidth = SmallEdit("edMaxWidth", 60);
    edMaxHeight = SmallEdit("edMaxHeight", 60);
    cbDontEnlarge = Named(new QCheckBox(QStringLiteral("Bilder nicht &vergrößern")), "cbDontEnlarge");
    cbJPEGNoReCompress =
        Named(new QCheckBox(QStringLiteral(
                  "JPEG-Bilder nicht erneut komprimieren, wenn sie bereits die richtige Größe haben")),
              "cbJPEGNoReCompress");
    cbGamma = Named(new QCheckBox(QStringLiteral("Beim Import einen Gamma Filter mit Faktor")), "cbGamma");
    edGamma = SmallEdit("edGamma", 40);
    edLargeSize = SmallEdit("edLargeSize", 60);
    rgQuality =
        Named(new TRadioGroup(QStringLiteral("JPEG Qualität"),
                              {QStringLiteral("Sehr hohe Qualität, hoher Speicherplatzbedarf"),
                               QStringLiteral("Mittlere Qualität, mittlerer Speicherplatzbedarf (empfohlen)"),
                               QStringLiteral("Geringe Qualität, geringer Speicherplatzbedarf")}),
              "rgQuality");
    // The gamma field makes "Übernehmen" available when it is clicked (see eventFilter).
    edGamma->installEventFilter(this);

    auto* size = new QGroupBox(QStringLiteral("Bildgröße bei Übernahme von Bildern in ein Album"));
    auto* sizeLayout = new QGridLayout(size);
    sizeLayout->addWidget(cbAutoSize, 0, 0, 1, 3);
    sizeLayout->addWidget(Caption(QStringLiteral("&max. Breite:"), edMaxWidth), 1, 0);
    sizeLayout->addWidget(edMaxWidth, 1, 1);
    sizeLayout->addWidget(Caption(QStringLiteral("max. &Höhe:"), edMaxHeight), 2, 0);
    sizeLayout->addWidget(edMaxHeight, 2, 1);
    sizeLayout->addWidget(cbDontEnlarge, 3, 0, 1, 3);
    sizeLayout->addWidget(
        Caption(QStringLiteral("Große Fassung für hochauflösende Bildschirme (längere Seite in Pixel):"),
                edLargeSize),
        4, 0);
    sizeLayout->addWidget(edLargeSize, 4, 1);
    sizeLayout->setColumnStretch(2, 1);

    auto* options = new QGroupBox(QStringLiteral("Optionen"));
    auto* optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(cbJPEGNoReCompress);
    auto* gammaRow = new QHBoxLayout;
    gammaRow->addWidget(cbGamma);
    gammaRow->addWidget(edGamma);
    gammaRow->addWidget(new QLabel(QStringLiteral("(0,1 .. 7,0) einsetzen")));
    gammaRow->addStretch(1);
    optionsLayout->addLayout(gammaRow);
    optionsLayout->addWidget(rgQuality);

    auto* page = Named(new QWidget, "tsImageImport");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(size);
    layout->addWidget(options);
    layout->addStretch(1);
    return page;
}

QWidget* TSettingsForm::BuildPublishPage() {
    cpUseFTP =
        Named(new QRadioButton(QStringLiteral("Veröffentlichung auf folgendem FTP-Server:")), "cpUseFTP");
    edFTPServer = LineEdit("edFTPServer");
    edFTPUser = LineEdit("edFTPUser");
    edFTPPassword = LineEdit("edFTPPassword");
    auto* stars = new TStarPasswordStyle;
    stars->setParent(edFTPPassword);
    edFTPPassword->setStyle(stars);
    edFTPPassword->setEchoMode(QLineEdit::Password);
    edFTPDirectory = LineEdit("edFTPDirectory");
    edFTPPort = SmallEdit("edFTPPort", 60);
    cbUsePassiveMode = Named(new QCheckBox(QStringLiteral("&Passive Mode verwenden")), "cbUsePassiveMode");
    cbCheckServer =
        Named(new QCheckBox(QStringLiteral("Server Verzeichnis nach dem Upload automatisch überprüfen")),
              "cbCheckServer");
    cbUseTLS = Named(new QCheckBox(QStringLiteral("Verbindung verschlüsseln (FTPS)")), "cbUseTLS");
    cbRequireTLS = Named(new QCheckBox(QStringLiteral("Nur verschlüsselt übertragen")), "cbRequireTLS");
    cbParallelUploads = Named(new QCheckBox(QStringLiteral("Bis zu vier Dateien &gleichzeitig übertragen")),
                              "cbParallelUploads");
    rgProtocol = Named(
        new TRadioGroup(QStringLiteral("Protokoll"),
                        {QStringLiteral("FTP (auch verschlüsselt als FTPS)"), QStringLiteral("SFTP (SSH)")}),
        "rgProtocol");
    edSSHKeyFile = LineEdit("edSSHKeyFile");
    edSSHKeyFile->setPlaceholderText(QStringLiteral("leer: ssh-agent und die Schlüssel in ~/.ssh"));
    btnSSHKeyFile = Named(new QPushButton(QStringLiteral("...")), "btnSSHKeyFile");
    showers_.push_back([this] { ShowProtocolFields(); });
    connect(rgProtocol, &TRadioGroup::itemClicked, this, &TSettingsForm::ProtocolChosen);
    connect(btnSSHKeyFile, &QPushButton::clicked, this, &TSettingsForm::ChooseKeyFile);
    // "Nur verschlüsselt" means something only while encryption is on.
    connect(cbUseTLS, &QCheckBox::toggled, cbRequireTLS, &QWidget::setEnabled);

    auto* server = new QGroupBox(QStringLiteral("FTP-Server"));
    auto* serverLayout = new QFormLayout(server);
    serverLayout->addRow(Caption(QStringLiteral("FTP &Server (URL oder IP-Adresse):"), edFTPServer),
                         edFTPServer);
    serverLayout->addRow(Caption(QStringLiteral("Benutzer&name:"), edFTPUser), edFTPUser);
    serverLayout->addRow(Caption(QStringLiteral("Kenn&wort:"), edFTPPassword), edFTPPassword);
    serverLayout->addRow(Caption(QStringLiteral("Verzeichnis auf dem Server:"), edFTPDirectory),
                         edFTPDirectory);
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(edSSHKeyFile, 1);
    keyRow->addWidget(btnSSHKeyFile);
    lbSSHKeyFile = Caption(QStringLiteral("Schlüssel&datei (SSH):"), edSSHKeyFile);
    serverLayout->addRow(lbSSHKeyFile, keyRow);

    auto* options = new QGroupBox(QStringLiteral("FTP Optionen"));
    auto* optionsLayout = new QVBoxLayout(options);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(Caption(QStringLiteral("&FTP Port:"), edFTPPort));
    portRow->addWidget(edFTPPort);
    portRow->addStretch(1);
    optionsLayout->addLayout(portRow);
    optionsLayout->addWidget(cbUsePassiveMode);
    optionsLayout->addWidget(cbCheckServer);
    optionsLayout->addWidget(cbUseTLS);
    optionsLayout->addWidget(cbRequireTLS);
    optionsLayout->addWidget(cbParallelUploads);

    auto* page = Named(new QWidget, "tsPublish");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(cpUseFTP);
    layout->addWidget(rgProtocol);
    layout->addWidget(server);
    layout->addWidget(options);
    layout->addStretch(1);
    return page;
}

void TSettingsForm::ShowProtocolFields() {
    const bool sftp = settings_.rgProtocol == 1;
    for (QWidget* ftpOnly : std::initializer_list<QWidget*>{cbUsePassiveMode, cbUseTLS, cbRequireTLS})
        ftpOnly->setVisible(!sftp);
    for (QWidget* sftpOnly : std::initializer_list<QWidget*>{lbSSHKeyFile, edSSHKeyFile, btnSSHKeyFile})
        sftpOnly->setVisible(sftp);
}

// The usual port of the chosen protocol replaces the other one's, never a port the user chose.
void TSettingsForm::ProtocolChosen(int protocol) {
    // This runs before the setting's own binding sees the click; the fields follow the new choice.
    settings_.rgProtocol = protocol;
    const QString port = edFTPPort->text().trimmed();
    if (protocol == 1 && port == QStringLiteral("21")) edFTPPort->setText(QStringLiteral("22"));
    if (protocol == 0 && port == QStringLiteral("22")) edFTPPort->setText(QStringLiteral("21"));
    ShowProtocolFields();
}

void TSettingsForm::ChooseKeyFile() {
    QString start = edSSHKeyFile->text();
    if (start.isEmpty()) start = QDir::homePath() + QStringLiteral("/.ssh");
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Schlüsseldatei wählen"), start);
    if (!file.isEmpty()) edSSHKeyFile->setText(file);
}

QWidget* TSettingsForm::BuildOtherPage() {
    edNoOfThumbs = SmallEdit("edNoOfThumbs", 40);
    // The count is checked as the focus leaves the field (see eventFilter).
    edNoOfThumbs->installEventFilter(this);
    rgOverwriteFiles = Named(
        new TRadioGroup(QStringLiteral("Import"),
                        {QStringLiteral("Beim Import vorhandene Dateien ohne Rückfrage überschreiben"),
                         QStringLiteral("Neuen Namen erzeugen, wenn Datei gleichen Namens vorhanden ist")}),
        "rgOverwriteFiles");
    cbAllowInvitations =
        Named(new QCheckBox(QStringLiteral("Versenden von eCards ermöglichen")), "cbAllowInvitations");

    auto* thumbs = new QGroupBox(QStringLiteral("Vorschauseiten"));
    auto* thumbsLayout = new QHBoxLayout(thumbs);
    thumbsLayout->addWidget(
        Caption(QStringLiteral("Zahl der Miniaturbilder pro Vorschauseite:"), edNoOfThumbs));
    thumbsLayout->addWidget(edNoOfThumbs);
    thumbsLayout->addStretch(1);

    auto* page = Named(new QWidget, "tsOther");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(thumbs);
    layout->addWidget(rgOverwriteFiles);
    layout->addWidget(Group(QStringLiteral("Einladungen"), cbAllowInvitations));
    layout->addStretch(1);
    return page;
}

QWidget* TSettingsForm::BuildButtons() {
    btnOk = Named(new QPushButton(QStringLiteral("OK")), "btnOk");
    btnCancel = Named(new QPushButton(QStringLiteral("Abbrechen")), "btnCancel");
    btnApply = Named(new QPushButton(QStringLiteral("&Übernehmen")), "btnApply");
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &TSettingsForm::reject);
    connect(btnApply, &QPushButton::clicked, this, [this] { btnApplyClick(); });

    auto* row = new QWidget;
    QHBoxLayout* layout = ButtonRow({btnOk, btnCancel, btnApply});
    layout->setContentsMargins(0, 0, 0, 0);
    row->setLayout(layout);
    return row;
}

} // namespace vistrel
