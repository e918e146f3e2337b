#pragma once
// `TSelectStyleForm` ("Style auswählen"): the styles on the left, the preview picture of the selected
// one (320 x 240, unscaled from the top left corner) on the right.
#include "site_generator/style_catalogue.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace vistrel {

class TSelectStyleForm : public QDialog {
    Q_OBJECT
public:
    explicit TSelectStyleForm(QWidget* parent = nullptr);

    // Fills the list from the style folder and selects the entry of the chosen style (or the first).
    void Prepare(const std::filesystem::path& styleFolder, const std::filesystem::path& chosenStyle);
    const TStyleCatalogue& Catalogue() const { return *catalogue_; }

    QListWidget* lbStyle = nullptr;
    QLabel* StylePreview = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void ShowPreview();
    void btnOkClick();

    std::unique_ptr<TStyleCatalogue> catalogue_;
};

} // namespace vistrel
