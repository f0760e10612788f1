#include "OpenDialog.h"

#include <QFileDialog>
#include <utility>

namespace {

TOpenDialogRunner& Runner() {
  static TOpenDialogRunner Current;
  return Current;
}

}  // namespace

bool TOpenDialog::Execute(QWidget* Parent) {
  const TOpenDialogRunner& Current = Runner();
  return Current ? Current(Parent, *this) : RunFileDialog(Parent, *this);
}

TOpenDialogRunner SetOpenDialogRunner(TOpenDialogRunner NewRunner) {
  return std::exchange(Runner(), std::move(NewRunner));
}

bool RunFileDialog(QWidget* Parent, TOpenDialog& Dialog) {
  QFileDialog Box(Parent);
  Box.setAcceptMode(QFileDialog::AcceptOpen);
  // AnyFile: the name of a file that does not exist is accepted too; the
  // update reports it when it cannot open the file.
  Box.setFileMode(QFileDialog::AnyFile);
  Box.setDefaultSuffix(Dialog.DefaultExt);
  Box.setNameFilters(QtNameFilters(Dialog.Filter));
  Box.setOption(QFileDialog::HideNameFilterDetails);
#ifndef Q_OS_WIN
  // The native open panels of GTK and macOS insist on an existing file.
  Box.setOption(QFileDialog::DontUseNativeDialog);
#endif
  if (!Dialog.FileName.isEmpty()) Box.selectFile(Dialog.FileName);
  if (Box.exec() != QDialog::Accepted) return false;
  const QStringList Files = Box.selectedFiles();
  if (Files.isEmpty() || Files.first().isEmpty()) return false;
  Dialog.FileName = Files.first();
  return true;
}

QStringList QtNameFilters(const QString& Filter) {
  const QStringList Parts = Filter.split(QLatin1Char('|'));
  QStringList Result;
  for (qsizetype i = 0; i + 1 < Parts.size(); i += 2) {
    const QString Patterns = Parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(' ');
    Result << QStringLiteral("%1 (%2)").arg(Parts[i], Patterns);
  }
  return Result;
}
