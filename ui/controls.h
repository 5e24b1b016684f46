// Realisation of one template control as a Qt widget (internal to ui/).
#pragma once

#include "ui/dialog_units.h"
#include "ui/template.h"

class QWidget;

namespace ui {

// A widget for the control, placed at its rectangle, with its text, initial
// visibility and enabled state. Unknown custom classes give an empty frame and
// a warning, so that a template error shows instead of crashing.
QWidget *createControl(const ControlTemplate &c, const DialogUnits &units, QWidget *parent);

// True when a static text has a mnemonic ('&' followed by something other than '&').
bool hasMnemonic(std::string_view text);

}  // namespace ui
