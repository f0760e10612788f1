// The Windows program: --help and --version are answered on the standard
// output without a window; otherwise the main window and its event loop.
#include "TfUpdate.h"
// After windows.h, which it builds on.
#include <commctrl.h>

#include <sstream>
#include <string>

#include "CommandLine.h"
#include "WideText.h"

namespace {

constexpr int cExitNoWindow = 1;

// A program of the GUI subsystem gets no console of its own: its answer goes
// to the output the caller redirected, or else to the caller's console.
void AnswerCaller(const std::string& Text) {
  HANDLE Out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  HANDLE Opened = INVALID_HANDLE_VALUE;
  if ((Out == nullptr || Out == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
    Opened = ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    Out = Opened;
  }
  if (Out == nullptr || Out == INVALID_HANDLE_VALUE) return;
  DWORD Mode = 0;
  DWORD Written = 0;
  if (::GetConsoleMode(Out, &Mode)) {
    const std::wstring Wide = WideOfUtf8(Text);
    ::WriteConsoleW(Out, Wide.c_str(), static_cast<DWORD>(Wide.size()), &Written, nullptr);
  } else {
    ::WriteFile(Out, Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr);
  }
  if (Opened != INVALID_HANDLE_VALUE) ::CloseHandle(Opened);
}

int RunEventLoop(TfUpdate& Window) {
  MSG Message{};
  for (;;) {
    const BOOL Got = ::GetMessageW(&Message, nullptr, 0, 0);
    if (Got == 0) return static_cast<int>(Message.wParam);
    if (Got == -1) return cExitNoWindow;
    if (!Window.PreTranslateMessage(Message)) {
      ::TranslateMessage(&Message);
      ::DispatchMessageW(&Message);
    }
  }
}

}  // namespace

// Comm1 already exists here: the port unit creates it before main runs.
int main(int argc, char* argv[]) {
  std::ostringstream Answer;
  if (const auto Status = AnswerWithoutWindow(argc, argv, Answer)) {
    AnswerCaller(Answer.str());
    return *Status;
  }

  INITCOMMONCONTROLSEX Controls{};
  Controls.dwSize = sizeof Controls;
  Controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
  ::InitCommonControlsEx(&Controls);

  TfUpdate fUpdate;
  if (!fUpdate.Create(SW_SHOWDEFAULT)) {
    ::MessageBoxW(nullptr, L"The window could not be created.", WideOfUtf8(cAppTitle).c_str(),
                  MB_OK | MB_ICONERROR);
    return cExitNoWindow;
  }
  return RunEventLoop(fUpdate);
}
