// What the loader and the shared rules see of the window: the status line,
// the boxes, message processing, and the controls they read and change.
#include "TfUpdate.h"
// After windows.h, which it builds on.
#include <commctrl.h>

#include <vector>

#include "ErrorBoxes.h"
#include "WideText.h"

namespace {

bool StyleVisible(HWND Control) {
  return (::GetWindowLongPtrW(Control, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool Checked(HWND Box) {
  return ::SendMessageW(Box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace

// ILoaderView ---------------------------------------------------------------

void TfUpdate::SetPrompt(const std::string& Text) {
  const HWND Prompt = Control(TControlId::lbPrompt);
  SetWindowTextUtf8(Prompt, Text);
  RepaintNow(Prompt);
}

std::string TfUpdate::Prompt() const {
  return WindowTextUtf8(Control(TControlId::lbPrompt));
}

void TfUpdate::SetPromptColor(TPromptColor Color) {
  FPromptColor = Color;
  RepaintNow(Control(TControlId::lbPrompt));
}

void TfUpdate::ShowError(const std::string& Text, const std::string& Details) {
  ShowErrorBox(FHandle, cErrorCaption, Text, Details);
}

void TfUpdate::ProcessMessages() {
  MSG Message;
  while (::PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
    if (Message.message == WM_QUIT) {
      // For the event loop, which ends once the operation is over.
      ::PostQuitMessage(static_cast<int>(Message.wParam));
      return;
    }
    if (!PreTranslateMessage(Message)) {
      ::TranslateMessage(&Message);
      ::DispatchMessageW(&Message);
    }
  }
}

bool TfUpdate::AutoSelectCOMPort() const {
  return Checked(Control(TControlId::cbAutoSelectCOMPort));
}

void TfUpdate::SetAutoSelectCOMPort(bool Checked) {
  const HWND Box = Control(TControlId::cbAutoSelectCOMPort);
  if (AutoSelectCOMPort() == Checked) return;
  ::SendMessageW(Box, BM_SETCHECK, Checked ? BST_CHECKED : BST_UNCHECKED, 0);
  // BM_SETCHECK notifies no one; a change by the program runs the handler
  // as a click does.
  cbAutoSelectCOMPortClick();
}

std::string TfUpdate::PortText() const {
  return WindowTextUtf8(Control(TControlId::cbPort));
}

void TfUpdate::SetPortText(const std::string& Text) {
  SetWindowTextUtf8(Control(TControlId::cbPort), Text);
  ForgetPortDeviceUnless(Text);
  RepaintNow(Control(TControlId::cbPort));
}

void TfUpdate::SetPortEnabled(bool Enabled) {
  ::EnableWindow(Control(TControlId::cbPort), Enabled);
}

// The box is too narrow for a device path, so its tooltip names the device.
void TfUpdate::SetPortDevice(const std::string& Text) {
  FPortDeviceFor = Text.empty() ? std::string() : PortText();
  if (FToolTip == nullptr) return;
  const std::wstring Tip = WideOfUtf8(Text);
  const HWND Port = Control(TControlId::cbPort);
  COMBOBOXINFO Parts{};
  Parts.cbSize = sizeof Parts;
  ::GetComboBoxInfo(Port, &Parts);
  for (HWND Tool : {Port, Parts.hwndItem}) {
    if (Tool == nullptr) continue;
    TTTOOLINFOW Info{};
    Info.cbSize = TTTOOLINFOW_V2_SIZE;
    Info.hwnd = FHandle;
    Info.uId = reinterpret_cast<UINT_PTR>(Tool);
    Info.lpszText = const_cast<wchar_t*>(Tip.c_str());
    ::SendMessageW(FToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&Info));
  }
  ::SendMessageW(FToolTip, TTM_ACTIVATE, Text.empty() ? FALSE : TRUE, 0);
}

void TfUpdate::ForgetPortDeviceUnless(const std::string& Shown) {
  if (!FPortDeviceFor.empty() && Shown != FPortDeviceFor) SetPortDevice({});
}

std::string TfUpdate::PortListText() const {
  const HWND Port = Control(TControlId::cbPort);
  const auto Index = ::SendMessageW(Port, CB_GETCURSEL, 0, 0);
  if (Index == CB_ERR) return PortText();
  const auto Length = ::SendMessageW(Port, CB_GETLBTEXTLEN, static_cast<WPARAM>(Index), 0);
  if (Length == CB_ERR) return PortText();
  std::vector<wchar_t> Text(static_cast<std::size_t>(Length) + 1, L'\0');
  ::SendMessageW(Port, CB_GETLBTEXT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(Text.data()));
  return Utf8OfWide(Text.data());
}

// The box's own visibility, whether or not the window is on screen.
bool TfUpdate::HighSpeedVisible() const {
  return StyleVisible(Control(TControlId::cbHighSpeed));
}

bool TfUpdate::HighSpeedChecked() const {
  return Checked(Control(TControlId::cbHighSpeed));
}

bool TfUpdate::PCDirectMode() const {
  return Checked(Control(TControlId::cbPCDirectMode));
}

std::string TfUpdate::FileName() const {
  return WindowTextUtf8(Control(TControlId::ePGMFileName));
}

void TfUpdate::DisableAllComponent() {
  // A disabled control loses the keyboard focus; remember where it was, so
  // the keyboard goes on from there once the operation is over.
  const HWND Focus = ::GetFocus();
  if (Focus != nullptr && ::IsChild(FHandle, Focus)) FFocus = Focus;
  Rules.DisableAllComponent();
}

void TfUpdate::EnableAllComponent() {
  Rules.EnableAllComponent();
  const bool Lost = ::GetFocus() == nullptr && ::GetActiveWindow() == FHandle;
  if (Lost && FFocus != nullptr && ::IsWindowEnabled(FFocus)) ::SetFocus(FFocus);
}

// IFormControls ---------------------------------------------------------------

std::string TfUpdate::FileNameText() const {
  return FileName();
}

void TfUpdate::SetFileNameText(const std::string& Text) {
  // EN_CHANGE follows, and with it ePGMFileNameChange.
  SetWindowTextUtf8(Control(TControlId::ePGMFileName), Text);
}

void TfUpdate::SetControlEnabled(TControlId Id, bool Enabled) {
  ::EnableWindow(Control(Id), Enabled);
}

bool TfUpdate::ControlChecked(TControlId Id) const {
  return ControlRow(Id).Kind == TControlKind::CheckBox && Checked(Control(Id));
}

bool TfUpdate::ControlVisible(TControlId Id) const {
  return StyleVisible(Control(Id));
}

void TfUpdate::SetControlVisible(TControlId Id, bool Visible) {
  ::ShowWindow(Control(Id), Visible ? SW_SHOWNA : SW_HIDE);
}

bool TfUpdate::RunOpenDialog(std::string& Chosen) {
  if (!PGMOpenDialog.Execute(FHandle)) return false;
  Chosen = PGMOpenDialog.FileName;
  return true;
}
