#pragma once
#include <QDialog>

class QLabel;

namespace vistrel {

// Borderless, on top, centred: a picture over the whole area with the version right-aligned. A click
// or Esc closes it. At start-up it is shown without waiting as a splash screen.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent);
    QLabel* lbVersion;

    // The splash screen at start-up: shown without waiting and without taking the keyboard, so keys
    // typed meanwhile reach the main window.
    void ShowAsSplash();
    // "Über...": modal, with the keyboard (Esc closes it).
    int ShowModal();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

// "Version " + the four version numbers joined by "." + " ".
QString VersionText();

} // namespace vistrel
