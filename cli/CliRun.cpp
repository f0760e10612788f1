#include "CliRun.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <string>

#include "Console.h"
#include "ErrorText.h"
#include "Loader.h"
#include "PortSurvey.h"
#include "RecordUnit.h"
#include "SearchRecord.h"
#include "TextOut.h"

namespace {

constexpr std::size_t cPortColumn = 6;  // "COM255"

// Shown when something that is not a standard exception escapes.
const char* const cUnknownError = "Unknown error";

// Per outcome: its name in JSON, its words in the result line, its status.
struct TOutcomeRow {
  TOutcome Outcome;
  const char* Name;
  const char* Words;
  int Status;
};

// clang-format off
constexpr TOutcomeRow cOutcomeTable[] = {
    {TOutcome::Done,           "done",             "done",                                cExitDone},
    {TOutcome::TransferFailed, "transfer-failed",  "the update failed during the transfer", cExitTransferFailed},
    {TOutcome::NoController,   "no-controller",    "no controller found",                 cExitNoController},
    {TOutcome::NoVersionReply, "no-version-reply", "no answer to the version command",    cExitNoController},
    {TOutcome::FileNotOpened,  "file-not-opened",  "the file cannot be opened",           cExitFileRefused},
    {TOutcome::FileWrongSize,  "file-wrong-size",  "the file has the wrong size",         cExitFileRefused},
    {TOutcome::FileWrongModel, "file-wrong-model", "the file is for another model",       cExitFileRefused},
    {TOutcome::NotUpgradeable, "not-upgradeable",  "the controller is not user-upgradeable", cExitControllerRefused},
    {TOutcome::NotSupported,   "not-supported",    "the controller is not supported",     cExitControllerRefused},
    {TOutcome::Error,          "error",            "an unexpected error",                 cExitUnexpected},
};
// clang-format on

const TOutcomeRow& RowOf(TOutcome Outcome) {
  for (const auto& Row : cOutcomeTable)
    if (Row.Outcome == Outcome) return Row;
  return cOutcomeTable[sizeof cOutcomeTable / sizeof cOutcomeTable[0] - 1];
}

}  // namespace

TTerminalView::TControls ControlsFrom(const TCliOptions& Options, const std::string& Port) {
  TTerminalView::TControls Controls;
  Controls.AutoSelectCOMPort = Port.empty();
  if (!Port.empty()) Controls.PortText = PortBoxText(Port);
  Controls.HighSpeed = Options.HighSpeed;
  Controls.PCDirectMode = Options.PCDirectMode;
  Controls.FileName = Options.FileName;
  return Controls;
}

bool RunGuarded(TLoader& Loader, ILoaderView& View, TCliCommand Command) {
  std::string Escaped;
  try {
    if (Command == TCliCommand::Update) {
      Loader.UpdateFirmware();
    } else {
      Loader.QueryVersion();
    }
    return false;
  } catch (const EStoppedBeforeWriting& Stopped) {
    Loader.LastOutcome.Outcome = TOutcome::Error;
    View.ShowError(Stopped.what());
    return true;
  } catch (const std::exception& Error) {
    Escaped = UncaughtErrorText(Error.what());
  } catch (...) {
    Escaped = UncaughtErrorText(cUnknownError);
  }
  Loader.LastOutcome.Outcome = TOutcome::Error;
  View.ShowError(Escaped);
  return false;
}

namespace {

// What a search tried, port by port, for a script to read.
std::vector<TJsonObject> TriedJson(const TSearchRecord& Search) {
  std::vector<TJsonObject> Items;
  for (const TPortTried& P : Search.Ports) {
    const char* const cOutcomeWords[] = {"", "no answer", "found"};
    const std::string Result = P.Outcome == TPortOutcome::NotOpened
                                   ? PortAccessText(P.Report)
                                   : cOutcomeWords[static_cast<int>(P.Outcome)];
    Items.push_back(TJsonObject()
                        .Add("port", P.Report.PortText)
                        .Add("device", P.Report.Device)
                        .Add("info", P.Report.Info)
                        .Add("result", Result));
  }
  return Items;
}

}  // namespace

std::string ResultJson(const TCliOptions& Options, const TOperationOutcome& End,
                       const std::string& Port) {
  TJsonObject Result;
  Result.Add("event", "result")
      .Add("command", Options.Command == TCliCommand::Update ? "update" : "version")
      .Add("outcome", RowOf(End.Outcome).Name)
      .Add("status", ExitStatus(End.Outcome));
  if (!Port.empty()) {
    Result.Add("port", Port);
    if (End.DeviceName.empty()) {
      Result.AddNull("device");
    } else {
      Result.Add("device", End.DeviceName);
    }
  } else if (End.PortText.empty()) {
    Result.AddNull("port").AddNull("device");
  } else {
    Result.Add("port", End.PortText).Add("device", End.DeviceName);
  }
  if (Options.Command == TCliCommand::QueryVersion) {
    if (End.VersionText.empty()) {
      Result.AddNull("version");
    } else {
      Result.Add("version", End.VersionText);
    }
    Result.Add("bootloader", End.Outcome == TOutcome::Done && End.InBootloader);
  }
  if (End.Outcome == TOutcome::NoController) {
    Result.Add("details", SearchDetails(End.Search)).Add("tried", TriedJson(End.Search));
  } else if (!End.Details.empty()) {
    Result.Add("details", End.Details);
  }
  Result.Add("interrupted", StopRequested());
  return Result.Text();
}

