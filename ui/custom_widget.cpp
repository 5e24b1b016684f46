#include "ui/custom_widget.h"

#include <map>
#include <string>

namespace ui {

namespace {

std::map<std::string, WidgetFactory, std::less<>> &registry() {
  static std::map<std::string, WidgetFactory, std::less<>> factories;
  return factories;
}

}  // namespace

void registerWidget(std::string_view className, WidgetFactory factory) {
  registry().insert_or_assign(std::string(className), factory);
}

QWidget *createRegisteredWidget(std::string_view className, QWidget *parent) {
  const auto it = registry().find(className);
  return it == registry().end() || !it->second ? nullptr : it->second(parent);
}

}  // namespace ui
