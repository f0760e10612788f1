#include "PortBoard.h"

namespace {

const char* const cEraseLine = "\r\x1b[2K";

std::string CursorUp(std::size_t Lines) {
  return "\x1b[" + std::to_string(Lines) + "A";
}

}  // namespace

TPortBoard::TPortBoard(std::ostream& Out, std::ostream& Err, std::size_t Ports, bool Redraw)
    : FOut(Out), FErr(Err), FRedraw(Redraw), FLines(Ports) {}

void TPortBoard::Line(TStdStream Stream, const std::string& Text) {
  const std::lock_guard<std::mutex> Hold(FLock);
  std::ostream& To = Stream == TStdStream::Out ? FOut : FErr;
  To << Text + '\n' << std::flush;
}

void TPortBoard::Set(std::size_t Port, const std::string& Text) {
  const std::lock_guard<std::mutex> Hold(FLock);
  if (Port >= FLines.size() || FLines[Port] == Text) return;
  FLines[Port] = Text;
  Draw();
}

void TPortBoard::Finish() {
  const std::lock_guard<std::mutex> Hold(FLock);
  FDrawn = false;
}

// All lines in one write, so a terminal never shows half a board.
void TPortBoard::Draw() {
  std::string Text = FDrawn ? CursorUp(FLines.size()) : std::string();
  for (const std::string& Line : FLines) Text += cEraseLine + Line + '\n';
  FOut << Text << std::flush;
  FDrawn = true;
}
