// The file-open dialog of the window, shown through one replaceable function
// so that tests can answer it.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

struct TOpenDialog {
  QString DefaultExt;  // appended to a name typed without an extension
  // Pairs of description and pattern list, all separated by "|"; patterns
  // within a list are separated by ";".
  QString Filter;
  QString FileName;  // the last name chosen; empty before the first choice

  // Shows the dialog modally. True when a name was chosen; FileName then
  // holds it. A name of a file that does not exist is accepted.
  bool Execute(QWidget* Parent);
};

// Shows the dialog; true and Dialog.FileName set when a name was chosen,
// false and Dialog untouched when cancelled.
using TOpenDialogRunner = std::function<bool(QWidget* Parent, TOpenDialog& Dialog)>;

// Replaces the runner; an empty one restores the real dialog. Returns the
// previous runner.
TOpenDialogRunner SetOpenDialogRunner(TOpenDialogRunner Runner);

// The real dialog, also reachable while another runner is installed.
bool RunFileDialog(QWidget* Parent, TOpenDialog& Dialog);

// "Text|*.A;*.B|..." as Qt name filters: "Text (*.A *.B)". A trailing
// description without a pattern list is dropped.
QStringList QtNameFilters(const QString& Filter);
