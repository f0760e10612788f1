// Every message box of the window goes through one replaceable function, so
// that tests can answer and record them.
#pragma once

#include <QString>
#include <functional>

class QWidget;

// Both kinds of box the program shows: its own "Error" boxes and the box for
// an error no operation caught. Each has an error icon and an OK button.
struct TMessageBoxRequest {
  QString Caption;
  QString Text;
  QString Details;  // plain text behind "Show Details..."; none when empty
};

using TMessageBoxRunner = std::function<void(QWidget* Parent, const TMessageBoxRequest& Box)>;

// Replaces the runner; an empty one restores the real box. Returns the
// previous runner.
TMessageBoxRunner SetMessageBoxRunner(TMessageBoxRunner Runner);

// Shows the box modally; returns once it is closed.
void ShowMessageBox(QWidget* Parent, const TMessageBoxRequest& Box);
