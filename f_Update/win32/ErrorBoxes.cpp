#include "ErrorBoxes.h"

#include <commctrl.h>

#include "WideText.h"

namespace {

constexpr const wchar_t* cShowDetails = L"Show details";
constexpr const wchar_t* cHideDetails = L"Hide details";
// Width of a box with details, in dialog units: a line of the details holds
// a device path and what the system knows of the device.
constexpr UINT cDetailsBoxWidth = 280;

using TTaskDialogIndirect = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// Only common controls 6 has it; looked up so that the program still starts
// with an older comctl32.
TTaskDialogIndirect TaskDialogFunction() {
  const HMODULE Comctl = ::GetModuleHandleW(L"comctl32.dll");
  if (Comctl == nullptr) return nullptr;
  return reinterpret_cast<TTaskDialogIndirect>(
      reinterpret_cast<void*>(::GetProcAddress(Comctl, "TaskDialogIndirect")));
}

bool ShowTaskDialog(HWND Owner, const std::wstring& Caption, const std::wstring& Text,
                    const std::wstring& Details) {
  static const TTaskDialogIndirect TaskDialog = TaskDialogFunction();
  if (TaskDialog == nullptr) return false;
  TASKDIALOGCONFIG Config{};
  Config.cbSize = sizeof Config;
  Config.hwndParent = Owner;
  Config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  Config.dwCommonButtons = TDCBF_OK_BUTTON;
  Config.pszWindowTitle = Caption.c_str();
  Config.pszMainIcon = TD_ERROR_ICON;
  Config.pszContent = Text.c_str();
  Config.pszExpandedInformation = Details.c_str();
  Config.pszCollapsedControlText = cShowDetails;
  Config.pszExpandedControlText = cHideDetails;
  Config.cxWidth = cDetailsBoxWidth;
  int Button = 0;
  return SUCCEEDED(TaskDialog(&Config, &Button, nullptr, nullptr));
}

}  // namespace

void ShowErrorBox(HWND Owner, const std::string& Caption, const std::string& Text,
                  const std::string& Details) {
  if (Owner != nullptr && !::IsWindow(Owner)) Owner = nullptr;
  const std::wstring WideCaption = WideOfUtf8(Caption);
  const std::wstring WideText = WideOfUtf8(Text);
  if (!Details.empty() && ShowTaskDialog(Owner, WideCaption, WideText, WideOfUtf8(Details))) return;
  const std::wstring Shown = Details.empty() ? WideText : WideText + L"\n\n" + WideOfUtf8(Details);
  ::MessageBoxW(Owner, Shown.c_str(), WideCaption.c_str(), MB_OK | MB_ICONERROR);
}
