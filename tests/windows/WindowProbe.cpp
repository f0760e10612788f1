// window-probe: the Windows side of the window tests. Reads and drives the
// Quarnel window of another process through the Win32 API only, as UI
// automation and screen readers would: one command a line on stdin, one
// answer a line on stdout. Controls are named as the window declares them.
//   find SECS            -> ok | none    (the main window is up)
//   gone SECS            -> gone | there (the main window has gone)
//   geometry             -> CW CH  WL WT WR WB  AL AT AR AB  DPI
//                           (client size, window rect, work area, the display's dpi)
//   control NAME         -> VIS EN CHK L T W H<TAB>TEXT
//                           (place relative to the client area)
//   items NAME           -> COUNT FIRST LAST SELECTED
//   settext NAME TEXT    -> ok                (WM_SETTEXT; TEXT is the rest of the line)
//   click NAME           -> ok                (BM_CLICK, posted)
//   dblclick X Y         -> ok                (client coordinates)
//   accel C              -> ok                (Alt+C to the focused control)
//   tab                  -> ok                (Tab to the focused control)
//   focus                -> NAME | -
//   pixel NAME           -> R G B             (on screen, inside the control's left edge)
//   box SECS             -> CAPTION<TAB>TEXTS | none   (a dialog of the program;
//                           TEXTS: every child's text, hidden ones too, " | " apart)
//   boxchildren          -> CLASS:ID:TEXT ... (" | " apart)
//   boxsettext ID TEXT   -> ok | none
//   boxcommand ID        -> ok | none         (WM_COMMAND to the dialog)
//   boxclick TEXT        -> ok | none         (the dialog's button with this text)
//   close                -> ok                (WM_CLOSE to the main window)
//   end                  -> ok | none         (ends the window's process, and waits)
//   quit
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ComPort.h"
#include "FormTable.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr const wchar_t* cMainClass = L"QuarnelWindow";
constexpr const wchar_t* cDialogClass = L"#32770";
constexpr int cFirstControlId = 1000;
constexpr auto cLookAgain = std::chrono::milliseconds(50);
constexpr int cTextLimit = 4096;
// How far inside a control's left edge a pixel is read: clear of its border.
constexpr int cPixelInset = 3;

// A window's text on one line: line breaks become " / ", so that every
// answer stays one line.
std::string TextOf(HWND Window) {
  std::vector<wchar_t> Buffer(cTextLimit, L'\0');
  ::SendMessageW(Window, WM_GETTEXT, Buffer.size(), reinterpret_cast<LPARAM>(Buffer.data()));
  std::string Text;
  for (const char C : Utf8OfWide(Buffer.data())) {
    if (C == '\r') continue;
    Text += C == '\n' ? std::string(" / ") : std::string(1, C);
  }
  return Text;
}

std::string ClassOf(HWND Window) {
  wchar_t Name[256] = {};
  ::GetClassNameW(Window, Name, 256);
  return Utf8OfWide(Name);
}

HWND MainWindow() {
  return ::FindWindowW(cMainClass, nullptr);
}

HWND ControlNamed(const std::string& Name) {
  for (const TControlRow& Row : cFormControls) {
    if (Name == Row.Name) {
      return ::GetDlgItem(MainWindow(), cFirstControlId + static_cast<int>(Row.Id));
    }
  }
  return nullptr;
}

std::string NameOf(HWND Control) {
  const int Id = ::GetDlgCtrlID(Control) - cFirstControlId;
  for (const TControlRow& Row : cFormControls)
    if (static_cast<int>(Row.Id) == Id) return Row.Name;
  return "-";
}

// Polls Found until it holds or Secs pass.
template <typename T>
bool WaitFor(double Secs, T Found) {
  const auto Deadline = TClock::now() + std::chrono::duration<double>(Secs);
  for (;;) {
    if (Found()) return true;
    if (TClock::now() >= Deadline) return false;
    std::this_thread::sleep_for(cLookAgain);
  }
}

// A visible dialog of the program that owns the main window.
HWND ProgramDialog() {
  struct TSearch {
    DWORD Process;
    HWND Found;
  } Search{0, nullptr};
  const HWND Main = MainWindow();
  if (Main == nullptr) return nullptr;
  ::GetWindowThreadProcessId(Main, &Search.Process);
  ::EnumWindows(
      [](HWND Window, LPARAM Data) -> BOOL {
        auto* S = reinterpret_cast<TSearch*>(Data);
        DWORD Process = 0;
        ::GetWindowThreadProcessId(Window, &Process);
        if (Process != S->Process || !::IsWindowVisible(Window)) return TRUE;
        wchar_t Class[64] = {};
        ::GetClassNameW(Window, Class, 64);
        if (std::wstring(Class) != cDialogClass) return TRUE;
        S->Found = Window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&Search));
  return Search.Found;
}

std::vector<HWND> Children(HWND Parent) {
  std::vector<HWND> All;
  ::EnumChildWindows(
      Parent,
      [](HWND Child, LPARAM Data) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(Data)->push_back(Child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&All));
  return All;
}

