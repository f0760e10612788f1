#include "AppName.h"

#include <QCoreApplication>
#include <QString>

void NameApplication() {
  // The name only, no display name: the platform appends a display name to
  // every window title that does not already end with it, so the program's
  // boxes, captioned "Error", would read "Error — Quarnel". The main window
  // and the task bar show "Quarnel" from the window's own title.
  QCoreApplication::setApplicationName(QStringLiteral("Quarnel"));
}
