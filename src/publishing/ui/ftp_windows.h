#pragma once
// The publish dialog's small windows: the FTP protocol (`TftpProtoForm`), the progress of the
// deletion of everything (`TFTPDelStatus`) and the password prompt (`TPasswdDialog`).
#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace vistrel {

// "FTP Protokoll": lives for the whole run of the program; the dialog's "&Diagnose" shows it.
class TftpProtoForm : public QDialog {
    Q_OBJECT
public:
    explicit TftpProtoForm(QWidget* parent = nullptr);
    // Adds a Windows-1252 line and scrolls so that the last line is visible.
    void AddLine(const std::string& line);
    void Clear();
    // Writes the lines as Windows-1252 text with CR LF; false when that failed.
    bool SaveTo(const QString& fileName) const;

    QListWidget* Memo = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnClear = nullptr;
    QPushButton* btnOk = nullptr;

private:
    void btnSaveClick();
};

// "FTP Dateien löschen": on top, without border icons; its "Abbrechen" stops the run.
class TFTPDelStatus : public QDialog {
    Q_OBJECT
public:
    explicit TFTPDelStatus(QWidget* parent = nullptr);
    void SetFolder(const std::string& folder);
    void SetFile(const std::string& name);
    void SetProgress(int position);

    std::function<void()> OnCancel;
    QLabel* lbDir = nullptr;
    QLabel* lbFile = nullptr;
    QProgressBar* pb = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void reject() override;
};

// "Passwort eingeben".
class TPasswdDialog : public QDialog {
    Q_OBJECT
public:
    // `label` replaces "Passwort für den FTP-Server:" (the passphrase of a key file).
    explicit TPasswdDialog(QWidget* parent = nullptr, const QString& label = {});
    QLineEdit* edPassword = nullptr;
};

} // namespace vistrel
