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

std::string ProgressLine(std::int32_t Percent, const std::string& Text) {
  const auto Clamped = static_cast<std::size_t>(std::clamp(Percent, 0, cFullPercent));
  const std::size_t Filled = Clamped * cBarWidth / cFullPercent;
  return "[" + std::string(Filled, '#') + std::string(cBarWidth - Filled, '-') + "] " + Text;
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
  std::int32_t Percent = 0;
  int Mcu = 0;
  if (FMode == TOutputMode::Terminal && ReadProgressText(Text, Percent, Mcu)) {
    DrawInPlace(ProgressLine(Percent, Text));
    return;
  }
  EndLine();
  if (!Text.empty()) FOut << PrintableText(Text) << '\n' << std::flush;
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
