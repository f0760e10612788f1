// What the command-line program needs of the platform's console: its
// arguments as UTF-8, whether an output is a terminal, and stop requests.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "ComPort.h"

enum class TStdStream { Out, Err };

// Once, first thing: output as UTF-8 where the console needs telling, and a
// closed pipe on stdout must not end the program in the middle of an update.
void PrepareConsole();

// The arguments after the program name, as UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);

bool IsTerminal(TStdStream Stream);

// From here on the stop requests are handled: SIGINT, SIGTERM and SIGHUP on
// POSIX; on Windows the console's Ctrl-C, Ctrl-Break, close, log-off and
// shut-down events. Each one is said on stderr as it comes.
// - Until MarkWritingBegun, nothing has been written into the controller:
//   the first request drops what Port still has queued, closes it and ends
//   the program with the request's status.
// - After it, the first request lets the operation run to its end (its own
//   status then stands); a second Ctrl-C or SIGTERM stops at once as above,
//   and says the controller needs a power cycle and a new update. A hang-up
//   never counts as the second: a terminal going away can deliver it twice,
//   and nobody is left to ask. On Windows a closing console ends the
//   process a few seconds later, whatever is still running.
// With several ports, a stop at once drops and closes every one; once one
// of them writes, a first request lets every port that writes run to its
// end, and a port that has not begun by then does not begin.
void InstallStopHandler(TCOMPort& Port);
void InstallStopHandler(const std::vector<TCOMPort*>& Ports);
// The most ports one run takes: one thread and one port each.
constexpr std::size_t cMaxPorts = 64;

// Thrown by MarkWritingBegun when a stop request came first: nothing was
// written to this controller, and nothing may be.
class EStoppedBeforeWriting : public std::runtime_error {
 public:
  EStoppedBeforeWriting()
      : std::runtime_error("Stopped before writing: nothing was written to this motor controller.") {}
};
// The loader's hook: writing into the controller begins now.
void MarkWritingBegun();
// True once a stop request came during writing.
bool StopRequested();
// The status of a stop at once for the first request that came; 0 before any.
int StopStatus();

// Held, this thread gets no stop requests, nor do threads it makes
// meanwhile: so they reach only the thread that made the workers. (Windows
// runs its console handler on a thread of its own: nothing to hold there.)
void HoldStopRequests(bool Hold);

// stdout is a terminal on which lines above the cursor can be redrawn
// (cursor-up and erase-line sequences).
bool CanRedrawLines();

// Statuses of a stop at once, as a shell reports a program ended by the
// signal (128 + its number). Windows: Ctrl-C and Ctrl-Break 130; a closing
// console, a log-off or a shut-down 129, as a hang-up.
constexpr int cExitHangUp = 129;
constexpr int cExitInterrupt = 130;
constexpr int cExitTerminate = 143;

// What a request says on stderr: "quarnel-cli: ", the request's name
// ("Ctrl-C", "SIGTERM", ...), then one of these.
inline constexpr char cStopPrefix[] = "quarnel-cli: ";
inline constexpr char cNothingWrittenText[] =
    ": stopped. Nothing was written to the motor controller; the command can simply be run "
    "again.\n";
inline constexpr char cRunsToEndText[] =
    ": the update runs to its end (an update cut off mid-block leaves the controller without "
    "firmware). Press Ctrl-C again to stop at once.\n";
inline constexpr char cStoppedMidUpdateText[] =
    ": stopped. The motor controller needs a power cycle and a new update.\n";
