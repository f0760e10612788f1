// The window's rules, written once for every toolkit: which control is
// enabled or shown when, the small handlers that do not talk to the
// controller, and how a long operation runs inside a click. Each window
// implements IFormControls with its own widgets and calls these.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "FormTable.h"

// What the rules read and change of the controls. Texts are UTF-8.
class IFormControls {
 public:
  virtual ~IFormControls() = default;
  virtual std::string FileNameText() const = 0;  // ePGMFileName
  virtual void SetFileNameText(const std::string& Text) = 0;
  virtual void SetControlEnabled(TControlId Id, bool Enabled) = 0;
  virtual bool ControlChecked(TControlId Id) const = 0;
  // The control's own visibility, whether or not the window is on screen.
  virtual bool ControlVisible(TControlId Id) const = 0;
  virtual void SetControlVisible(TControlId Id, bool Visible) = 0;
  // Shows the file-open dialog (cPGMFilter, cPGMDefaultExt) modally. True
  // and Chosen set when a name was chosen; a name of a file that does not
  // exist is accepted. The dialog starts from the last name chosen in it.
  virtual bool RunOpenDialog(std::string& Chosen) = 0;
};

class TFormRules {
 public:
  explicit TFormRules(IFormControls& Controls) : C(Controls) {}

  // "&Browse": a chosen name goes into the file name box; a cancelled
  // dialog leaves the box as it was.
  void btSelectPGMFileClick();
  // "&Update" is enabled exactly when the file name box holds text (any).
  void ePGMFileNameChange();
  // The one handler of the three check boxes: the port box is enabled
  // exactly when automatic detection is off, whichever box changed.
  void cbAutoSelectCOMPortClick();
  // A double click on an empty spot shows or hides cbHighSpeed.
  void FormDblClick();
  // The four controls that start or feed an operation.
  void DisableAllComponent();
  void EnableAllComponent();

 private:
  IFormControls& C;
};

// Runs the long operations of the buttons. An error that escapes one ends
// it and is shown in the uncaught-error box; a close asked for meanwhile is
// carried out once the outermost operation is over.
class TOperationRunner {
 public:
  using TShowUncaught = std::function<void(const std::string& Text)>;
  using TClose = std::function<void()>;
  TOperationRunner(TShowUncaught ShowUncaught, TClose Close)
      : FShowUncaught(std::move(ShowUncaught)), FClose(std::move(Close)) {}

  void Run(const std::function<void()>& Operation);
  bool Running() const { return FDepth > 0; }
  // The window asks to close: true when it may close now; otherwise the
  // close waits for the running operation.
  bool MayClose();

 private:
  TShowUncaught FShowUncaught;
  TClose FClose;
  int FDepth = 0;
  bool FCloseRequested = false;
};
