#pragma once
// `TGenStat`, the progress window of the site builder ("Erzeuge Website..."): modeless, on top,
// without title-bar buttons. Its cancel flag outlives the run so that Publish and the CD-ROM export
// can read it after the builder returned.
#include "site_generator/site_progress.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vistrel {

class TGenStat : public QDialog, public SiteProgress {
    Q_OBJECT
public:
    explicit TGenStat(QWidget* parent = nullptr);

    void Start(int totalFiles) override;
    void BeginStep(const std::string& caption, int steps) override;
    void ShowFile(const std::filesystem::path& file) override;
    void FileDone(int filesDone, TStepAdvance advance) override;
    void ProcessEvents() override;
    bool Cancelled() const override { return cancelled_; }
    void SetCancelled() override { cancelled_ = true; }
    void Close() override { hide(); }
    // The latest page cut short, shown below the bars while the run goes on.
    void Warning(const std::string& text) override;

    QLabel* lbVorgang = nullptr;
    QProgressBar* pbVorgang = nullptr;
    QLabel* lbFileName = nullptr;
    QLabel* lbCount = nullptr;
    QProgressBar* pbTotalfiles = nullptr;
    QPushButton* btnCancel = nullptr;
    QLabel* lbWarning = nullptr;

protected:
    // Escape and the window manager's close must not end a run behind the builder's back; they
    // count as "Abbrechen".
    void reject() override { cancelled_ = true; }

private:
    bool cancelled_ = false;
};

} // namespace vistrel
