#pragma once
// The import's progress window "Bilder werden importiert": the file in work and its step with a bar,
// the count of files with a bar, and "Abbrechen", which asks the import to stop after the picture in
// work. It is the import's ImportProgress, so the logic drives it without knowing it is a window.
#include "album_library/picture_import.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vistrel {

class TStatusForm : public QDialog, public ImportProgress {
    Q_OBJECT
public:
    explicit TStatusForm(QWidget* parent);

    void Start(int files) override;
    void ShowCount(int barPosition, const std::string& countText) override;
    void ShowPicture(const std::filesystem::path& picture) override;
    void ShowStep(const std::string& step) override;
    void StepProgress(int percent) override;
    void ProcessEvents() override;
    bool Cancelled() const override { return FStopped; }
    void Close() override { hide(); }

    QLabel* lbBildname;
    QLabel* lbVorgang;
    QProgressBar* pbVorgang;
    QLabel* lbCount;
    QProgressBar* pbCount;
    QPushButton* btnCancel;

protected:
    // Esc stops the import like "Abbrechen" instead of closing the window under it.
    void reject() override { FStopped = true; }

private:
    bool FStopped = false;
    QString fullName_;
};

} // namespace vistrel
