#pragma once
// "Scannen": the window of the open device, in the place of the window a TWAIN source brings along.
// It is built from the device's own option descriptors: the source (flatbed or document feeder),
// the mode, the resolution and the scan area, each with the values the device allows, plus a
// "Vorschau" of the whole area. "Scannen" scans (from a feeder every page) and closes the window;
// "Abbrechen" stops a running scan, or closes the window without a picture.
#include "scanner/scan_job.h"

#include <QDialog>
#include <QImage>
#include <QString>

#include <map>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace vistrel {

class TScanPreview;

class TScanForm : public QDialog, public ScanJobControl {
    Q_OBJECT
public:
    explicit TScanForm(QWidget* parent);

    // ScanJobControl: shows the window on the open device until it is closed.
    void ShowSourceDialog(TScanSession& session) override;
    void ScanProgress(int page, int percent) override;
    bool Cancelled() const override { return cancelled_; }

    // Shown during ShowSourceDialog; exposed for tests and screenshots.
    QLabel* lbDevice;
    QComboBox* cbSource;
    QComboBox* cbMode;
    QComboBox* cbResolution;
    QDoubleSpinBox* edLeft;
    QDoubleSpinBox* edTop;
    QDoubleSpinBox* edRight;
    QDoubleSpinBox* edBottom;
    TScanPreview* preview;
    QProgressBar* pbScan;
    QLabel* lbPage;
    QPushButton* btnPreview;
    QPushButton* btnScan;
    QPushButton* btnCancel;

    // Called while the window is shown: runs as if the button had been pressed.
    void btnPreviewClick();
    void btnScanClick();
    void btnCancelClick();

protected:
    void reject() override;

private:
    void ReadFromSession();
    void FillChoice(QComboBox* box, const char* option);
    void FillArea(QDoubleSpinBox* box, const char* option);
    void ChoiceChanged(QComboBox* box, const char* option);
    void AreaChanged(QDoubleSpinBox* box, const char* option);
    void AreaDragged(const QRectF& area);
    QRectF WholeArea() const;
    QRectF ChosenArea() const;
    void SetBusy(bool busy);
    // After a failed scan or preview the window closes; Acquire then raises the failure.
    void Finish(TScanStep step);

    TScanSession* session_ = nullptr;
    bool busy_ = false;
    bool cancelled_ = false;
    bool refreshing_ = false;
    bool busyCursor_ = false;
};

// The driver's words for modes and sources, in German where they are the usual ones.
QString ScanValueText(const std::string& value);

} // namespace vistrel
