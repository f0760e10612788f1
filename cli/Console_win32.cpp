// Windows console: console modes, UTF-8 arguments and output, and Ctrl-C
// through a console control handler (it runs on a thread of its own).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <atomic>
#include <cstdlib>

#include "Console.h"

namespace {

std::atomic<int> GInterrupts{0};
std::atomic<TCOMPort*> GPort{nullptr};
std::atomic<bool> GBreakLineFirst{false};

void Say(const char* Text, std::size_t Size) {
  const HANDLE Err = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD Written = 0;
  if (GBreakLineFirst) ::WriteFile(Err, "\r\n", 2, &Written, nullptr);
  ::WriteFile(Err, Text, static_cast<DWORD>(Size - 1), &Written, nullptr);
}

BOOL WINAPI OnConsoleControl(DWORD Event) {
  if (Event != CTRL_C_EVENT && Event != CTRL_BREAK_EVENT) return FALSE;
  if (GInterrupts.fetch_add(1) == 0) {
    Say(cFirstInterruptText, sizeof cFirstInterruptText);
    return TRUE;
  }
  Say(cSecondInterruptText, sizeof cSecondInterruptText);
  TCOMPort* Port = GPort.load();
  if (Port != nullptr) Port->Close();
  std::_Exit(cExitStopped);
}

}  // namespace

void PrepareConsole() {
  ::SetConsoleOutputCP(CP_UTF8);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  // argv is in the ANSI code page; the wide command line has every name.
  int Count = 0;
  wchar_t** Wide = ::CommandLineToArgvW(::GetCommandLineW(), &Count);
  if (Wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> Args;
  for (int I = 1; I < Count; ++I) Args.push_back(Utf8OfWide(Wide[I]));
  ::LocalFree(Wide);
  return Args;
}

bool IsTerminal(TStdStream Stream) {
  DWORD Mode = 0;
  const HANDLE Handle =
      ::GetStdHandle(Stream == TStdStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  return ::GetConsoleMode(Handle, &Mode) != 0;
}

void InstallInterruptHandler(TCOMPort& Port) {
  GPort = &Port;
  GBreakLineFirst = IsTerminal(TStdStream::Err);
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool InterruptRequested() {
  return GInterrupts.load() != 0;
}
