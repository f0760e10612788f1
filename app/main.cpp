#include <QApplication>

#include "AppName.h"
#include "TfUpdate.h"

// Comm1 already exists here: the port unit creates it before main runs.
int main(int argc, char* argv[]) {
  QApplication Application(argc, argv);
  NameApplication();
  TfUpdate fUpdate;
  fUpdate.show();
  return QApplication::exec();
}
