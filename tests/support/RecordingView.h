// A fake of the window for loader tests: records everything the loader shows
// or does to the window, and lets a test act from inside ProcessMessages
// (for instance play the controller, or press a button mid-operation).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "LoaderView.h"

class RecordingView : public ILoaderView {
 public:
  // The controls the loader reads and writes, in the window's start state.
  // Tests set them directly to arrange a case.
  struct TControls {
    bool AutoSelectCOMPort = true;
    std::string PortText = "COM1";
    bool PortEnabled = false;
    bool HighSpeedVisible = false;
    bool HighSpeedChecked = true;
    bool PCDirectMode = true;
    std::string FileName;
    std::string PortDevice;  // the port box's tooltip
    // The four controls of DisableAllComponent.
    bool UpdateEnabled = false;
    bool VersionEnabled = true;
    bool BrowseEnabled = true;
    bool FileNameEnabled = true;
  };
  TControls Controls;

  // What the loader did, each list in call order.
  std::vector<std::string> Prompts;       // every text given to SetPrompt
  std::vector<TPromptColor> Colors;       // every colour given to SetPromptColor
  std::vector<std::string> Errors;        // texts of the error boxes shown
  std::vector<std::string> ErrorDetails;  // their details, one per box
  std::vector<std::string> PortDevices;   // every text given to SetPortDevice
  std::vector<TProgress> Progress;        // every report given to SetProgress
  // One entry per call that changes the window, for checking the order:
  // "prompt:<text>", "progress:<mcu>/<mcus> <done>/<total> <percent>%",
  // "color:normal|success|failure", "error:<text>",
  // "autoselect:0|1", "port:<text>", "port-enabled:0|1", "disable", "enable".
  std::vector<std::string> Events;
  int ProcessMessagesCalls = 0;
  int DisableCalls = 0;
  int EnableCalls = 0;

  // Run inside every ProcessMessages and every ShowError (after recording),
  // when set. A test may change the controls or talk to a pty from here.
  std::function<void()> OnProcessMessages;
  std::function<void(const std::string& Text)> OnShowError;

  // The status line as it stands now.
  std::string PromptText;
  TPromptColor PromptColor = TPromptColor::Normal;

  // True when all four controls of DisableAllComponent are enabled, apart
  // from "&Update", which follows the file name rule.
  bool ControlsIdle() const;

  void SetPrompt(const std::string& Text) override;
  std::string Prompt() const override { return PromptText; }
  void SetPromptColor(TPromptColor Color) override;
  void SetProgress(const TProgress& P) override;
  using ILoaderView::ShowError;
  void ShowError(const std::string& Text, const std::string& Details) override;
  void ProcessMessages() override;
  bool AutoSelectCOMPort() const override { return Controls.AutoSelectCOMPort; }
  void SetAutoSelectCOMPort(bool Checked) override;
  std::string PortText() const override { return Controls.PortText; }
  void SetPortText(const std::string& Text) override;
  void SetPortEnabled(bool Enabled) override;
  void SetPortDevice(const std::string& Text) override;
  bool HighSpeedVisible() const override { return Controls.HighSpeedVisible; }
  bool HighSpeedChecked() const override { return Controls.HighSpeedChecked; }
  bool PCDirectMode() const override { return Controls.PCDirectMode; }
  std::string FileName() const override { return Controls.FileName; }
  void DisableAllComponent() override;
  void EnableAllComponent() override;
};

const char* ColorName(TPromptColor Color);
