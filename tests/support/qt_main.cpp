// main() of widget tests: the application object lives exactly as long as the tests.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
