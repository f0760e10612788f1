#include "FormTable.h"

#include <cctype>
#include <stdexcept>

#include "QuarnelVersion.h"

namespace {
using K = TControlKind;
using F = TLabelFit;
using I = TControlId;
}  // namespace

const TControlRow cFormControls[cControlCount] = {
    {I::lbPrompt, "lbPrompt", K::StatusLine, 0, 256, 483, 21, "", 13, -1, true, false, true, F::None, true},
    {I::Label1, "Label1", K::Label, 32, 80, 64, 13, "Firmware File:", 0, -1, true, false, true,
     F::KeepRightEdge, false},
    {I::ePGMFileName, "ePGMFileName", K::Edit, 98, 76, 291, 21, "", 0, 0, true, false, true,
     F::None, false},
    {I::btSelectPGMFile, "btSelectPGMFile", K::PushButton, 394, 74, 69, 25, "&Browse", 0, 1, true,
     false, true, F::None, false},
    {I::btPGMLoad, "btPGMLoad", K::PushButton, 152, 222, 75, 25, "&Update", 0, 5, false, false,
     true, F::None, false},
    {I::Label2, "Label2", K::Label, 116, 10, 290, 25, "Quarnel", 21, -1, true, false, true,
     F::KeepLeftEdge, true},
    {I::btVersion, "btVersion", K::PushButton, 258, 222, 75, 25, "MC &Version", 0, 6, true, false,
     true, F::None, false},
    {I::cbAutoSelectCOMPort, "cbAutoSelectCOMPort", K::CheckBox, 98, 126, 131, 17,
     "Auto-detect COM Port", 0, 2, true, true, true, F::None, false},
    {I::cbPort, "cbPort", K::ComboBox, 310, 123, 79, 21, "COM1", 0, 3, false, false, true, F::None, false},
    {I::lbCOMPort, "lbCOMPort", K::Label, 258, 126, 46, 13, "COM Port", 0, -1, true, false, true,
     F::KeepRightEdge, false},
    {I::Label4, "Label4", K::Label, 214, 40, 79, 25, nullptr, 21, -1, true, false, true,
     F::KeepLeftEdge, false},
    {I::cbHighSpeed, "cbHighSpeed", K::CheckBox, 160, 283, 173, 17, "High Speed Direct Connection",
     0, 7, true, true, false, F::None, false},
    {I::cbPCDirectMode, "cbPCDirectMode", K::CheckBox, 98, 150, 291, 17,
     "Using Corvex Hand Controller's PC Direct Mode", 0, 4, true, true, true, F::None, false},
};

std::string PortListItem(int Number) {
  return "COM" + std::to_string(Number);
}

const TControlRow& ControlRow(TControlId Id) {
  for (const TControlRow& Row : cFormControls)
    if (Row.Id == Id) return Row;
  throw std::out_of_range("no such control");
}

std::string VersionCaption() {
  return std::string("Ver. ") + cQuarnelVersion;
}

std::string StartCaption(const TControlRow& Row) {
  return Row.Caption != nullptr ? Row.Caption : VersionCaption();
}

char AccessLetter(const char* Caption) {
  for (const char* C = Caption; C != nullptr && *C != '\0'; ++C) {
    if (*C != '&') continue;
    if (C[1] == '&') {
      ++C;  // "&&" is a literal ampersand
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(C[1])));
  }
  return 0;
}
