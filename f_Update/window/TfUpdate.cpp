#include "TfUpdate.h"

TfUpdate::TfUpdate(QWidget* Parent) : QWidget(Parent) { setWindowTitle("Quarnel"); }
