#pragma once
// "Gamma Korrektur": a track bar from 0,1 to 7,0 with a live preview. The preview is always made from
// the editor's picture, so moving the bar back and forth never accumulates.
#include "image_processing/dib_graphic.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace vistrel {

class TImageScrollBox;

class TGammaForm : public QDialog {
    Q_OBJECT
public:
    explicit TGammaForm(QWidget* parent);

    // Step 1 of the dialog: the editor's picture, copied into the preview and kept as its source.
    void SetSourcePicture(const TDibGraphic* editorPicture);
    const TDibGraphic& Preview() const { return preview_; }
    double GammaValue() const;

    TImageScrollBox* Image;
    QLabel* lbMin;
    QSlider* TrackBar1;
    QLabel* lbMax;
    QLineEdit* Edit1;
    QPushButton* btnOk;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TrackBar1Change(int position);
    void Edit1KeyUp();
    QString FormattedValue() const;

    const TDibGraphic* source_ = nullptr;
    bool typing_ = false;
    TDibGraphic preview_;
};

} // namespace vistrel
