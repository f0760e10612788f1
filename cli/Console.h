// What the command-line program needs of the platform's console: its
// arguments as UTF-8, whether an output is a terminal, and Ctrl-C.
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

// From here on Ctrl-C does what closing the window does: the first one lets
// the operation run to its end and says so on stderr at once; a second one
// says the controller needs a power cycle and a new update, closes Port and
// ends the program with status 130.
void InstallInterruptHandler(TCOMPort& Port);
// True once the first Ctrl-C came.
bool InterruptRequested();

constexpr int cExitStopped = 130;

// What each Ctrl-C says on stderr, written from the handler as it comes.
inline constexpr char cFirstInterruptText[] =
    "quarnel-cli: Ctrl-C: the operation runs to its end (an update cut off mid-block leaves the "
    "controller without firmware). Press Ctrl-C again to stop at once.\n";
inline constexpr char cSecondInterruptText[] =
    "quarnel-cli: stopped. The motor controller needs a power cycle and a new update.\n";
