#include "TerminalView.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "TextOut.h"
#include "TransferRules.h"

namespace {

constexpr std::size_t cBarWidth = 30;
constexpr std::int32_t cFullPercent = 100;

}  // namespace

std::string ProgressLine(const TProgress& Progress, const std::string& Prefix) {
  const auto Clamped = static_cast<std::size_t>(std::clamp(Progress.Percent, 0, cFullPercent));
  const std::size_t Filled = Clamped * cBarWidth / cFullPercent;
  const std::string Head = Prefix.empty() ? std::string() : PrintableText(Prefix) + " ";
  return Head + "[" + std::string(Filled, '#') + std::string(cBarWidth - Filled, '-') + "] " +
         ProgressText(Progress.Percent, Progress.Mcu) + "  " + std::to_string(Progress.BlocksDone) +
         "/" + std::to_string(Progress.BlocksTotal) + " blocks";
}

TTerminalView::TTerminalView(TOutputMode Mode, std::ostream& Out, std::ostream& Err,
                             TControls Controls)
    : FMode(Mode), FOut(Out), FErr(Err), FControls(std::move(Controls)) {}

void TTerminalView::EndLine() {
  if (FDrawnSize == 0) return;
  FOut << '\n' << std::flush;
  FDrawnSize = 0;
}

void TTerminalView::DrawInPlace(const std::string& Line) {
  // Spaces over whatever the longer line before left; no terminal escapes,
  // so any console will do.
  const std::size_t Pad = FDrawnSize > Line.size() ? FDrawnSize - Line.size() : 0;
  FOut << '\r' << Line << std::string(Pad, ' ') << std::flush;
  FDrawnSize = std::max<std::size_t>(Line.size(), 1);
}

void TTerminalView::SetPrompt(const std::string& Text) {
  if (Text == FPrompt) return;  // the status line does not change
  FPrompt = Text;
  if (FMode == TOutputMode::Json) {
    FOut << TJsonObject().Add("event", "status").Add("text", Text).Text() << '\n' << std::flush;
    return;
  }
  // The loader reports the numbers first, so the line drawn in place already
  // shows this text.
  if (FMode == TOutputMode::Terminal && FDrawnSize != 0 && Text == FProgressText) return;
  EndLine();
  if (!Text.empty()) FOut << PrintableText(Text) << '\n' << std::flush;
}

void TTerminalView::SetProgress(const TProgress& Progress) {
  if (FMode == TOutputMode::Json) {
    FOut << TJsonObject()
                .Add("event", "progress")
                .Add("mcu", Progress.Mcu)
                .Add("blocks", Progress.BlocksDone)
                .Add("total", Progress.BlocksTotal)
                .Add("percent", Progress.Percent)
                .Text()
         << '\n'
         << std::flush;
    return;
  }
  if (FMode != TOutputMode::Terminal) return;  // lines: the status texts say it all
  FProgressText = ProgressText(Progress.Percent, Progress.Mcu);
  DrawInPlace(ProgressLine(Progress));
}

void TTerminalView::ShowError(const std::string& Text, const std::string& Details) {
  EndLine();
  if (FMode == TOutputMode::Json) {
    TJsonObject Event;
    Event.Add("event", "error").Add("text", Text);
    if (!Details.empty()) Event.Add("details", Details);
    FOut << Event.Text() << '\n' << std::flush;
  }
  FErr << PrintableText(Text) << '\n';
  if (!Details.empty()) FErr << PrintableLines(Details) << '\n';
  FErr << std::flush;
}
