// quarnel-cli: the version query and the update from a terminal, through the
// same loader as the window.
#include <exception>
#include <iostream>

#include "CliArgs.h"
#include "CliRun.h"
#include "ComPort.h"
#include "Console.h"
#include "ErrorText.h"
#include "MultiRun.h"
#include "InfoCommand.h"
#include "PortMap.h"
#include "QuarnelVersion.h"

namespace {

const char* const cProgramName = "quarnel-cli";

TOutputMode OutputMode(bool Json) {
  if (Json) return TOutputMode::Json;
  return IsTerminal(TStdStream::Out) ? TOutputMode::Terminal : TOutputMode::Lines;
}

int Main(int argc, char** argv) {
  PrepareConsole();
  TCliOptions Options;
  try {
    Options = ParseCliArgs(ProgramArguments(argc, argv));
  } catch (const ECliUsage& Error) {
    std::cerr << cProgramName << ": " << Error.what() << "\nTry '" << cProgramName << " --help'.\n";
    return cExitUsage;
  }
  switch (Options.Command) {
    case TCliCommand::Help:
      std::cout << cCliHelp;
      return cExitDone;
    case TCliCommand::ProgramVersion:
      std::cout << cProgramName << " " << cQuarnelVersion << "\n";
      return cExitDone;
    case TCliCommand::Ports:
      return RunPorts(Options.Json, SystemPortMap, std::cout);
    case TCliCommand::Info:
      return RunInfo(Options.FileName, Options.Json, std::cout, std::cerr);
    case TCliCommand::QueryVersion:
    case TCliCommand::Update:
      break;
  }
  if (Options.Ports.size() > 1) {
    return RunOnPorts(Options, OutputMode(Options.Json), CanRedrawLines(), SystemPortMap,
                      std::cout, std::cerr);
  }
  InstallStopHandler(Comm1);
  return RunOperation(Options, OutputMode(Options.Json), Comm1, SystemPortMap, std::cout,
                      std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& Error) {
    std::cerr << cProgramName << ": " << UncaughtErrorText(Error.what()) << "\n";
  } catch (...) {
    std::cerr << cProgramName << ": unexpected error\n";
  }
  return cExitUnexpected;
}
