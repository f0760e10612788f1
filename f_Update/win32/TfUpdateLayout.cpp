// The window and its controls: creation, captions, start states, places,
// fonts, tab order, and the sizes that follow from the window's dpi.
// Layout values of the table are pixels at 96 dpi.
#include "TfUpdate.h"
// After windows.h, which it builds on.
#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "Dpi.h"
#include "Resources.h"
#include "WideText.h"

namespace {

constexpr DWORD cWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD cWindowExStyle = 0;
// Height of the port box's open list, at 96 dpi: about fourteen entries.
constexpr int cPortListHeight = 200;
// Attempts at making the port box's field as high as the table says.
constexpr int cPortFieldTries = 3;
// Widest line of the port tooltip, at 96 dpi, before it wraps.
constexpr int cToolTipWidth = 400;

struct TControlClass {
  const wchar_t* ClassName;
  DWORD Style;
  DWORD ExStyle;
};

// The system's class and styles of each kind of control. Labels notify, so
// that a double click on one is theirs and not the window's; no label
// treats "&" as an access letter, so file names show as they are.
TControlClass ClassOf(const TControlRow& Row) {
  const DWORD Align = Row.CentreText ? SS_CENTER : SS_LEFT;
  switch (Row.Kind) {
    case TControlKind::Label:
      return {L"STATIC", Align | SS_NOTIFY | SS_NOPREFIX, 0};
    case TControlKind::StatusLine:
      return {L"STATIC", SS_CENTER | SS_CENTERIMAGE | SS_NOTIFY | SS_NOPREFIX, 0};
    case TControlKind::Edit:
      return {L"EDIT", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case TControlKind::PushButton:
      return {L"BUTTON", BS_PUSHBUTTON, 0};
    case TControlKind::CheckBox:
      return {L"BUTTON", BS_AUTOCHECKBOX, 0};
    case TControlKind::ComboBox:
      return {L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL, 0};
  }
  return {L"STATIC", SS_LEFT, 0};
}

DWORD StartStyle(const TControlRow& Row) {
  DWORD Style = WS_CHILD | ClassOf(Row).Style;
  if (Row.Visible) Style |= WS_VISIBLE;
  if (!Row.Enabled) Style |= WS_DISABLED;
  // Each focusable control a group of its own: the arrow keys do not jump
  // between the buttons as they would in a group.
  if (Row.Tab >= 0) Style |= WS_TABSTOP | WS_GROUP;
  return Style;
}

// The table in the order of creation, which is the order the keyboard's Tab
// walks: the controls with a tab index by it, then the others.
std::vector<const TControlRow*> CreationOrder() {
  std::vector<const TControlRow*> Order;
  for (const TControlRow& Row : cFormControls) Order.push_back(&Row);
  std::stable_sort(Order.begin(), Order.end(), [](const TControlRow* A, const TControlRow* B) {
    const bool ATab = A->Tab >= 0, BTab = B->Tab >= 0;
    if (ATab != BTab) return ATab;
    return ATab && A->Tab < B->Tab;
  });
  return Order;
}

int Ordinal(TControlId Id) {
  return static_cast<int>(Id);
}

SIZE TextExtent(HWND Control, HFONT Font) {
  SIZE Extent{0, 0};
  const std::wstring Text = WideOfUtf8(WindowTextUtf8(Control));
  const HDC Dc = ::GetDC(Control);
  if (Dc == nullptr) return Extent;
  const HGDIOBJ Previous = ::SelectObject(Dc, Font);
  ::GetTextExtentPoint32W(Dc, Text.c_str(), static_cast<int>(Text.size()), &Extent);
  ::SelectObject(Dc, Previous);
  ::ReleaseDC(Control, Dc);
  return Extent;
}

RECT PlaceInParent(HWND Control) {
  RECT Place{};
  ::GetWindowRect(Control, &Place);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(Control), reinterpret_cast<POINT*>(&Place), 2);
  return Place;
}

}  // namespace

HWND TfUpdate::Control(TControlId Id) const {
  return FControls[Ordinal(Id)];
}

