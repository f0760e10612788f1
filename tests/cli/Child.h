// Runs a program as a child process with its stdout and stderr captured,
// always within a time limit, so a test never hangs on it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct TChildResult {
  bool TimedOut = false;  // killed at the limit
  int ExitStatus = -1;    // -1 when it did not exit normally
  int Signal = 0;         // the signal that ended it, if one did
  std::string Out;
  std::string Err;
};

// Called every few milliseconds while the child runs, with its pid and its
// output so far.
using TWhileRunning = std::function<void(pid_t Pid, const TChildResult& SoFar)>;

// Program and Args (without the program name).
TChildResult RunChild(const std::string& Program, const std::vector<std::string>& Args,
                      std::chrono::milliseconds Limit, const TWhileRunning& WhileRunning = {});

// Program with stdout and stderr on a new pseudo-terminal that is its
// controlling terminal, as in a terminal window or an SSH session. Once
// HangUpWhen returns true the terminal hangs up (its master side is closed),
// as when the window closes or the session drops: the system sends SIGHUP
// and writes to the terminal fail from then on. Out holds what the terminal
// showed until then, stdout and stderr together.
TChildResult RunChildOnTerminal(const std::string& Program, const std::vector<std::string>& Args,
                                std::chrono::milliseconds Limit,
                                const std::function<bool()>& HangUpWhen);
