// What the loader may see and touch of the window. The window implements it
// with its widgets; tests implement it with a recording fake.
#pragma once

#include <cstdint>
#include <string>

enum class TPromptColor { Normal, Success, Failure };

// Where a transfer stands, as numbers, so a front end need not read them back
// out of the status text: MCU Mcu of McuCount has received BlocksDone of the
// BlocksTotal blocks it gets; Percent is the number the status text shows.
struct TProgress {
  int Mcu = 0;
  int McuCount = 0;
  std::int32_t BlocksDone = 0;
  std::int32_t BlocksTotal = 0;
  std::int32_t Percent = 0;
};

class ILoaderView {
 public:
  virtual ~ILoaderView() = default;

  // Status line (lbPrompt). Texts are UTF-8.
  virtual void SetPrompt(const std::string& Text) = 0;
  virtual std::string Prompt() const = 0;
  virtual void SetPromptColor(TPromptColor Color) = 0;
  // Once at 0 blocks when an MCU's blocks begin, then before each progress
  // text the transfer puts on the status line.
  virtual void SetProgress(const TProgress& Progress) = 0;

  // Modal message box, caption "Error", error icon, OK; returns once closed.
  // Details, when not empty, is more for whoever wants it (plain text, lines
  // apart): the box's "Show Details..." part.
  virtual void ShowError(const std::string& Text, const std::string& Details) = 0;
  void ShowError(const std::string& Text) { ShowError(Text, {}); }

  // Handle every pending window message, then return.
  virtual void ProcessMessages() = 0;

  // cbAutoSelectCOMPort: unchecking it runs the check-box handler, as a click would.
  virtual bool AutoSelectCOMPort() const = 0;
  virtual void SetAutoSelectCOMPort(bool Checked) = 0;
  // cbPort: editable text and enable state.
  virtual std::string PortText() const = 0;
  virtual void SetPortText(const std::string& Text) = 0;
  virtual void SetPortEnabled(bool Enabled) = 0;
  // What stands behind the port text (PortDeviceText), for a tooltip; empty
  // when nothing does.
  virtual void SetPortDevice(const std::string& Text) = 0;
  // cbHighSpeed counts only while it is both visible and checked.
  virtual bool HighSpeedVisible() const = 0;
  virtual bool HighSpeedChecked() const = 0;
  // cbPCDirectMode.
  virtual bool PCDirectMode() const = 0;
  // ePGMFileName.
  virtual std::string FileName() const = 0;

  virtual void DisableAllComponent() = 0;
  virtual void EnableAllComponent() = 0;
};
