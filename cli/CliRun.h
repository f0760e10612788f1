// The three commands of quarnel-cli, each run to its end with its result
// written out; each returns the program's exit status.
#pragma once

#include <ostream>

#include "CliArgs.h"
#include "ComPort.h"
#include "Loader.h"
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
// Every operation succeeded, but a line of --record could not be written.
constexpr int cExitRecordFailed = 74;

int ExitStatus(TOutcome Outcome);
// The outcome's name in JSON and in records: "done", "transfer-failed", ...
const char* OutcomeName(TOutcome Outcome);

// The window's controls for an operation on Port (empty: every port).
TTerminalView::TControls ControlsFrom(const TCliOptions& Options, const std::string& Port);

// Runs the operation. An error that escapes it ends it with the outcome
// Error and is shown as the window's error box shows it; a stop before
// writing (several ports) says nothing was written, and makes it return true.
bool RunGuarded(TLoader& Loader, ILoaderView& View, TCliCommand Command);

// The result of an operation: a "result" JSON object, or "Result: ..." with
// where and what; the outcome in words ("no controller found").
// Port, when given, is the port of a run on several, always named.
std::string ResultJson(const TCliOptions& Options, const TOperationOutcome& End,
                       const std::string& Port = {});
std::string ResultLine(const TOperationOutcome& End);
std::string ResultWords(TOutcome Outcome);

// "ports": the survey, one line (or JSON object) per port, then the result.
int RunPorts(bool Json, const TPortMapSource& PortMaps, std::ostream& Out);

// "version" and "update" through the loader on Port.
int RunOperation(const TCliOptions& Options, TOutputMode Mode, TCOMPort& Port,
                 const TPortMapSource& PortMaps, std::ostream& Out, std::ostream& Err);
