// The main window (filled in by the window's own piece of work).
#pragma once

#include <QWidget>

class TfUpdate : public QWidget {
  Q_OBJECT
 public:
  explicit TfUpdate(QWidget* Parent = nullptr);
};
