#include "scanner/ui/scan_source_form.h"

#include "common/cp1252.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vistrel {

TScanSourceForm::TScanSourceForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TScanSourceForm"));
    setWindowTitle(QStringLiteral("Quelle wählen"));
    auto* caption = new QLabel(QStringLiteral("Quellen:"), this);
    lbSources = new QTreeWidget(this);
    lbSources->setRootIsDecorated(false);
    lbSources->setHeaderLabels(
        {QStringLiteral("Hersteller"), QStringLiteral("Modell"), QStringLiteral("Name")});
    lbSources->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    caption->setBuddy(lbSources);
    btnSelect = new QPushButton(QStringLiteral("Auswählen"), this);
    btnCancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    btnSelect->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSelect);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(lbSources, 1);
    layout->addLayout(buttons);
    resize(460, 260);
    connect(btnSelect, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lbSources, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(lbSources, &QTreeWidget::currentItemChanged, this,
            [this] { btnSelect->setEnabled(lbSources->currentItem() != nullptr); });
}

void TScanSourceForm::Fill(const std::vector<TScanDevice>& devices, int current) {
    lbSources->clear();
    for (const TScanDevice& device : devices)
        new QTreeWidgetItem(lbSources, {AnsiToQString(device.vendor), AnsiToQString(device.model),
                                        AnsiToQString(device.name)});
    if (current >= 0 && current < lbSources->topLevelItemCount())
        lbSources->setCurrentItem(lbSources->topLevelItem(current));
    btnSelect->setEnabled(lbSources->currentItem() != nullptr);
}

std::optional<size_t> TScanSourceForm::Chosen() const {
    int index = lbSources->indexOfTopLevelItem(lbSources->currentItem());
    return index >= 0 ? std::optional(size_t(index)) : std::nullopt;
}

std::optional<size_t> TScanSourceForm::Choose(const std::vector<TScanDevice>& devices, int current) {
    Fill(devices, current);
    if (exec() != QDialog::Accepted) return std::nullopt;
    return Chosen();
}

} // namespace vistrel
