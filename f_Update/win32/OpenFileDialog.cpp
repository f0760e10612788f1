#include "OpenFileDialog.h"

#include <commdlg.h>
#include <cderr.h>

#include <algorithm>
#include <vector>

#include "WideText.h"

namespace {

// Characters of the name buffer: room for a long path.
constexpr std::size_t cFileNameChars = 32768;

std::vector<std::string> SplitAtBars(const std::string& Text) {
  std::vector<std::string> Parts;
  std::string::size_type Start = 0;
  for (;;) {
    const auto Bar = Text.find('|', Start);
    Parts.push_back(Text.substr(Start, Bar - Start));
    if (Bar == std::string::npos) return Parts;
    Start = Bar + 1;
  }
}

bool RunDialog(HWND Owner, const std::wstring& Filter, const std::wstring& DefaultExt,
               std::vector<wchar_t>& Name) {
  OPENFILENAMEW Dialog{};
  Dialog.lStructSize = sizeof Dialog;
  Dialog.hwndOwner = Owner;
  Dialog.lpstrFilter = Filter.empty() ? nullptr : Filter.c_str();
  Dialog.nFilterIndex = 1;
  Dialog.lpstrFile = Name.data();
  Dialog.nMaxFile = static_cast<DWORD>(Name.size());
  Dialog.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
  // No OFN_FILEMUSTEXIST: the update reports a file it cannot open.
  // OFN_NOCHANGEDIR: the program's working folder stays where it was.
  Dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_ENABLESIZING;
  return ::GetOpenFileNameW(&Dialog) != FALSE;
}

// The dialog adds the default extension only where the name with it exists;
// a name typed without one gets it in any case, as for the other window.
std::string WithDefaultExt(const std::string& Name, const std::string& DefaultExt) {
  const auto Base = Name.find_last_of("\\/:");
  const auto Dot = Name.rfind('.');
  const bool HasExt = Dot != std::string::npos && (Base == std::string::npos || Dot > Base);
  return HasExt || DefaultExt.empty() ? Name : Name + "." + DefaultExt;
}

}  // namespace

std::wstring DialogFilter(const std::string& Filter) {
  const std::vector<std::string> Parts = SplitAtBars(Filter);
  std::wstring Result;
  for (std::size_t i = 0; i + 1 < Parts.size(); i += 2) {
    Result += WideOfUtf8(Parts[i]);
    Result += L'\0';
    Result += WideOfUtf8(Parts[i + 1]);
    Result += L'\0';
  }
  return Result;
}

bool TOpenFileDialog::Execute(HWND Owner) {
  const std::wstring WideFilter = DialogFilter(Filter);
  const std::wstring WideExt = WideOfUtf8(DefaultExt);
  std::vector<wchar_t> Name(cFileNameChars, L'\0');
  const std::wstring Last = WideOfUtf8(FileName);
  Last.copy(Name.data(), std::min(Last.size(), Name.size() - 1));
  bool Chosen = RunDialog(Owner, WideFilter, WideExt, Name);
  // The dialog refuses to open on a start name it cannot use (a folder
  // removed since, say): open it once more from the system's default.
  if (!Chosen && ::CommDlgExtendedError() == FNERR_INVALIDFILENAME && !Last.empty()) {
    std::fill(Name.begin(), Name.end(), L'\0');
    Chosen = RunDialog(Owner, WideFilter, WideExt, Name);
  }
  if (!Chosen || Name[0] == L'\0') return false;
  FileName = WithDefaultExt(Utf8OfWide(Name.data()), DefaultExt);
  return true;
}
