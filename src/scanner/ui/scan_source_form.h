#pragma once
// The device choice of "TWAIN Schnittstelle festlegen...": the devices SANE reports with vendor,
// model and name; the chosen one becomes the current device.
#include "scanner/scanner.h"

#include <QDialog>

class QPushButton;
class QTreeWidget;

namespace vistrel {

class TScanSourceForm : public QDialog, public DeviceChooser {
    Q_OBJECT
public:
    explicit TScanSourceForm(QWidget* parent);

    std::optional<size_t> Choose(const std::vector<TScanDevice>& devices, int current) override;
    // Fills the list without showing the window (tests, screenshots).
    void Fill(const std::vector<TScanDevice>& devices, int current);
    std::optional<size_t> Chosen() const;

    QTreeWidget* lbSources;
    QPushButton* btnSelect;
    QPushButton* btnCancel;
};

} // namespace vistrel
