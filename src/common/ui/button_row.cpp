#include "common/ui/button_row.h"

namespace vistrel {

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    bool first = true;
    for (QPushButton* button : buttons) {
        button->setDefault(first);
        first = false;
        row->addWidget(button);
    }
    return row;
}

} // namespace vistrel
