// The main window's messages: commands of the controls, colours of the
// status line, the double click, closing, keyboard focus and dpi changes.
#include "TfUpdate.h"

#include <windowsx.h>

#include <exception>
#include <utility>

#include "ErrorBoxes.h"
#include "ErrorText.h"

namespace {

COLORREF ColorOf(TRgb Rgb) {
  return RGB(Rgb.Red, Rgb.Green, Rgb.Blue);
}

bool IsControlId(int Id) {
  return Id >= cFirstControlId && Id < cFirstControlId + cControlCount;
}

}  // namespace

TfUpdate::TfUpdate() : TfUpdate(Comm1, SystemPortMap) {}

TfUpdate::TfUpdate(TCOMPort& Port, TPortMapSource PortMaps)
    : Loader(Port, *this, std::move(PortMaps)),
      FSuccessBrush(::CreateSolidBrush(ColorOf(cPromptSuccessColor))),
      FFailureBrush(::CreateSolidBrush(ColorOf(cPromptFailureColor))),
      Runner([this](const std::string& Text) { ShowUncaughtError(Text); },
             [this] {
               if (FHandle != nullptr) ::DestroyWindow(FHandle);
             }) {
  PGMOpenDialog.DefaultExt = cPGMDefaultExt;
  PGMOpenDialog.Filter = cPGMFilter;
}

TfUpdate::~TfUpdate() {
  if (FHandle != nullptr) ::DestroyWindow(FHandle);
}

bool TfUpdate::PreTranslateMessage(MSG& Message) {
  return FHandle != nullptr && ::IsDialogMessageW(FHandle, &Message) != FALSE;
}

// Handlers ------------------------------------------------------------------

void TfUpdate::btSelectPGMFileClick() {
  Rules.btSelectPGMFileClick();
}

void TfUpdate::ePGMFileNameChange() {
  Rules.ePGMFileNameChange();
}

void TfUpdate::cbAutoSelectCOMPortClick() {
  Rules.cbAutoSelectCOMPortClick();
}

void TfUpdate::FormDblClick() {
  Rules.FormDblClick();
}

void TfUpdate::btVersionClick() {
  Runner.Run([this] { Loader.QueryVersion(); });
}

void TfUpdate::btPGMLoadClick() {
  Runner.Run([this] { Loader.UpdateFirmware(); });
}

void TfUpdate::ShowUncaughtError(const std::string& Text) {
  ShowErrorBox(FHandle, cAppTitle, Text, {});
}

// Messages ------------------------------------------------------------------

LRESULT CALLBACK TfUpdate::WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_NCCREATE) {
    auto* Self = static_cast<TfUpdate*>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams);
    Self->FHandle = Window;
    ::SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
  }
  auto* Self = reinterpret_cast<TfUpdate*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (Self == nullptr) return ::DefWindowProcW(Window, Message, WParam, LParam);
  if (Message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
    Self->FHandle = nullptr;
    for (HWND& Control : Self->FControls) Control = nullptr;
    Self->FToolTip = nullptr;
    return ::DefWindowProcW(Window, Message, WParam, LParam);
  }
  // No exception may unwind through the system's frames; one that a handler
  // lets escape is shown as the uncaught-error box and the program goes on.
  try {
    return Self->HandleMessage(Message, WParam, LParam);
  } catch (const std::exception& Error) {
    Self->ShowUncaughtError(UncaughtErrorText(Error.what()));
  } catch (...) {
    Self->ShowUncaughtError(UncaughtErrorText("Unknown error"));
  }
  return 0;
}

LRESULT TfUpdate::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_COMMAND:
      OnCommand(LOWORD(WParam), HIWORD(WParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnControlColor(reinterpret_cast<HDC>(WParam), reinterpret_cast<HWND>(LParam));
    case WM_LBUTTONDBLCLK:
      OnDoubleClick(POINT{GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)});
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(WParam) != WA_INACTIVE);
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(WParam), *reinterpret_cast<const RECT*>(LParam));
      return 0;
    case WM_CLOSE:
      // During an operation the close waits; the runner closes the window
      // once the operation (its boxes included) is over.
      if (Runner.MayClose()) ::DestroyWindow(FHandle);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(FHandle, Message, WParam, LParam);
  }
}

void TfUpdate::OnCommand(int Id, int Code) {
  if (!IsControlId(Id)) return;
  const auto Which = static_cast<TControlId>(Id - cFirstControlId);
  switch (Which) {
    case TControlId::ePGMFileName:
      if (Code == EN_CHANGE) ePGMFileNameChange();
      break;
    case TControlId::btSelectPGMFile:
      if (Code == BN_CLICKED) btSelectPGMFileClick();
      break;
    case TControlId::btPGMLoad:
      if (Code == BN_CLICKED) btPGMLoadClick();
      break;
    case TControlId::btVersion:
      if (Code == BN_CLICKED) btVersionClick();
      break;
    case TControlId::cbAutoSelectCOMPort:
    case TControlId::cbHighSpeed:
    case TControlId::cbPCDirectMode:
      if (Code == BN_CLICKED) cbAutoSelectCOMPortClick();
      break;
    case TControlId::cbPort:
      if (Code == CBN_EDITCHANGE) ForgetPortDeviceUnless(PortText());
      // The box's text is still the old one when the pick is announced.
      if (Code == CBN_SELCHANGE) ForgetPortDeviceUnless(PortListText());
      break;
    default:
      break;
  }
}

LRESULT TfUpdate::OnControlColor(HDC Dc, HWND Which) {
  if (Which != Control(TControlId::lbPrompt) || FPromptColor == TPromptColor::Normal)
    return ::DefWindowProcW(FHandle, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(Dc),
                            reinterpret_cast<LPARAM>(Which));
  const bool Success = FPromptColor == TPromptColor::Success;
  ::SetTextColor(Dc, ::GetSysColor(COLOR_WINDOWTEXT));
  ::SetBkColor(Dc, ColorOf(Success ? cPromptSuccessColor : cPromptFailureColor));
  return reinterpret_cast<LRESULT>(Success ? FSuccessBrush.Brush() : FFailureBrush.Brush());
}

void TfUpdate::OnDoubleClick(POINT Where) {
  // Only an empty spot counts: not a label, not a disabled control (whose
  // clicks the window gets), not the status line.
  if (::ChildWindowFromPointEx(FHandle, Where, CWP_SKIPINVISIBLE) == FHandle) FormDblClick();
}

void TfUpdate::OnActivate(bool Active) {
  // A window that is not a dialog keeps its focus across a switch itself.
  if (!Active) {
    const HWND Focus = ::GetFocus();
    if (Focus != nullptr && ::IsChild(FHandle, Focus)) FFocus = Focus;
    return;
  }
  if (FFocus != nullptr && ::IsWindow(FFocus)) ::SetFocus(FFocus);
}

void TfUpdate::OnDpiChanged(UINT Dpi, const RECT& Suggested) {
  FDpi = Dpi;
  ::SetWindowPos(FHandle, nullptr, Suggested.left, Suggested.top, Suggested.right - Suggested.left,
                 Suggested.bottom - Suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (Control(TControlId::lbPrompt) != nullptr) LayOut();
}
