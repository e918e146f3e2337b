#pragma once
// `TSettingsForm` ("Einstellungen"): five pages of settings over TProgramSettings. The dialog edits
// the settings in place: every change goes into the model at once, so the rest of the program works
// with it before it is saved. "OK" and "&Übernehmen" save, "Abbrechen" re-reads the settings file,
// and the close box leaves the changes in effect for this run without saving them.
#include "settings/setting_table.h"

#include <QDialog>
#include <QGroupBox>
#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace vistrel {

class TProgramSettings;
class UserPrompts;

// A box of exclusive choices addressed by their 0-based index, the form a choice setting is kept in.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);
    // -1 when no choice is checked.
    int ItemIndex() const;
    // An index outside the choices checks none, as a damaged settings file may hold one.
    void SetItemIndex(int index);
    QRadioButton* Item(int index) const;

signals:
    void itemClicked(int index);

private:
    QButtonGroup* group_;
};

class TSettingsForm : public QDialog {
    Q_OBJECT
public:
    // Opens help with a context number (the main window's help).
    using THelpHandler = std::function<void(int context)>;
    // Asks for a text file to load; an empty result means none was chosen.
    using TFileChooser = std::function<QString(QWidget* parent)>;

    TSettingsForm(TProgramSettings& settings, UserPrompts& prompts, QWidget* parent = nullptr);

    void SetHelpHandler(THelpHandler handler) { help_ = std::move(handler); }
    void SetFileChooser(TFileChooser chooser) { chooser_ = std::move(chooser); }

    static int HelpContext(TSettingsPage page);
    // The file dialog's filter rows for "Laden...".
    static QStringList FileFilterRows();

    QTabWidget* PageControl = nullptr;
    // Info
    QPlainTextEdit* edImpressum = nullptr;
    QPushButton* btnLoadImpressum = nullptr;
    QLineEdit* edSiteTitle = nullptr;
    QLineEdit* edEmail = nullptr;
    // Hauptseite
    QPlainTextEdit* edIndexText1 = nullptr;
    QPushButton* btnLoadIndexText1 = nullptr;
    QPlainTextEdit* edIndexText2 = nullptr;
    QPushButton* btnLoadIndexText2 = nullptr;
    QLineEdit* edFootnote = nullptr;
    // Bildimport
    QCheckBox* cbAutoSize = nullptr;
    QLineEdit* edMaxWidth = nullptr;
    QLineEdit* edMaxHeight = nullptr;
    QCheckBox* cbDontEnlarge = nullptr;
    QCheckBox* cbJPEGNoReCompress = nullptr;
    QCheckBox* cbGamma = nullptr;
    QLineEdit* edGamma = nullptr;
    QLineEdit* edLargeSize = nullptr;
    TRadioGroup* rgQuality = nullptr;
    // Veröffentlichen
    QRadioButton* cpUseFTP = nullptr;
    QLineEdit* edFTPServer = nullptr;
    QLineEdit* edFTPUser = nullptr;
    QLineEdit* edFTPPassword = nullptr;
    QLineEdit* edFTPDirectory = nullptr;
    QLineEdit* edFTPPort = nullptr;
    QCheckBox* cbUsePassiveMode = nullptr;
    QCheckBox* cbCheckServer = nullptr;
    QCheckBox* cbUseTLS = nullptr;
    QCheckBox* cbRequireTLS = nullptr;
    QCheckBox* cbParallelUploads = nullptr;
    TRadioGroup* rgProtocol = nullptr; // FTP or SFTP
    QLineEdit* edSSHKeyFile = nullptr;
    QPushButton* btnSSHKeyFile = nullptr;
    QWidget* lbSSHKeyFile = nullptr;
    // Sonstiges
    QLineEdit* edNoOfThumbs = nullptr;
    TRadioGroup* rgOverwriteFiles = nullptr;
    QCheckBox* cbAllowInvitations = nullptr;
    // Buttons
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnApply = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    // "Abbrechen" and Esc: the settings file's state comes back.
    void reject() override;

private:
    // Whether a change of a control makes "&Übernehmen" available.
    enum class TChange { EnablesApply, Silent };

    QWidget* BuildInfoPage();
    QWidget* BuildMainPage();
    QWidget* BuildImportPage();
    QWidget* BuildPublishPage();
    QWidget* BuildOtherPage();
    QWidget* BuildButtons();

    // Binds every setting of the table to the control named after it.
    void BindSettings();
    void BindSetting(const TSettingDescription& setting, TChange change);
    void BindText(QLineEdit* edit, std::string& value, TChange change);
    void BindLines(QPlainTextEdit* memo, std::vector<std::string>& lines);
    void BindFlag(QAbstractButton* button, bool& value, TChange change);
    void BindChoice(TRadioGroup* group, int& value);
    QPushButton* LoadButton(QPlainTextEdit* memo, const QString& name);
    // SFTP: the key field shows, the FTP-only boxes hide; and the other protocol's usual port.
    void ShowProtocolFields();
    void ProtocolChosen(int protocol);
    void ChooseKeyFile();

    void ShowValues();
    void Changed();
    void FocusFirstField();
    void FixThumbCount();
    void LoadLinesFromFile(QPlainTextEdit* memo);
    bool SaveSettings();
    void btnOkClick();
    void btnApplyClick();

    TProgramSettings& settings_;
    UserPrompts& prompts_;
    THelpHandler help_;
    TFileChooser chooser_;
    // Each binding's way of copying its setting into its control, run whenever the dialog shows.
    std::vector<std::function<void()>> showers_;
    // Set while values are copied into the controls, so that filling them is no change.
    bool filling_ = false;
    bool placed_ = false;
};

} // namespace vistrel
