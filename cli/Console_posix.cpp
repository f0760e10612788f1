// POSIX console: isatty, and the stop signals through a handler that only
// reads and sets flags, writes with write(2), closes the port and calls _exit.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "Console.h"

namespace {

// Per stop signal: its name in the messages and the status of a stop at once.
struct TStopSignal {
  int Number;
  const char* Name;
  int Status;
};

constexpr TStopSignal cStopSignals[] = {
    {SIGINT, "Ctrl-C", cExitInterrupt},
    {SIGTERM, "SIGTERM", cExitTerminate},
    {SIGHUP, "SIGHUP", cExitHangUp},
};

// Lock-free atomics: safe in the handler, and shared with the workers of a
// run on several ports.
enum TPhase : int { cBeforeWriting, cWriting, cStopping };
std::atomic<int> GPhase{cBeforeWriting};
std::atomic<int> GRequested{0};   // a stop request came during writing
std::atomic<int> GStopAsked{0};   // ... and one of them was a Ctrl-C or SIGTERM
std::atomic<int> GStopStatus{0};  // the first request's status of a stop at once
TCOMPort* GPorts[cMaxPorts] = {};
std::atomic<std::size_t> GPortCount{0};
// A message starts on a line of its own when stderr is a terminal, where a
// progress line may be half drawn.
bool GBreakLineFirst = false;

// Errors are ignored: with the terminal gone there is nowhere to say them.
void WriteAll(const char* Text) {
  std::size_t Size = std::strlen(Text);
  while (Size > 0) {
    const ssize_t Done = ::write(STDERR_FILENO, Text, Size);
    if (Done > 0) {
      Text += Done;
      Size -= static_cast<std::size_t>(Done);
    } else if (Done < 0 && errno == EINTR) {
      continue;
    } else {
      return;
    }
  }
}

void Say(const TStopSignal& Signal, const char* Text) {
  if (GBreakLineFirst) WriteAll("\n");
  WriteAll(cStopPrefix);
  WriteAll(Signal.Name);
  WriteAll(Text);
}

[[noreturn]] void StopNow(const TStopSignal& Signal, const char* Text) {
  Say(Signal, Text);
  for (std::size_t I = 0; I < GPortCount.load(); ++I) GPorts[I]->Abandon();
  ::_exit(Signal.Status);
}

extern "C" void OnStopSignal(int Number) {
  const int SavedErrno = errno;
  const TStopSignal* Signal = &cStopSignals[0];
  for (const auto& S : cStopSignals)
    if (S.Number == Number) Signal = &S;
  int Expected = 0;
  (void)GStopStatus.compare_exchange_strong(Expected, Signal->Status);
  int Phase = cBeforeWriting;
  if (GPhase.compare_exchange_strong(Phase, cStopping)) StopNow(*Signal, cNothingWrittenText);
  const bool HangUp = Signal->Number == SIGHUP;
  if (GStopAsked == 0 || HangUp) {
    if (GRequested == 0 || !HangUp) Say(*Signal, cRunsToEndText);
    GRequested = 1;
    if (!HangUp) GStopAsked = 1;
    errno = SavedErrno;
    return;
  }
  GPhase.store(cStopping);
  StopNow(*Signal, cStoppedMidUpdateText);
}

}  // namespace

void PrepareConsole() {
  // A reader that goes away gets EPIPE on our writes instead of killing us.
  (void)::signal(SIGPIPE, SIG_IGN);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool IsTerminal(TStdStream Stream) {
  return ::isatty(Stream == TStdStream::Out ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

void InstallStopHandler(TCOMPort& Port) {
  InstallStopHandler(std::vector<TCOMPort*>{&Port});
}

void InstallStopHandler(const std::vector<TCOMPort*>& Ports) {
  for (std::size_t I = 0; I < Ports.size() && I < cMaxPorts; ++I) GPorts[I] = Ports[I];
  GPortCount = std::min(Ports.size(), cMaxPorts);
  GBreakLineFirst = IsTerminal(TStdStream::Err);
  struct sigaction Action {};
  Action.sa_handler = OnStopSignal;
  // One handler at a time: a request arriving during another waits for it.
  sigemptyset(&Action.sa_mask);
  for (const auto& S : cStopSignals) sigaddset(&Action.sa_mask, S.Number);
  // Waits and writes of the operation go on where they were.
  Action.sa_flags = SA_RESTART;
  for (const auto& S : cStopSignals) {
    // A signal ignored when we started stays so: nohup, or a shell's
    // background job, asked for that.
    struct sigaction Before {};
    if (::sigaction(S.Number, nullptr, &Before) == 0 && Before.sa_handler == SIG_IGN) continue;
    (void)::sigaction(S.Number, &Action, nullptr);
  }
}

void MarkWritingBegun() {
  int Phase = cBeforeWriting;
  if (GPhase.compare_exchange_strong(Phase, cWriting) || Phase == cWriting) {
    // Another port writes already, and a stop came: this one does not begin.
    if (GRequested.load() != 0) throw EStoppedBeforeWriting();
    return;
  }
  // A stop at once is ending the process; nothing may be sent meanwhile.
  for (;;) ::pause();
}

bool StopRequested() {
  return GRequested.load() != 0;
}

int StopStatus() {
  return GStopStatus.load();
}

void HoldStopRequests(bool Hold) {
  sigset_t Set;
  sigemptyset(&Set);
  for (const auto& S : cStopSignals) sigaddset(&Set, S.Number);
  (void)::pthread_sigmask(Hold ? SIG_BLOCK : SIG_UNBLOCK, &Set, nullptr);
}

bool CanRedrawLines() {
  const char* Term = std::getenv("TERM");
  return IsTerminal(TStdStream::Out) && Term != nullptr && std::string(Term) != "dumb";
}