// The display's dpi as a dpi-aware program sees it. (Wine answers
// GetDpiForWindow for another process's window from a value it may have
// cached before the setting changed.)
int DisplayDpi() {
  const HDC Screen = ::GetDC(nullptr);
  const int Dpi = ::GetDeviceCaps(Screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, Screen);
  return Dpi;
}

// The control's place relative to the main window's client area.
RECT PlaceOf(HWND Control) {
  RECT R{};
  ::GetWindowRect(Control, &R);
  ::MapWindowPoints(HWND_DESKTOP, MainWindow(), reinterpret_cast<POINT*>(&R), 2);
  return R;
}

std::string Rest(std::istringstream& Args) {
  std::string Text;
  std::getline(Args, Text);
  if (!Text.empty() && Text.front() == ' ') Text.erase(0, 1);
  return Text;
}

std::string Geometry() {
  const HWND Main = MainWindow();
  RECT Client{}, Window{}, Work{};
  ::GetClientRect(Main, &Client);
  ::GetWindowRect(Main, &Window);
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &Work, 0);
  std::ostringstream Out;
  Out << Client.right << ' ' << Client.bottom << ' ' << Window.left << ' ' << Window.top << ' '
      << Window.right << ' ' << Window.bottom << ' ' << Work.left << ' ' << Work.top << ' '
      << Work.right << ' ' << Work.bottom << ' ' << DisplayDpi();
  return Out.str();
}

std::string Control(std::istringstream& Args) {
  std::string Name;
  Args >> Name;
  const HWND C = ControlNamed(Name);
  if (C == nullptr) return "none";
  const RECT R = PlaceOf(C);
  const LONG Style = ::GetWindowLongW(C, GWL_STYLE);
  const bool Checked = ::SendMessageW(C, BM_GETCHECK, 0, 0) == BST_CHECKED;
  std::ostringstream Out;
  Out << ((Style & WS_VISIBLE) != 0) << ' ' << (::IsWindowEnabled(C) != 0) << ' '
      << (ClassOf(C) == "Button" && Checked) << ' ' << R.left << ' ' << R.top << ' '
      << R.right - R.left << ' ' << R.bottom - R.top << '\t' << TextOf(C);
  return Out.str();
}

std::string Items(std::istringstream& Args) {
  std::string Name;
  Args >> Name;
  const HWND C = ControlNamed(Name);
  const auto Count = ::SendMessageW(C, CB_GETCOUNT, 0, 0);
  auto Item = [C](LRESULT Index) {
    std::vector<wchar_t> Text(cTextLimit, L'\0');
    ::SendMessageW(C, CB_GETLBTEXT, Index, reinterpret_cast<LPARAM>(Text.data()));
    return Utf8OfWide(Text.data());
  };
  std::ostringstream Out;
  Out << Count << ' ' << (Count > 0 ? Item(0) : "-") << ' ' << (Count > 0 ? Item(Count - 1) : "-")
      << ' ' << ::SendMessageW(C, CB_GETCURSEL, 0, 0);
  return Out.str();
}

HWND FocusOfProgram() {
  GUITHREADINFO Info{};
  Info.cbSize = sizeof Info;
  const DWORD Thread = ::GetWindowThreadProcessId(MainWindow(), nullptr);
  return ::GetGUIThreadInfo(Thread, &Info) ? Info.hwndFocus : nullptr;
}

// Where a key goes: the control with the focus, else the window itself.
HWND KeyTarget() {
  const HWND Focus = FocusOfProgram();
  return Focus != nullptr ? Focus : MainWindow();
}

std::string Pixel(std::istringstream& Args) {
  std::string Name;
  Args >> Name;
  RECT R{};
  ::GetWindowRect(ControlNamed(Name), &R);
  const HDC Screen = ::GetDC(nullptr);
  const COLORREF C = ::GetPixel(Screen, R.left + cPixelInset, (R.top + R.bottom) / 2);
  ::ReleaseDC(nullptr, Screen);
  std::ostringstream Out;
  Out << int{GetRValue(C)} << ' ' << int{GetGValue(C)} << ' ' << int{GetBValue(C)};
  return Out.str();
}

std::string Box(std::istringstream& Args) {
  double Secs = 0;
  Args >> Secs;
  HWND Dialog = nullptr;
  if (!WaitFor(Secs, [&] { return (Dialog = ProgramDialog()) != nullptr; })) return "none";
  std::string Texts;
  for (HWND Child : Children(Dialog)) {
    const std::string Text = TextOf(Child);
    if (Text.empty()) continue;
    if (!Texts.empty()) Texts += " | ";
    Texts += Text;
  }
  return TextOf(Dialog) + "\t" + Texts;
}

std::string BoxChildren() {
  const HWND Dialog = ProgramDialog();
  if (Dialog == nullptr) return "none";
  std::string Out;
  for (HWND Child : Children(Dialog)) {
    if (!Out.empty()) Out += " | ";
    Out += ClassOf(Child) + ":" + std::to_string(::GetDlgCtrlID(Child)) + ":" + TextOf(Child);
  }
  return Out;
}

