// Window tests need a QApplication; they run without a display.
#include <gtest/gtest.h>

#include <QApplication>

#include "AppName.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication Application(argc, argv);
  NameApplication();  // as the program names itself
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
