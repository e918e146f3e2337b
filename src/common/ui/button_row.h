#pragma once
// The row of push buttons at the foot of a dialog ("Ok", "Abbrechen", ...): right-aligned, in the
// given order, the first one the default button that the Return key presses.
#include <QHBoxLayout>
#include <QPushButton>

#include <initializer_list>

namespace vistrel {

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons);

} // namespace vistrel
