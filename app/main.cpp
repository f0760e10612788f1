#include <QApplication>
#include <QIcon>
#include <iostream>

#include "AppName.h"
#include "CommandLine.h"
#include "TfUpdate.h"

// Comm1 already exists here: the port unit creates it before main runs.
int main(int argc, char* argv[]) {
  // Before the application object, which needs a display.
  if (const auto Status = AnswerWithoutWindow(argc, argv, std::cout)) return *Status;

  QApplication Application(argc, argv);
  NameApplication();
  // Ties the window to the installed desktop entry, whose icon it also shows.
  QGuiApplication::setDesktopFileName(QStringLiteral("quarnel"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quarnel.png")));
  TfUpdate fUpdate;
  fUpdate.show();
  return QApplication::exec();
}