std::string ResultLine(const TOperationOutcome& End) {
  std::string Line = std::string("Result: ") + RowOf(End.Outcome).Words;
  if (!End.PortText.empty()) {
    Line += " on " + End.PortText;
    if (End.DeviceName != End.PortText) Line += " (" + End.DeviceName + ")";
  }
  if (!End.VersionText.empty()) Line += ", version " + End.VersionText;
  return PrintableText(Line);
}

std::string ResultWords(TOutcome Outcome) {
  return RowOf(Outcome).Words;
}

namespace {

std::string PortJson(const TPortReport& R) {
  TJsonObject Port;
  Port.Add("event", "port")
      .Add("port", R.PortText)
      .Add("device", R.Device)
      .Add("info", R.Info)
      .Add("access", PortAccessText(R));
  if (R.Access != TPortAccess::Ok) Port.Add("details", SurveyDetails({R}));
  return Port.Text();
}

// One port a line, in columns: number, device, access, what the system knows.
void WritePortTable(const std::vector<TPortReport>& Reports, std::ostream& Out) {
  if (Reports.empty()) {
    Out << "No serial ports found.\n";
    return;
  }
  std::size_t DeviceWidth = 0;
  std::size_t AccessWidth = 0;
  for (const auto& R : Reports) {
    DeviceWidth = std::max(DeviceWidth, R.Device.size());
    AccessWidth = std::max(AccessWidth, PortAccessText(R).size());
  }
  const auto Column = [](const std::string& Text, std::size_t Width) {
    return Text + std::string(Width - std::min(Width, Text.size()) + 2, ' ');
  };
  for (const auto& R : Reports) {
    std::string Line = Column(R.PortText, cPortColumn) + Column(R.Device, DeviceWidth) +
                       Column(PortAccessText(R), AccessWidth) + R.Info;
    Line.erase(Line.find_last_not_of(' ') + 1);
    Out << PrintableText(Line) << '\n';
  }
  // Why the others do not open, and what to do, as a failed search says it.
  const std::string Details = SurveyDetails(Reports);
  if (!Details.empty()) Out << '\n' << PrintableLines(Details) << '\n';
}

}  // namespace

int ExitStatus(TOutcome Outcome) {
  return RowOf(Outcome).Status;
}

const char* OutcomeName(TOutcome Outcome) {
  return RowOf(Outcome).Name;
}

int RunPorts(bool Json, const TPortMapSource& PortMaps, std::ostream& Out) {
  const auto Reports = SurveyPorts(PortMaps);
  if (Json) {
    for (const auto& R : Reports) Out << PortJson(R) << '\n';
    Out << TJsonObject()
               .Add("event", "result")
               .Add("command", "ports")
               .Add("outcome", RowOf(TOutcome::Done).Name)
               .Add("status", cExitDone)
               .Add("count", static_cast<int>(Reports.size()))
               .Text()
        << '\n';
  } else {
    WritePortTable(Reports, Out);
  }
  Out << std::flush;
  return cExitDone;
}

int RunOperation(const TCliOptions& Options, TOutputMode Mode, TCOMPort& Port,
                 const TPortMapSource& PortMaps, std::ostream& Out, std::ostream& Err) {
  TTerminalView View(Mode, Out, Err,
                     ControlsFrom(Options, Options.Ports.empty() ? "" : Options.Ports[0]));
  TLoader Loader(Port, View, PortMaps);
  Loader.OnWritingBegins = MarkWritingBegun;
  const auto Start = std::chrono::steady_clock::now();
  RunGuarded(Loader, View, Options.Command);
  View.EndLine();
  const TOperationOutcome& End = Loader.LastOutcome;
  int Status = ExitStatus(End.Outcome);
  if (!Options.RecordFile.empty()) {
    const double Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    const std::string Error = RecordUnit(Options, {}, Loader, Seconds, Status);
    if (!Error.empty()) {
      Err << "quarnel-cli: " << PrintableText(Error) << '\n' << std::flush;
      if (Status == cExitDone) Status = cExitRecordFailed;
    }
  }
  Out << (Mode == TOutputMode::Json ? ResultJson(Options, End) : ResultLine(End)) << '\n'
      << std::flush;
  return Status;
}
