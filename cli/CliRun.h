// The three commands of quarnel-cli, each run to its end with its result
// written out; each returns the program's exit status.
#pragma once

#include <ostream>

#include "CliArgs.h"
#include "ComPort.h"
#include "Outcome.h"
#include "PortMap.h"
#include "TerminalView.h"

constexpr int cExitDone = 0;
constexpr int cExitTransferFailed = 1;
constexpr int cExitUsage = 2;
constexpr int cExitNoController = 3;
constexpr int cExitFileRefused = 4;
constexpr int cExitControllerRefused = 5;
constexpr int cExitUnexpected = 70;

int ExitStatus(TOutcome Outcome);

// "ports": the survey, one line (or JSON object) per port, then the result.
int RunPorts(bool Json, const TPortMapSource& PortMaps, std::ostream& Out);

// "version" and "update" through the loader on Port.
int RunOperation(const TCliOptions& Options, TOutputMode Mode, TCOMPort& Port,
                 const TPortMapSource& PortMaps, std::ostream& Out, std::ostream& Err);
