#include <QApplication>

#include "TfUpdate.h"

// Comm1 already exists here: the port unit creates it before main runs.
int main(int argc, char* argv[]) {
  QApplication Application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quarnel"));
  QApplication::setApplicationDisplayName(QStringLiteral("Quarnel"));
  TfUpdate fUpdate;
  fUpdate.show();
  return QApplication::exec();
}
