#include "MessageBox.h"

#include <QMessageBox>
#include <QTextEdit>
#include <utility>

namespace {

// Characters a line of the details gets before it wraps: a port line holds
// a device path and what the system knows of the device.
constexpr int cDetailsColumns = 72;

TMessageBoxRunner& Runner() {
  static TMessageBoxRunner Current;
  return Current;
}

void RunErrorBox(QWidget* Parent, const TMessageBoxRequest& Request) {
  QMessageBox Box(QMessageBox::Critical, Request.Caption, Request.Text, QMessageBox::Ok, Parent);
  if (!Request.Details.isEmpty()) {
    Box.setDetailedText(Request.Details);
    // The box takes the width of its short text; the details need more.
    if (auto* Details = Box.findChild<QTextEdit*>())
      Details->setMinimumWidth(Details->fontMetrics().averageCharWidth() * cDetailsColumns);
  }
  Box.exec();
}

}  // namespace

TMessageBoxRunner SetMessageBoxRunner(TMessageBoxRunner NewRunner) {
  return std::exchange(Runner(), std::move(NewRunner));
}

void ShowMessageBox(QWidget* Parent, const TMessageBoxRequest& Box) {
  const TMessageBoxRunner& Current = Runner();
  if (Current) {
    Current(Parent, Box);
  } else {
    RunErrorBox(Parent, Box);
  }
}
