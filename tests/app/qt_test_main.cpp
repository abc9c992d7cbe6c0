// gtest entry for the Qt tests: one application object for all of them, on
// the offscreen platform unless the caller chose another.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  // Qt took the process locale from the environment; the tests pass their
  // separators explicitly and want nothing else to depend on it.
  std::setlocale(LC_ALL, "C");
  return RUN_ALL_TESTS();
}
