// What the command-line program needs of the platform's console: its
// arguments as UTF-8, whether an output is a terminal, and stop requests.
#pragma once

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
void InstallStopHandler(TCOMPort& Port);
// The loader's hook: writing into the controller begins now.
void MarkWritingBegun();
// True once a stop request came during writing.
bool StopRequested();

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
