#include "MessageBox.h"

#include <QMessageBox>
#include <utility>

namespace {

TMessageBoxRunner& Runner() {
  static TMessageBoxRunner Current;
  return Current;
}

void RunErrorBox(QWidget* Parent, const TMessageBoxRequest& Request) {
  QMessageBox Box(QMessageBox::Critical, Request.Caption, Request.Text, QMessageBox::Ok, Parent);
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
