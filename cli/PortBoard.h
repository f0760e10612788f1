// Output shared by the operations of a run on several ports: whole lines
// under one lock, so that ports never mix, and on a terminal one line a
// port, redrawn in place.
#pragma once

#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "Console.h"

class TPortBoard {
 public:
  // Redraw: stdout is a terminal that takes cursor-up and erase-line.
  TPortBoard(std::ostream& Out, std::ostream& Err, std::size_t Ports, bool Redraw);

  bool Redraws() const { return FRedraw; }
  // A whole line (its end added) on stdout or stderr.
  void Line(TStdStream Stream, const std::string& Text);
  // Redrawing: port Port's line now reads Text (already printable).
  void Set(std::size_t Port, const std::string& Text);
  // Redrawing: the lines stay as they are and what follows starts below.
  void Finish();

 private:
  void Draw();

  std::mutex FLock;
  std::ostream& FOut;
  std::ostream& FErr;
  const bool FRedraw;
  std::vector<std::string> FLines;
  bool FDrawn = false;  // the lines stand on the terminal, the cursor below them
};
