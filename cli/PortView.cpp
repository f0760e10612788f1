#include "PortView.h"

#include <cstdio>
#include <iostream>
#include <utility>

#include "TextOut.h"

TPortView::TPortView(TOutputMode Mode, TPortBoard& Board, std::size_t Index, std::string Label,
                     TControls Controls)
    : TTerminalView(Mode, std::cout, std::cerr, std::move(Controls)),
      FMode(Mode),
      FBoard(Board),
      FIndex(Index),
      FLabel(std::move(Label)) {}

std::string TPortView::Seconds() const {
  const double S = std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
  char Text[32];
  std::snprintf(Text, sizeof Text, "%.1f s", S);
  return Text;
}

std::string TPortView::Prefixed(const std::string& Text) const {
  return PrintableText(FLabel + ": " + Text);
}

void TPortView::SetPrompt(const std::string& Text) {
  if (Text == FPrompt) return;
  FPrompt = Text;
  if (FMode == TOutputMode::Json) {
    FBoard.Line(TStdStream::Out,
                TJsonObject().Add("event", "status").Add("port", FLabel).Add("text", Text).Text());
  } else if (FBoard.Redraws()) {
    FBoard.Set(FIndex, PrintableText(FLabel + "  " + Text + "  " + Seconds()));
  } else if (!Text.empty()) {
    FBoard.Line(TStdStream::Out, Prefixed(Text));
  }
}

void TPortView::SetProgress(const TProgress& Progress) {
  if (FMode == TOutputMode::Json) {
    FBoard.Line(TStdStream::Out, TJsonObject()
                                     .Add("event", "progress")
                                     .Add("port", FLabel)
                                     .Add("mcu", Progress.Mcu)
                                     .Add("blocks", Progress.BlocksDone)
                                     .Add("total", Progress.BlocksTotal)
                                     .Add("percent", Progress.Percent)
                                     .Text());
  } else if (FBoard.Redraws()) {
    FBoard.Set(FIndex, ProgressLine(Progress, FLabel) + "  " + Seconds());
  }
}

void TPortView::ShowError(const std::string& Text, const std::string& Details) {
  if (FMode == TOutputMode::Json) {
    TJsonObject Event;
    Event.Add("event", "error").Add("port", FLabel).Add("text", Text);
    if (!Details.empty()) Event.Add("details", Details);
    FBoard.Line(TStdStream::Out, Event.Text());
  }
  std::string Said = Prefixed(Text);
  if (!Details.empty()) Said += '\n' + PrintableLines(Details);
  if (FBoard.Redraws()) {
    // stderr shares the terminal: said once the board is finished.
    FBoard.Set(FIndex, Prefixed(Text));
    FKept.push_back(Said);
  } else {
    FBoard.Line(TStdStream::Err, Said);
  }
}
