#include "site_generator/ui/select_style_form.h"

#include "common/cp1252.h"
#include "common/ui/button_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace vistrel {

TSelectStyleForm::TSelectStyleForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Style auswählen"));
    lbStyle = new QListWidget;
    lbStyle->setMinimumWidth(180);
    StylePreview = new QLabel;
    StylePreview->setFixedSize(320, 240);
    StylePreview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    btnOk = new QPushButton(QStringLiteral("Ok"));
    btnCancel = new QPushButton(QStringLiteral("Abbrechen"));
    auto* top = new QHBoxLayout;
    top->addWidget(lbStyle);
    top->addWidget(StylePreview);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(ButtonRow({btnOk, btnCancel}));
    connect(lbStyle, &QListWidget::currentRowChanged, this, [this] { ShowPreview(); });
    connect(lbStyle, &QListWidget::itemDoubleClicked, this, [this] { btnOkClick(); });
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TSelectStyleForm::Prepare(const std::filesystem::path& styleFolder,
                               const std::filesystem::path& chosenStyle) {
    catalogue_ = std::make_unique<TStyleCatalogue>(styleFolder, chosenStyle);
    lbStyle->clear();
    for (const std::string& name : catalogue_->Names())
        lbStyle->addItem(AnsiToDisplay(name));
    lbStyle->setCurrentRow(catalogue_->InitialIndex());
    ShowPreview();
}

// The picture is drawn unscaled; a larger one is cut to the 320 x 240 area by the label's size.
void TSelectStyleForm::ShowPreview() {
    std::filesystem::path file =
        catalogue_ ? catalogue_->PreviewFile(lbStyle->currentRow()) : std::filesystem::path();
    QPixmap picture;
    if (!file.empty()) picture.load(QString::fromStdString(file.string()));
    if (picture.isNull())
        StylePreview->clear();
    else
        StylePreview->setPixmap(picture);
}

void TSelectStyleForm::btnOkClick() {
    if (catalogue_) catalogue_->Choose(lbStyle->currentRow());
    accept();
}

} // namespace vistrel
