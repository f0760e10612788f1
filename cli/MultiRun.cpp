#include "MultiRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CliRun.h"
#include "Console.h"
#include "Loader.h"
#include "PortView.h"
#include "RecordUnit.h"
#include "TextOut.h"

namespace {

using TClock = std::chrono::steady_clock;

// One port's operation and what came of it.
struct TUnit {
  TUnit(const TCliOptions& Options, TOutputMode Mode, TPortBoard& Board, std::size_t Index,
        const TPortMapSource& PortMaps)
      : View(Mode, Board, Index, PortBoxText(Options.Ports[Index]),
             ControlsFrom(Options, Options.Ports[Index])),
        Loader(Port, View, PortMaps) {}

  TCOMPort Port;
  TPortView View;
  TLoader Loader;
  double Seconds = 0;
  int Status = cExitUnexpected;
  std::string RecordError;  // why its record line could not be written
};

void RunUnit(TUnit& Unit, const TCliOptions& Options) {
  const auto Start = TClock::now();
  Unit.Loader.OnWritingBegins = MarkWritingBegun;
  const bool HeldBack = RunGuarded(Unit.Loader, Unit.View, Options.Command);
  Unit.Seconds = std::chrono::duration<double>(TClock::now() - Start).count();
  // A port held back by a stop before it wrote ends with the stop's status.
  Unit.Status = HeldBack ? StopStatus() : ExitStatus(Unit.Loader.LastOutcome.Outcome);
  if (!Options.RecordFile.empty())
    Unit.RecordError =
        RecordUnit(Options, Unit.View.Label(), Unit.Loader, Unit.Seconds, Unit.Status);
}

std::string ModelText(const TUnit& Unit) {
  const TOperationOutcome& End = Unit.Loader.LastOutcome;
  if (End.McuCount == 0) return End.ModelCode < 0 ? "-" : "code " + std::to_string(End.ModelCode);
  return std::to_string(End.McuCount) + " x " + McuModelName(Unit.Loader.Params.MCUModel);
}

std::string Column(const std::string& Text, std::size_t Width) {
  return Text + std::string(Width - std::min(Width, Text.size()) + 2, ' ');
}

// Port, device, model, blocks, seconds, result: a row a port.
void WriteSummary(const std::vector<std::unique_ptr<TUnit>>& Units, std::ostream& Out) {
  std::vector<std::vector<std::string>> Rows = {
      {"port", "device", "model", "blocks", "seconds", "result"}};
  for (const auto& U : Units) {
    const TOperationOutcome& End = U->Loader.LastOutcome;
    char Seconds[32];
    std::snprintf(Seconds, sizeof Seconds, "%.1f", U->Seconds);
    Rows.push_back({U->View.Label(), End.DeviceName.empty() ? "-" : End.DeviceName, ModelText(*U),
                    std::to_string(End.BlocksWritten), Seconds, ResultWords(End.Outcome)});
  }
  std::vector<std::size_t> Widths(Rows[0].size(), 0);
  for (const auto& Row : Rows)
    for (std::size_t C = 0; C < Row.size(); ++C) Widths[C] = std::max(Widths[C], Row[C].size());
  for (const auto& Row : Rows) {
    std::string Line;
    for (std::size_t C = 0; C < Row.size(); ++C) Line += Column(Row[C], Widths[C]);
    Line.erase(Line.find_last_not_of(' ') + 1);
    Out << PrintableText(Line) << '\n';
  }
}

void WriteResults(const TCliOptions& Options, TOutputMode Mode,
                  const std::vector<std::unique_ptr<TUnit>>& Units, int Status, std::ostream& Out,
                  std::ostream& Err) {
  std::vector<std::string> Failed;
  for (const auto& U : Units) {
    const TOperationOutcome& End = U->Loader.LastOutcome;
    if (U->Status != cExitDone) Failed.push_back(U->View.Label());
    if (!U->RecordError.empty())
      Err << PrintableText("quarnel-cli: " + U->View.Label() + ": " + U->RecordError) << '\n';
    if (Mode == TOutputMode::Json) Out << ResultJson(Options, End, U->View.Label()) << '\n';
  }
  if (Mode == TOutputMode::Json) {
    Out << TJsonObject()
               .Add("event", "summary")
               .Add("status", Status)
               .Add("ports", static_cast<int>(Units.size()))
               .Add("failed", static_cast<int>(Failed.size()))
               .Text()
        << '\n';
  } else {
    Out << '\n';
    WriteSummary(Units, Out);
    if (!Failed.empty()) {
      std::string Line = "Failed:";
      for (const auto& Name : Failed) Line += " " + Name;
      Out << PrintableText(Line) << '\n';
    }
  }
  Out << std::flush;
  Err << std::flush;
}

}  // namespace

int RunOnPorts(const TCliOptions& Options, TOutputMode Mode, bool Redraw,
               const TPortMapSource& PortMaps, std::ostream& Out, std::ostream& Err) {
  TPortBoard Board(Out, Err, Options.Ports.size(), Redraw && Mode == TOutputMode::Terminal);
  std::vector<std::unique_ptr<TUnit>> Units;
  std::vector<TCOMPort*> Ports;
  for (std::size_t I = 0; I < Options.Ports.size(); ++I) {
    Units.push_back(std::make_unique<TUnit>(Options, Mode, Board, I, PortMaps));
    Ports.push_back(&Units.back()->Port);
  }
  InstallStopHandler(Ports);
  std::vector<std::thread> Threads;
  HoldStopRequests(true);  // the workers never take a stop request themselves
  for (auto& U : Units) Threads.emplace_back(RunUnit, std::ref(*U), std::cref(Options));
  HoldStopRequests(false);
  for (auto& T : Threads) T.join();
  Board.Finish();
  for (const auto& U : Units)
    for (const auto& Kept : U->View.Kept()) Err << Kept << '\n';

  int Status = cExitDone;
  for (const auto& U : Units) {
    if (U->Status != cExitDone) {
      Status = U->Status;
      break;
    }
  }
  for (const auto& U : Units)
    if (Status == cExitDone && !U->RecordError.empty()) Status = cExitRecordFailed;
  WriteResults(Options, Mode, Units, Status, Out, Err);
  return Status;
}