std::string BoxSetText(std::istringstream& Args) {
  int Id = 0;
  Args >> Id;
  const HWND Dialog = ProgramDialog();
  const HWND Child = Dialog != nullptr ? ::GetDlgItem(Dialog, Id) : nullptr;
  if (Child == nullptr) return "none";
  ::SendMessageW(Child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideOfUtf8(Rest(Args)).c_str()));
  return "ok";
}

std::string BoxCommand(std::istringstream& Args) {
  int Id = 0;
  Args >> Id;
  const HWND Dialog = ProgramDialog();
  if (Dialog == nullptr) return "none";
  ::PostMessageW(Dialog, WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED), 0);
  return "ok";
}

std::string BoxClick(std::istringstream& Args) {
  const std::string Wanted = Rest(Args);
  const HWND Dialog = ProgramDialog();
  if (Dialog == nullptr) return "none";
  for (HWND Child : Children(Dialog)) {
    if (ClassOf(Child) == "Button" && TextOf(Child) == Wanted) {
      ::PostMessageW(Child, BM_CLICK, 0, 0);
      return "ok";
    }
  }
  return "none";
}

// A test that failed half-way must not leave its window for the next one.
std::string EndProgram() {
  const HWND Main = MainWindow();
  if (Main == nullptr) return "none";
  DWORD Process = 0;
  ::GetWindowThreadProcessId(Main, &Process);
  const HANDLE Handle = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, Process);
  if (Handle == nullptr) return "none";
  ::TerminateProcess(Handle, 1);
  ::WaitForSingleObject(Handle, INFINITE);
  ::CloseHandle(Handle);
  return "ok";
}

std::string Answer(const std::string& Line) {
  std::istringstream Args(Line);
  std::string Command;
  Args >> Command;
  if (Command == "find") {
    double Secs = 0;
    Args >> Secs;
    return WaitFor(Secs, [] { return MainWindow() != nullptr && ::IsWindowVisible(MainWindow()); })
               ? "ok"
               : "none";
  }
  if (Command == "gone") {
    double Secs = 0;
    Args >> Secs;
    return WaitFor(Secs, [] { return MainWindow() == nullptr; }) ? "gone" : "there";
  }
  if (Command == "geometry") return Geometry();
  if (Command == "control") return Control(Args);
  if (Command == "items") return Items(Args);
  if (Command == "settext") {
    std::string Name;
    Args >> Name;
    ::SendMessageW(ControlNamed(Name), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(WideOfUtf8(Rest(Args)).c_str()));
    return "ok";
  }
  if (Command == "click") {
    std::string Name;
    Args >> Name;
    ::PostMessageW(ControlNamed(Name), BM_CLICK, 0, 0);
    return "ok";
  }
  if (Command == "dblclick") {
    int X = 0, Y = 0;
    Args >> X >> Y;
    ::PostMessageW(MainWindow(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(X, Y));
    return "ok";
  }
  if (Command == "accel") {
    std::string Key;
    Args >> Key;
    // Bit 29: the Alt key is down.
    ::PostMessageW(KeyTarget(), WM_SYSCHAR, static_cast<WPARAM>(Key.empty() ? 0 : Key[0]),
                   1 | (1 << 29));
    return "ok";
  }
  if (Command == "tab") {
    ::PostMessageW(KeyTarget(), WM_KEYDOWN, VK_TAB, 1);
    return "ok";
  }
  if (Command == "focus") {
    const HWND Focus = FocusOfProgram();
    return Focus != nullptr ? NameOf(Focus) : "-";
  }
  if (Command == "pixel") return Pixel(Args);
  if (Command == "box") return Box(Args);
  if (Command == "boxchildren") return BoxChildren();
  if (Command == "boxsettext") return BoxSetText(Args);
  if (Command == "boxcommand") return BoxCommand(Args);
  if (Command == "boxclick") return BoxClick(Args);
  if (Command == "end") return EndProgram();
  if (Command == "close") {
    ::PostMessageW(MainWindow(), WM_CLOSE, 0, 0);
    return "ok";
  }
  return "unknown command: " + Command;
}

// Per-monitor aware like the window, so that the system reports the
// window's places and dpi as they are, not scaled for an unaware reader.
void BecomeDpiAware() {
  using TSetContext = BOOL(WINAPI*)(HANDLE);
  const auto Set = reinterpret_cast<TSetContext>(reinterpret_cast<void*>(::GetProcAddress(
      ::GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  if (Set == nullptr || !Set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) {
    ::SetProcessDPIAware();
  }
}

}  // namespace

int main() {
  BecomeDpiAware();
  std::string Line;
  while (std::getline(std::cin, Line)) {
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    if (Line == "quit") break;
    std::cout << Answer(Line) << std::endl;
  }
  return 0;
}
