#include <QApplication>

#include "TfUpdate.h"

int main(int argc, char* argv[]) {
  QApplication Application(argc, argv);
  QApplication::setApplicationName("Quarnel");
  TfUpdate fUpdate;
  fUpdate.show();
  return QApplication::exec();
}
