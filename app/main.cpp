// sentune: bench service tool for QVZ vibration sensors.
#include "app/application.h"

int main(int argc, char **argv) {
  app::SentuneApplication application(argc, argv);
  return application.runMainWindow();
}
