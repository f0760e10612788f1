// The loader's view of one port in a run on several: the controls as the
// command line sets them, and everything it says labelled with its port on
// the shared board.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "PortBoard.h"
#include "TerminalView.h"

class TPortView : public TTerminalView {
 public:
  TPortView(TOutputMode Mode, TPortBoard& Board, std::size_t Index, std::string Label,
            TControls Controls);

  void SetPrompt(const std::string& Text) override;
  std::string Prompt() const override { return FPrompt; }
  void SetProgress(const TProgress& Progress) override;
  using ILoaderView::ShowError;
  void ShowError(const std::string& Text, const std::string& Details) override;

  const std::string& Label() const { return FLabel; }
  // Redrawing: the messages kept until the board is finished, with details.
  const std::vector<std::string>& Kept() const { return FKept; }

 private:
  std::string Seconds() const;
  std::string Prefixed(const std::string& Text) const;

  TOutputMode FMode;
  TPortBoard& FBoard;
  std::size_t FIndex;
  std::string FLabel;
  std::string FPrompt;
  std::vector<std::string> FKept;
  std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
};
