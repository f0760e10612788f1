// Windows console: console modes, UTF-8 arguments and output, and the stop
// requests through a console control handler (it runs on a thread of its
// own, so the phase is an atomic that the handler and the loader's hook
// race for).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "Console.h"

namespace {

// Per console event: its name in the messages, the status of a stop at once,
// and whether the console goes away (the process then ends as soon as the
// handler returns, or a few seconds later at most).
struct TStopEvent {
  DWORD Event;
  const char* Name;
  int Status;
  bool ConsoleGoes;
};

constexpr TStopEvent cStopEvents[] = {
    {CTRL_C_EVENT, "Ctrl-C", cExitInterrupt, false},
    {CTRL_BREAK_EVENT, "Ctrl-Break", cExitInterrupt, false},
    {CTRL_CLOSE_EVENT, "console closed", cExitHangUp, true},
    {CTRL_LOGOFF_EVENT, "log-off", cExitHangUp, true},
    {CTRL_SHUTDOWN_EVENT, "shut-down", cExitHangUp, true},
};

const char cConsoleGoesText[] =
    ": the update goes on for as long as Windows lets the program run (a few seconds). If it is "
    "cut off, cycle power to the motor controller and update again.\n";

enum TPhase : int { cBeforeWriting, cWriting, cStopping };

std::atomic<int> GPhase{cBeforeWriting};
std::atomic<int> GRequests{0};    // stop requests during writing
std::atomic<int> GStopStatus{0};  // the first request's status of a stop at once
TCOMPort* GPorts[cMaxPorts] = {};
std::atomic<std::size_t> GPortCount{0};
std::atomic<bool> GBreakLineFirst{false};

void WriteErr(const char* Text) {
  const HANDLE Err = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD Written = 0;
  ::WriteFile(Err, Text, static_cast<DWORD>(std::strlen(Text)), &Written, nullptr);
}

void Say(const TStopEvent& Stop, const char* Text) {
  if (GBreakLineFirst) WriteErr("\r\n");
  WriteErr(cStopPrefix);
  WriteErr(Stop.Name);
  WriteErr(Text);
}

[[noreturn]] void StopNow(const TStopEvent& Stop, const char* Text) {
  Say(Stop, Text);
  for (std::size_t I = 0; I < GPortCount.load(); ++I) GPorts[I]->Abandon();
  std::_Exit(Stop.Status);
}

// The program ends elsewhere (the other thread's stop, or the operation's
// own end); this thread must not go on meanwhile.
[[noreturn]] void WaitForTheEnd() {
  for (;;) ::Sleep(INFINITE);
}

BOOL WINAPI OnConsoleControl(DWORD Event) {
  const TStopEvent* Stop = nullptr;
  for (const auto& S : cStopEvents)
    if (S.Event == Event) Stop = &S;
  if (Stop == nullptr) return FALSE;
  int Expected = 0;
  (void)GStopStatus.compare_exchange_strong(Expected, Stop->Status);
  int Phase = cBeforeWriting;
  if (GPhase.compare_exchange_strong(Phase, cStopping)) StopNow(*Stop, cNothingWrittenText);
  if (Phase == cStopping) WaitForTheEnd();
  if (Stop->ConsoleGoes) {
    // Returning would end the process at once: hold it while the update runs.
    Say(*Stop, cConsoleGoesText);
    GRequests.fetch_add(1);
    WaitForTheEnd();
  }
  if (GRequests.fetch_add(1) == 0) {
    Say(*Stop, cRunsToEndText);
    return TRUE;
  }
  GPhase.store(cStopping);
  StopNow(*Stop, cStoppedMidUpdateText);
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

void InstallStopHandler(TCOMPort& Port) {
  InstallStopHandler(std::vector<TCOMPort*>{&Port});
}

void InstallStopHandler(const std::vector<TCOMPort*>& Ports) {
  for (std::size_t I = 0; I < Ports.size() && I < cMaxPorts; ++I) GPorts[I] = Ports[I];
  GPortCount = std::min(Ports.size(), cMaxPorts);
  GBreakLineFirst = IsTerminal(TStdStream::Err);
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void MarkWritingBegun() {
  // Lost to a stop that came first: that stop ends the process now, and
  // nothing may be sent meanwhile.
  int Phase = cBeforeWriting;
  if (!GPhase.compare_exchange_strong(Phase, cWriting) && Phase == cStopping) WaitForTheEnd();
  // Another port writes already, and a stop came: this one does not begin.
  if (GRequests.load() != 0) throw EStoppedBeforeWriting();
}

bool StopRequested() {
  return GRequests.load() != 0;
}

int StopStatus() {
  return GStopStatus.load();
}

void HoldStopRequests(bool) {}

bool CanRedrawLines() {
  // Windows 10 and later consoles take the sequences once asked to.
  const HANDLE Out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD Mode = 0;
  if (::GetConsoleMode(Out, &Mode) == 0) return false;
  return ::SetConsoleMode(Out, Mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}
