// Widgets that templates name by class (Kind::Custom): the numeric input
// controls, the graph. A folder registers its classes once, before the first
// dialog that uses them is made; registration and use are for the user-interface
// thread only.
#pragma once

#include <string_view>

class QWidget;

namespace ui {

using WidgetFactory = QWidget *(*)(QWidget *parent);

// Registers (or replaces) the factory of a class name.
void registerWidget(std::string_view className, WidgetFactory factory);

// A new widget of that class, or null when the name is unknown.
QWidget *createRegisteredWidget(std::string_view className, QWidget *parent);

}  // namespace ui