HWND TfUpdate::FirstTabControl() const {
  return Control(CreationOrder().front()->Id);
}

int TfUpdate::ScaledTo(int Pixels) const {
  return Scaled(Pixels, FDpi);
}

void TfUpdate::RepaintNow(HWND Control) {
  if (Control == nullptr) return;
  ::InvalidateRect(Control, nullptr, TRUE);
  ::UpdateWindow(Control);
}

bool TfUpdate::RegisterWindowClass() const {
  const HINSTANCE Instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW Class{};
  if (::GetClassInfoExW(Instance, cMainWindowClass, &Class)) return true;
  Class.cbSize = sizeof Class;
  Class.style = CS_DBLCLKS;  // FormDblClick
  Class.lpfnWndProc = WindowProc;
  Class.hInstance = Instance;
  Class.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  Class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  Class.lpszClassName = cMainWindowClass;
  Class.hIcon = static_cast<HICON>(::LoadImageW(Instance, MAKEINTRESOURCEW(IDI_QUARNEL), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXICON),
                                                ::GetSystemMetrics(SM_CYICON), LR_SHARED));
  Class.hIconSm = static_cast<HICON>(::LoadImageW(Instance, MAKEINTRESOURCEW(IDI_QUARNEL), IMAGE_ICON,
                                                  ::GetSystemMetrics(SM_CXSMICON),
                                                  ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  return ::RegisterClassExW(&Class) != 0;
}

bool TfUpdate::Create(int ShowCommand) {
  if (FHandle != nullptr) return true;
  if (!RegisterWindowClass()) return false;
  const std::wstring Title = WideOfUtf8(cAppTitle);
  // Hidden until its controls are in place; WindowProc stores FHandle.
  if (::CreateWindowExW(cWindowExStyle, cMainWindowClass, Title.c_str(), cWindowStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, cClientWidth, cClientHeight, nullptr, nullptr,
                        ::GetModuleHandleW(nullptr), this) == nullptr)
    return false;
  FDpi = WindowDpi(FHandle);
  CreateControls();
  CreatePortToolTip();
  LayOut();
  SizeAndCentre();
  FFocus = FirstTabControl();
  ::ShowWindow(FHandle, ShowCommand);
  ::UpdateWindow(FHandle);
  ::SetFocus(FFocus);
  return true;
}

void TfUpdate::CreateControls() {
  const HINSTANCE Instance = ::GetModuleHandleW(nullptr);
  for (const TControlRow* Row : CreationOrder()) {
    const TControlClass Class = ClassOf(*Row);
    const std::wstring Caption = WideOfUtf8(StartCaption(*Row));
    const auto Id = static_cast<INT_PTR>(cFirstControlId + Ordinal(Row->Id));
    const HWND Made = ::CreateWindowExW(Class.ExStyle, Class.ClassName, Caption.c_str(), StartStyle(*Row),
                                        0, 0, 0, 0, FHandle, reinterpret_cast<HMENU>(Id), Instance, nullptr);
    FControls[Ordinal(Row->Id)] = Made;
    if (Row->Kind == TControlKind::CheckBox)
      ::SendMessageW(Made, BM_SETCHECK, Row->Checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  const HWND Port = Control(TControlId::cbPort);
  for (int n = 1; n <= cPortListCount; ++n)
    ::SendMessageW(Port, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideOfUtf8(PortListItem(n)).c_str()));
  // The list has no entry picked; the text field shows the start caption.
  ::SendMessageW(Port, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  SetWindowTextUtf8(Port, StartCaption(ControlRow(TControlId::cbPort)));
}

void TfUpdate::CreatePortToolTip() {
  FToolTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FHandle, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  if (FToolTip == nullptr) return;
  // The mouse over the text field is over the box's edit child, not the box.
  const HWND Port = Control(TControlId::cbPort);
  COMBOBOXINFO Parts{};
  Parts.cbSize = sizeof Parts;
  ::GetComboBoxInfo(Port, &Parts);
  for (HWND Tool : {Port, Parts.hwndItem}) {
    if (Tool == nullptr) continue;
    TTTOOLINFOW Info{};
    Info.cbSize = TTTOOLINFOW_V2_SIZE;
    Info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    Info.hwnd = FHandle;
    Info.uId = reinterpret_cast<UINT_PTR>(Tool);
    Info.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(FToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&Info));
  }
  ::SendMessageW(FToolTip, TTM_ACTIVATE, FALSE, 0);
}

// Places, fonts and label sizes for FDpi; again whenever the dpi changes.
void TfUpdate::LayOut() {
  TWindowFonts Fonts(FDpi);
  for (const TControlRow& Row : cFormControls) {
    const HWND Made = Control(Row.Id);
    ::SendMessageW(Made, WM_SETFONT, reinterpret_cast<WPARAM>(Fonts.For(Row.FontPixels)), FALSE);
    const int Height = Row.Kind == TControlKind::ComboBox ? Row.Height + cPortListHeight : Row.Height;
    ::MoveWindow(Made, ScaledTo(Row.Left), ScaledTo(Row.Top), ScaledTo(Row.Width), ScaledTo(Height), FALSE);
  }
  // The old fonts go only now that no control uses them.
  FFonts = std::move(Fonts);
  FitLabelsToText();
  FitPortBoxHeight();
  if (FToolTip != nullptr) ::SendMessageW(FToolTip, TTM_SETMAXTIPWIDTH, 0, ScaledTo(cToolTipWidth));
  ::InvalidateRect(FHandle, nullptr, TRUE);
}

// A fixed label takes at least the size of its text, growing as TLabelFit says.
void TfUpdate::FitLabelsToText() {
  for (const TControlRow& Row : cFormControls) {
    if (Row.Fit == TLabelFit::None) continue;
    const HWND Label = Control(Row.Id);
    const SIZE Text = TextExtent(Label, FFonts.For(Row.FontPixels));
    const int Left = ScaledTo(Row.Left), Width = ScaledTo(Row.Width);
    const int FitWidth = std::max<int>(Width, Text.cx);
    const int FitHeight = std::max<int>(ScaledTo(Row.Height), Text.cy);
    const int FitLeft = Row.Fit == TLabelFit::KeepRightEdge ? Left + Width - FitWidth : Left;
    ::MoveWindow(Label, FitLeft, ScaledTo(Row.Top), FitWidth, FitHeight, FALSE);
  }
}

// The closed port box is as high as its text field, which follows the font;
// its field is made as high as the table says. Systems differ in what the
// field's height counts, so the request is corrected by what came of it.
void TfUpdate::FitPortBoxHeight() {
  const HWND Port = Control(TControlId::cbPort);
  const int Wanted = ScaledTo(ControlRow(TControlId::cbPort).Height);
  const auto Missing = [&] {
    const RECT Place = PlaceInParent(Port);
    return Wanted - (Place.bottom - Place.top);
  };
  int Difference = Missing();
  auto Request = ::SendMessageW(Port, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
  for (int Try = 0; Try < cPortFieldTries && Difference != 0 && Request != CB_ERR; ++Try) {
    Request += Difference;
    if (Request <= 0) return;
    ::SendMessageW(Port, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Request);
    Difference = Missing();
  }
}

// The window's size for its client area at FDpi, centred on the primary
// monitor's work area.
void TfUpdate::SizeAndCentre() {
  const SIZE Outer = WindowSizeForClient(ScaledTo(cClientWidth), ScaledTo(cClientHeight), cWindowStyle,
                                         cWindowExStyle, FDpi);
  MONITORINFO Monitor{};
  Monitor.cbSize = sizeof Monitor;
  RECT Work{0, 0, Outer.cx, Outer.cy};
  if (::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &Monitor))
    Work = Monitor.rcWork;
  const int Left = Work.left + (Work.right - Work.left - Outer.cx) / 2;
  const int Top = Work.top + (Work.bottom - Work.top - Outer.cy) / 2;
  ::SetWindowPos(FHandle, nullptr, Left, Top, Outer.cx, Outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}
