#pragma once
// `TGenCDROMForm` ("Dateien für CD-ROM zusammenstellen"): asks for the folder, shows what will be
// copied, copies with a bar and stores the folder as "CDROMPATH" after a successful copy.
#include "site_generator/cdrom_export.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace vistrel {

class TProgramSettings;
class UserPrompts;

class TGenCDROMForm : public QDialog, public CdromProgress {
    Q_OBJECT
public:
    TGenCDROMForm(TProgramSettings& settings, UserPrompts& prompts, QWidget* parent = nullptr);

    // "On show": the stored folder, the summary of `folders`, the controls enabled.
    void Prepare(const TCdromFolderList& folders);

    void ShowFile(const std::filesystem::path& target) override;
    void FileCopied(int done, int total) override;
    void ProcessEvents() override;
    bool Cancelled() const override { return cancelled_; }

    QLineEdit* edCDROMPath = nullptr;
    QPushButton* btnSeldir = nullptr;
    QLabel* lbSummary = nullptr;
    QLabel* lbCounter = nullptr;
    QLabel* lbFile = nullptr;
    QProgressBar* pbCopy = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void reject() override;

private:
    void btnOkClick();
    void btnSeldirClick();
    void EnableInput(bool enabled);

    TProgramSettings& settings_;
    UserPrompts& prompts_;
    TCdromFolderList folders_;
    bool cancelled_ = false;
};

} // namespace vistrel
