#include "FormRules.h"

#include <exception>

#include "ErrorText.h"

namespace {

// Shown when something that is not a standard exception escapes an operation.
constexpr const char* cUnknownError = "Unknown error";

// Counts the operations running, nested ones included, for as long as it lives.
class TDepthGuard {
 public:
  explicit TDepthGuard(int& Depth) : FDepth(Depth) { ++FDepth; }
  ~TDepthGuard() { --FDepth; }
  TDepthGuard(const TDepthGuard&) = delete;
  TDepthGuard& operator=(const TDepthGuard&) = delete;

 private:
  int& FDepth;
};

}  // namespace

void TFormRules::btSelectPGMFileClick() {
  std::string Chosen;
  if (C.RunOpenDialog(Chosen)) C.SetFileNameText(Chosen);
}

void TFormRules::ePGMFileNameChange() {
  C.SetControlEnabled(TControlId::btPGMLoad, !C.FileNameText().empty());
}

void TFormRules::cbAutoSelectCOMPortClick() {
  C.SetControlEnabled(TControlId::cbPort, !C.ControlChecked(TControlId::cbAutoSelectCOMPort));
}

void TFormRules::FormDblClick() {
  C.SetControlVisible(TControlId::cbHighSpeed, !C.ControlVisible(TControlId::cbHighSpeed));
}

void TFormRules::DisableAllComponent() {
  for (TControlId Id : {TControlId::btPGMLoad, TControlId::btVersion, TControlId::btSelectPGMFile,
                        TControlId::ePGMFileName})
    C.SetControlEnabled(Id, false);
}

void TFormRules::EnableAllComponent() {
  // An empty name box keeps "&Update" as it is: disabled.
  if (!C.FileNameText().empty()) C.SetControlEnabled(TControlId::btPGMLoad, true);
  for (TControlId Id : {TControlId::btVersion, TControlId::btSelectPGMFile, TControlId::ePGMFileName})
    C.SetControlEnabled(Id, true);
}

void TOperationRunner::Run(const std::function<void()>& Operation) {
  {
    const TDepthGuard Depth(FDepth);
    try {
      if (Operation) Operation();
    } catch (const std::exception& Error) {
      FShowUncaught(UncaughtErrorText(Error.what()));
    } catch (...) {
      FShowUncaught(UncaughtErrorText(cUnknownError));
    }
  }
  if (!Running() && FCloseRequested) {
    FCloseRequested = false;
    FClose();
  }
}

bool TOperationRunner::MayClose() {
  if (!Running()) return true;
  FCloseRequested = true;
  return false;
}
