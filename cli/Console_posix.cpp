// POSIX console: isatty, and SIGINT through a handler that only sets a flag,
// writes with write(2), closes a descriptor and calls _exit.
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>

#include "Console.h"

namespace {

volatile std::sig_atomic_t GInterrupts = 0;
TCOMPort* GPort = nullptr;
// A message starts on a line of its own when stderr is a terminal, where a
// progress line may be half drawn.
bool GBreakLineFirst = false;

void WriteAll(const char* Text, std::size_t Size) {
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

void Say(const char* Text, std::size_t Size) {
  if (GBreakLineFirst) WriteAll("\n", 1);
  WriteAll(Text, Size - 1);  // without the terminating NUL
}

extern "C" void OnInterrupt(int) {
  const int SavedErrno = errno;
  if (GInterrupts == 0) {
    GInterrupts = 1;
    Say(cFirstInterruptText, sizeof cFirstInterruptText);
    errno = SavedErrno;
    return;
  }
  Say(cSecondInterruptText, sizeof cSecondInterruptText);
  if (GPort != nullptr && GPort->Enabled) {
    // As the port's Close: exclusive mode must not outlive us on a tty that
    // another party keeps open.
    (void)::ioctl(GPort->FHandle, TIOCNXCL);
    (void)::close(GPort->FHandle);
  }
  ::_exit(cExitStopped);
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

void InstallInterruptHandler(TCOMPort& Port) {
  GPort = &Port;
  GBreakLineFirst = IsTerminal(TStdStream::Err);
  struct sigaction Action {};
  Action.sa_handler = OnInterrupt;
  sigemptyset(&Action.sa_mask);
  // Waits and writes of the operation go on where they were.
  Action.sa_flags = SA_RESTART;
  (void)::sigaction(SIGINT, &Action, nullptr);
}

bool InterruptRequested() {
  return GInterrupts != 0;
}
