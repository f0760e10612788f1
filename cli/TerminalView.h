// The loader's view for a terminal: the window's controls become fixed
// settings from the command line, the status line becomes output, and every
// message box goes to stderr.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

#include "LoaderView.h"

enum class TOutputMode {
  Terminal,  // progress redrawn in place on one line with a bar; other texts as lines
  Lines,     // every status text on a line of its own
  Json,      // one JSON object per line, progress numbers included
};

class TTerminalView : public ILoaderView {
 public:
  // The controls as the command line sets them; the rest as the window starts.
  struct TControls {
    bool AutoSelectCOMPort = true;
    std::string PortText = "COM1";
    bool HighSpeed = false;  // the high-speed box shown and ticked
    bool PCDirectMode = true;
    std::string FileName;
  };

  TTerminalView(TOutputMode Mode, std::ostream& Out, std::ostream& Err, TControls Controls);

  // Ends a line being redrawn in place, so what follows starts a line.
  void EndLine();

  void SetPrompt(const std::string& Text) override;
  std::string Prompt() const override { return FPrompt; }
  void SetPromptColor(TPromptColor) override {}
  void SetProgress(const TProgress& Progress) override;
  // The text on stderr, its details (if any) on the lines after it.
  using ILoaderView::ShowError;
  void ShowError(const std::string& Text, const std::string& Details) override;
  void ProcessMessages() override {}
  bool AutoSelectCOMPort() const override { return FControls.AutoSelectCOMPort; }
  void SetAutoSelectCOMPort(bool Checked) override { FControls.AutoSelectCOMPort = Checked; }
  std::string PortText() const override { return FControls.PortText; }
  void SetPortText(const std::string& Text) override { FControls.PortText = Text; }
  void SetPortEnabled(bool) override {}
  void SetPortDevice(const std::string&) override {}
  bool HighSpeedVisible() const override { return FControls.HighSpeed; }
  bool HighSpeedChecked() const override { return true; }
  bool PCDirectMode() const override { return FControls.PCDirectMode; }
  std::string FileName() const override { return FControls.FileName; }
  // Nothing to disable: a terminal starts one operation per run.
  void DisableAllComponent() override {}
  void EnableAllComponent() override {}

 private:
  void DrawInPlace(const std::string& Line);

  TOutputMode FMode;
  std::ostream& FOut;
  std::ostream& FErr;
  TControls FControls;
  std::string FPrompt;         // the status line as it stands
  std::string FProgressText;   // the text the line drawn in place shows
  std::size_t FDrawnSize = 0;  // characters of the line drawn in place; 0 when none is
};

// "[##########--------------------] 33% of MCU 1  12/36 blocks", after
// Prefix (say a port name) and a blank when Prefix is not empty.
std::string ProgressLine(const TProgress& Progress, const std::string& Prefix = {});
